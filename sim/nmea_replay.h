// Replaying a log of a real receiver (one sentence a line, as gpsd's test
// logs and most loggers write them) at the pace it was recorded: the UTC
// times of its GGA, RMC and ZDA sentences (any talker) say when each line is
// due. Lines starting with "#" are comments; every other byte is sent as it
// is, binary noise included.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct ReplayChunk {
    std::int64_t atMs = 0;  // after the start of the replay
    std::string bytes;
};

// The log's lines grouped by the time they are due. A time earlier than
// the one before (a receiver that reports a sentence late) is due at once;
// one that passes midnight counts on; a jump of more than ten minutes (two
// recordings in one file) counts as one second.
std::vector<ReplayChunk> PlanReplay(const std::string& log);

}  // namespace sim
