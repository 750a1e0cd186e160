// Processor time for the benchmarks: a thread's, the process's, and the
// finished children's, in seconds, and the median of a set of passes.
// Processor time rather than wall time, so that a neighbour's load on a
// shared machine does not decide the ratios.
#pragma once

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <vector>

namespace bench_time {

inline double Seconds(const timespec& ts)
{
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

inline double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return Seconds(ts);
}

inline double ProcessSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return Seconds(ts);
}

// User and system time of `ru`.
inline double UsageSeconds(const rusage& ru)
{
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// All children waited for so far.
inline double ChildrenSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return UsageSeconds(ru);
}

inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace bench_time
