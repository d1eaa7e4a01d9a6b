// Start-up: from the moment a process is forked to its main window shown (offscreen), and the
// process's peak resident memory, for the configurator and for the smallest Qt Widgets program.
// Both harnesses are started the same way, alternately, from a fresh working directory.

#include "benchutil.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Sample
{
    bool ok = false;
    double startupMs = 0;
    double peakRssMb = 0;
};

Sample runOnce(const char *program, const char *workDir)
{
    Sample s;
    int out[2];
    if (pipe(out) != 0)
        return s;
    const std::int64_t t0 = bench::nowNs();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        if (chdir(workDir) != 0)
            _exit(126);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(program, program, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string text;
    char buf[256];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, std::size_t(n));
    close(out[0]);
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid)
        return s;
    const std::size_t at = text.find("shown ");
    if (at == std::string::npos || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return s;
    const long long shown = std::atoll(text.c_str() + at + 6);
    s.ok = true;
    s.startupMs = double(shown - t0) / 1e6;
    s.peakRssMb = double(usage.ru_maxrss) / 1024.0;   // kB
    return s;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s CONFIGURATOR_HARNESS REFERENCE_HARNESS [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 7;
    // The harnesses start in a scratch directory: resolve their paths first.
    char configurator[PATH_MAX], reference[PATH_MAX];
    if (!realpath(argv[1], configurator) || !realpath(argv[2], reference)) {
        std::fprintf(stderr, "bench_startup: harness not found\n");
        return 2;
    }
    char dir[] = "/tmp/talver-bench-startup-XXXXXX";
    if (!mkdtemp(dir))
        return 1;

    std::vector<double> cfgMs, cfgRss, refMs, refRss;
    int failures = 0;
    // The first pair warms the page cache and the font cache and is not counted.
    for (int i = -1; i < runs; ++i) {
        const Sample c = runOnce(configurator, dir);
        const Sample r = runOnce(reference, dir);
        if (!c.ok || !r.ok) {
            ++failures;
            continue;
        }
        if (i < 0)
            continue;
        cfgMs.push_back(c.startupMs);
        cfgRss.push_back(c.peakRssMb);
        refMs.push_back(r.startupMs);
        refRss.push_back(r.peakRssMb);
    }
    std::string rm = std::string("rm -rf ") + dir;
    if (std::system(rm.c_str()) != 0)
        std::fprintf(stderr, "could not remove %s\n", dir);
    if (cfgMs.empty()) {
        std::fprintf(stderr, "bench_startup: no run completed\n");
        return 1;
    }
    if (failures)
        std::fprintf(stderr, "bench_startup: %d failed runs\n", failures);

    const std::string n = " (median of " + std::to_string(cfgMs.size()) + ")";
    const double ms = bench::median(cfgMs), refMsMed = bench::median(refMs);
    const double rss = bench::median(cfgRss), refRssMed = bench::median(refRss);
    bench::row("1 start-up", "process start → main window shown, offscreen" + n,
               bench::fmt("%.1f ms", ms), bench::fmt("%.1f ms", refMsMed) + " bare QMainWindow",
               bench::ratioText(ms, refMsMed));
    bench::row("1 start-up", "peak RSS" + n, bench::fmt("%.1f MB", rss),
               bench::fmt("%.1f MB", refRssMed) + " bare QMainWindow",
               bench::ratioText(rss, refRssMed));
    return 0;
}
