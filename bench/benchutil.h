#pragma once

// Small helpers shared by the bench programs: clocks, medians and percentiles, and the one
// output format every program prints, a Markdown table row that run.sh gathers into the table.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include <time.h>

namespace bench {

inline std::int64_t nowNs(clockid_t clock = CLOCK_MONOTONIC)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Nearest-rank percentile (p in 0..100) of an unsorted sample; 0 for an empty one.
inline double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    std::size_t rank = std::size_t(p / 100.0 * double(v.size()) + 0.999999);
    rank = std::clamp<std::size_t>(rank, 1, v.size());
    return v[rank - 1];
}

inline double median(const std::vector<double> &v)
{
    if (v.empty())
        return 0;
    std::vector<double> s = v;
    std::sort(s.begin(), s.end());
    const std::size_t n = s.size();
    return n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
}

inline std::string fmt(const char *format, double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

// One line of the table: | area | figure | value | reference | ratio | target |
inline void row(const std::string &area, const std::string &figure, const std::string &value,
                const std::string &reference, const std::string &ratio,
                const std::string &target = std::string())
{
    std::printf("| %s | %s | %s | %s | %s | %s |\n", area.c_str(), figure.c_str(), value.c_str(),
                reference.c_str(), ratio.c_str(), target.c_str());
    std::fflush(stdout);
}

inline std::string ratioText(double value, double reference)
{
    return reference > 0 ? fmt("%.2f×", value / reference) : std::string("–");
}

} // namespace bench
