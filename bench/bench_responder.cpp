// Responder latency and throughput on a pseudo-terminal. For each responder (the poll
// responder's window code in responder_host, and the plain C loop ref_poll_responder) the
// bench makes a fresh pseudo-terminal pair, starts the responder on its slave side and polls
// from the master side:
// - latency: write one 4-byte poll (one write(), so its last byte leaves with it), then block
//   in poll()/read() until the 9-byte reply is complete; 10 000 polls, addresses 0..255 in turn;
// - throughput: 10 000 polls with up to 8 in flight; every reply is checked byte for byte, and
//   a missing or wrong one counts as lost, and the table says how many were.
// Both responders run at once, each on its own pair, and are polled in turn, poll by poll
// (and for throughput block by block), so that load from elsewhere falls on both alike.
// Five runs; the figures are the medians of the runs.

#include "benchutil.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kPolls = 10000;
constexpr int kWindow = 8;
constexpr int kRuns = 5;

unsigned char crc8(const unsigned char *p, int n)
{
    unsigned char crc = 0;
    for (int i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b)
            crc = (crc & 1) ? static_cast<unsigned char>((crc >> 1) ^ 0x8C)
                            : static_cast<unsigned char>(crc >> 1);
    }
    return crc;
}

void makePoll(unsigned char address, unsigned char out[4])
{
    out[0] = 0x31;
    out[1] = address;
    out[2] = 0x06;
    out[3] = crc8(out, 3);
}

void makeReply(unsigned char a, unsigned char out[9])
{
    const unsigned char r[8] = {0x3E, a, 0x06, a, a, 0x00, a, 0x00};
    std::memcpy(out, r, 8);
    out[8] = crc8(out, 8);
}

// Reads exactly n bytes from fd, waiting at most timeoutMs in all.
bool readExact(int fd, unsigned char *out, int n, int timeoutMs)
{
    int have = 0;
    const std::int64_t deadline = bench::nowNs() + std::int64_t(timeoutMs) * 1000000;
    while (have < n) {
        const ssize_t got = read(fd, out + have, std::size_t(n - have));
        if (got > 0) {
            have += int(got);
            continue;
        }
        if (got < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const int left = int((deadline - bench::nowNs()) / 1000000);
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, left);
    }
    return true;
}

void drain(int fd)
{
    unsigned char buf[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0 || read(fd, buf, sizeof buf) <= 0)
            return;
    }
}

// One responder process serving the slave side of its own pseudo-terminal pair.
struct Responder
{
    pid_t pid = -1;
    int master = -1;
    int slave = -1;
    bool ready = false;
    std::vector<double> us;   // latency of each answered poll
    int lost = 0;
    double throughputSeconds = 0;
    int throughputAnswered = 0;
};

bool start(Responder &r, const char *program)
{
    char name[256] = {};
    if (openpty(&r.master, &r.slave, name, nullptr, nullptr) != 0)
        return false;
    termios tio{};
    if (tcgetattr(r.slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(r.slave, TCSANOW, &tio);
    }
    fcntl(r.master, F_SETFL, fcntl(r.master, F_GETFL) | O_NONBLOCK);
    fcntl(r.master, F_SETFD, FD_CLOEXEC);   // the other responder must not hold this line
    fcntl(r.slave, F_SETFD, FD_CLOEXEC);
    r.pid = fork();
    if (r.pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);   // the responder's debug line per poll goes here
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        execl(program, program, "--port", name, static_cast<char *>(nullptr));
        _exit(127);
    }
    if (r.pid < 0)
        return false;
    // Ready once a poll is answered; polls sent before the port was open may still be
    // answered late, so the line is drained afterwards.
    unsigned char poll[4], reply[9];
    makePoll(1, poll);
    for (int i = 0; i < 200 && !r.ready; ++i) {
        if (write(r.master, poll, 4) != 4)
            break;
        r.ready = readExact(r.master, reply, 9, 50);
    }
    drain(r.master);
    return r.ready;
}

void stop(Responder &r)
{
    if (r.pid > 0) {
        kill(r.pid, SIGTERM);
        int status = 0;
        waitpid(r.pid, &status, 0);
        r.pid = -1;
    }
    if (r.master >= 0)
        close(r.master);
    if (r.slave >= 0)
        close(r.slave);
    r.master = r.slave = -1;
}

// One poll of `address`, waiting for its reply.
void pollOnce(Responder &r, unsigned char address)
{
    unsigned char poll[4], reply[9], expected[9];
    makePoll(address, poll);
    makeReply(address, expected);
    const std::int64_t t0 = bench::nowNs();
    if (write(r.master, poll, 4) != 4) {
        ++r.lost;
        return;
    }
    const bool got = readExact(r.master, reply, 9, 1000);
    const std::int64_t t1 = bench::nowNs();
    if (!got || std::memcmp(reply, expected, 9) != 0) {
        ++r.lost;
        drain(r.master);
        return;
    }
    r.us.push_back(double(t1 - t0) / 1e3);
}

// `count` polls with up to kWindow of them in flight; every reply is checked.
void pollBurst(Responder &r, int count)
{
    unsigned char poll[4], reply[9], expected[9];
    int sent = 0, answered = 0, wrong = 0;
    const std::int64_t t0 = bench::nowNs();
    while (answered + wrong < count) {
        while (sent < count && sent - answered - wrong < kWindow) {
            makePoll(static_cast<unsigned char>(sent), poll);
            if (write(r.master, poll, 4) != 4)
                break;
            ++sent;
        }
        if (!readExact(r.master, reply, 9, 1000))
            break;
        makeReply(static_cast<unsigned char>(answered + wrong), expected);
        if (std::memcmp(reply, expected, 9) == 0)
            ++answered;
        else
            ++wrong;
    }
    r.throughputSeconds += double(bench::nowNs() - t0) / 1e9;
    r.throughputAnswered += answered;
    r.lost += count - answered;
    drain(r.master);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RESPONDER_HOST REF_POLL_RESPONDER\n", argv[0]);
        return 2;
    }
    std::vector<double> p50, p99, rate, refP50, refP99, refRate;
    int lost = 0, refLost = 0;
    for (int run = 0; run < kRuns; ++run) {
        Responder qt, c;
        if (!start(qt, argv[1]) || !start(c, argv[2])) {
            std::fprintf(stderr, "bench_responder: a responder did not answer (run %d)\n", run);
            stop(qt);
            stop(c);
            continue;
        }
        // Interleaved, so that whatever else the machine does falls on both alike.
        for (int i = 0; i < kPolls; ++i) {
            const unsigned char a = static_cast<unsigned char>(i);
            if (i % 2) {
                pollOnce(qt, a);
                pollOnce(c, a);
            } else {
                pollOnce(c, a);
                pollOnce(qt, a);
            }
        }
        for (int block = 0; block < 10; ++block) {
            pollBurst(block % 2 ? qt : c, kPolls / 10);
            pollBurst(block % 2 ? c : qt, kPolls / 10);
        }
        stop(qt);
        stop(c);
        p50.push_back(bench::percentile(qt.us, 50));
        p99.push_back(bench::percentile(qt.us, 99));
        rate.push_back(qt.throughputAnswered / qt.throughputSeconds);
        lost += qt.lost;
        refP50.push_back(bench::percentile(c.us, 50));
        refP99.push_back(bench::percentile(c.us, 99));
        refRate.push_back(c.throughputAnswered / c.throughputSeconds);
        refLost += c.lost;
    }
    if (p50.empty())
        return 1;
    const std::string n = " (" + std::to_string(kPolls) + " polls, median of "
                          + std::to_string(p50.size()) + " runs)";
    const double a = bench::median(p50), b = bench::median(refP50);
    const double c = bench::median(p99), d = bench::median(refP99);
    bench::row("4 responder", "poll's last byte written → 9-byte reply read, p50" + n,
               bench::fmt("%.1f µs", a), bench::fmt("%.1f µs", b) + " plain C loop",
               bench::ratioText(a, b));
    bench::row("4 responder", "poll's last byte written → 9-byte reply read, p99" + n,
               bench::fmt("%.1f µs", c), bench::fmt("%.1f µs", d) + " plain C loop",
               bench::ratioText(c, d), "≤ 2×");
    const double e = bench::median(rate), f = bench::median(refRate);
    bench::row("4 responder", "polls answered per second, " + std::to_string(kWindow)
                                  + " in flight; lost in all runs: " + std::to_string(lost)
                                  + " (reference " + std::to_string(refLost) + ")",
               bench::fmt("%.0f /s", e), bench::fmt("%.0f /s", f) + " plain C loop",
               bench::ratioText(e, f));
    return 0;
}
