// Planning the replay of a receiver log, on any bytes. Checked for every input:
// - the chunks carry every byte of the log but its comment lines, in order;
// - chunk times start at 0, never go down, and each step is at most ten
//   minutes (the longest gap kept);
// - no chunk is empty, and two chunks never share a time;
// - planning the log again, or the log with its comment lines removed,
//   gives the same plan.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/check.h"
#include "sim/nmea_replay.h"

namespace {

std::string WithoutComments(const std::string& log)
{
    std::string kept;
    std::size_t begin = 0;
    while (begin < log.size()) {
        std::size_t end = log.find('\n', begin);
        end = end == std::string::npos ? log.size() : end + 1;
        if (log[begin] != '#') kept.append(log, begin, end - begin);
        begin = end;
    }
    return kept;
}

bool SamePlan(const std::vector<sim::ReplayChunk>& a, const std::vector<sim::ReplayChunk>& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].atMs != b[i].atMs || a[i].bytes != b[i].bytes) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string log(reinterpret_cast<const char*>(data), size);
    const std::vector<sim::ReplayChunk> plan = sim::PlanReplay(log);
    std::string carried;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        FUZZ_CHECK(!plan[i].bytes.empty());
        if (i == 0) {
            FUZZ_CHECK(plan[i].atMs == 0);
        } else {
            FUZZ_CHECK(plan[i].atMs > plan[i - 1].atMs && plan[i].atMs - plan[i - 1].atMs <= 10 * 60 * 1000);
        }
        carried += plan[i].bytes;
    }
    const std::string kept = WithoutComments(log);
    FUZZ_CHECK(carried == kept);
    FUZZ_CHECK(SamePlan(sim::PlanReplay(log), plan));
    FUZZ_CHECK(SamePlan(sim::PlanReplay(kept), plan));
    return 0;
}
