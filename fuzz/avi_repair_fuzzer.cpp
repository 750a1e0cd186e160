// The repair of cut recordings and the reading of their journals, on any
// bytes. The input is a journal of up to 65535 bytes (its length in the
// first two bytes, little-endian) followed by the recording. Checked:
// - a journal that does not parse says why; one that does holds records of
//   their fixed sizes only;
// - a plan that refuses says why, and a repairable plan keeps only chunks
//   that lie wholly inside the recording, in order;
// - the repaired file is written, and is itself sound: repairing it again
//   finds nothing to do.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/check.h"
#include "recorder/salvage/avi_repair.h"
#include "recorder/salvage/recording_journal.h"

namespace {

AviRepairSource SourceOf(const std::uint8_t* data, std::size_t size)
{
    AviRepairSource source;
    source.size = size;
    source.read = [data, size](std::uint64_t offset, void* into, std::size_t n) {
        if (offset > size || n > size - offset) return false;
        if (n != 0) std::memcpy(into, data + offset, n);
        return true;
    };
    return source;
}

bool ReadJournal(const std::uint8_t* data, std::size_t size, JournalContent* journal)
{
    std::string why;
    if (!ParseJournal(data, size, journal, &why)) {
        FUZZ_CHECK(!why.empty());
        return false;
    }
    for (const JournalBytes& g : journal->gps) FUZZ_CHECK(g.size() == kJournalGpsBytes);
    for (const JournalBytes& e : journal->events) FUZZ_CHECK(e.size() == kJournalEventBytes);
    return true;
}

void CheckRepair(const std::uint8_t* data, std::size_t size, const JournalContent* journal)
{
    const AviRepairSource source = SourceOf(data, size);
    const AviRepairPlan plan = PlanAviRepair(source, journal);
    if (plan.verdict == AviRepairVerdict::Refused) {
        FUZZ_CHECK(!plan.why.empty());
        return;
    }
    if (plan.verdict == AviRepairVerdict::Sound) return;
    std::uint64_t previousEnd = 0;
    for (const AviRepairChunk& c : plan.chunks) {
        FUZZ_CHECK(c.offset >= previousEnd);
        FUZZ_CHECK(c.offset + 8 + c.size <= size);
        previousEnd = c.offset + 8 + c.size;
    }
    std::vector<std::uint8_t> repaired;
    std::string why;
    const bool written = WriteAviRepair(
        source, plan,
        [&repaired](const void* bytes, std::size_t n) {
            const auto* p = static_cast<const std::uint8_t*>(bytes);
            repaired.insert(repaired.end(), p, p + n);
            return true;
        },
        &why);
    FUZZ_CHECK(written);
    const AviRepairPlan again = PlanAviRepair(SourceOf(repaired.data(), repaired.size()), nullptr);
    FUZZ_CHECK(again.verdict == AviRepairVerdict::Sound);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    const std::size_t journalSize = std::min<std::size_t>(size - 2, data[0] | (static_cast<std::size_t>(data[1]) << 8));
    JournalContent journal;
    const bool hasJournal = ReadJournal(data + 2, journalSize, &journal);
    CheckRepair(data + 2 + journalSize, size - 2 - journalSize, hasJournal ? &journal : nullptr);
    return 0;
}
