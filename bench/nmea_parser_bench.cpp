// NMEA parser throughput on the shared receiver logs, concatenated to about
// 4 MB, beside gpsd's gpsdecode reading the same bytes (a separate process,
// started once per iteration, writing its JSON to /dev/null). Both are timed
// on the wall clock and, since a busy machine stretches wall time, on the
// processor time of the parsing thread and of the gpsdecode processes
// ("cpu_MB/s"). bench/nmea_vs_gpsdecode.sh runs both and prints the ratios.
#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "sensing/nmea_parser.h"

namespace {

constexpr std::size_t kTargetBytes = 4u << 20;

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

double ThreadCpuSeconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double ChildrenCpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

void ReportRates(benchmark::State& state, std::size_t bytes, double cpuSeconds)
{
    const double megabytes = static_cast<double>(state.iterations() * bytes) / 1e6;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["MB/s"] = benchmark::Counter(megabytes, benchmark::Counter::kIsRate);
    if (cpuSeconds > 0) state.counters["cpu_MB/s"] = megabytes / cpuSeconds;
}

const std::string& Stream()
{
    static const std::string stream = [] {
        const std::filesystem::path dir =
            std::filesystem::path(__FILE__).parent_path().parent_path() / ".." / "shared" / "data" / "nmea";
        std::string logs;
        for (const char* name : {"GPSmap-76S.log", "bu353s4.log", "firefly-II.log", "garmin48.log", "mt3339.log",
                                 "ublox-8.log", "venus634lp.log"}) {
            std::ifstream in(dir / name, std::ios::binary);
            logs.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        std::string all;
        while (!logs.empty() && all.size() < kTargetBytes) all += logs;
        return all;
    }();
    return stream;
}

void BM_NmeaParser(benchmark::State& state)
{
    const std::string& stream = Stream();
    if (stream.empty()) {
        state.SkipWithError("shared NMEA logs not found");
        return;
    }
    uint32_t sentences = 0;
    const double cpuStart = ThreadCpuSeconds();
    for (auto _ : state) {
        CNMEAParser parser;
        parser.ParseBuffer(reinterpret_cast<const uint8_t*>(stream.data()), stream.size());
        sentences = parser.Framing().sentenceCount;
        benchmark::DoNotOptimize(parser.Gga().latitude);
    }
    ReportRates(state, stream.size(), ThreadCpuSeconds() - cpuStart);
    state.counters["sentences"] = sentences;
}

void BM_Gpsdecode(benchmark::State& state)
{
    const std::string& stream = Stream();
    std::string path = (std::filesystem::temp_directory_path() / "kestrava-nmea-XXXXXX").string();
    const int fd = ::mkstemp(path.data());
    if (stream.empty() || fd < 0 || std::system("command -v gpsdecode >/dev/null") != 0) {
        state.SkipWithError("gpsdecode (package gpsd-clients) or the shared NMEA logs not found");
        if (fd >= 0) ::close(fd), std::filesystem::remove(path);
        return;
    }
    ::close(fd);
    std::ofstream(path, std::ios::binary) << stream;
    const std::string command = "gpsdecode < " + path + " > /dev/null";
    const double cpuStart = ChildrenCpuSeconds();
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("gpsdecode failed");
            break;
        }
    }
    std::filesystem::remove(path);
    ReportRates(state, stream.size(), ChildrenCpuSeconds() - cpuStart);
}

}  // namespace

BENCHMARK(BM_NmeaParser)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gpsdecode)->UseRealTime()->Unit(benchmark::kMillisecond);
