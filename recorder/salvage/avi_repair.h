// Repair of a recording cut short by a power loss (or any truncation): the
// chunks of its "movi" list up to the last complete one are kept, the sizes
// and counts of the header are fixed, "idx1" is rebuilt from the chunks
// present (key frames found from the MPEG-4 picture type), and the INFO
// list is rebuilt from the recording's journal where there is one, else
// from the file's own INFO chunks when they survived, else with empty
// tables. With a journal, the chunks trusted end at its last durable point,
// since bytes past it may be garbage.
//
// A file whose RIFF size matches its length is sound and left as it is.
// Refused, with the reason: no complete AVI header, no "movi" list, a file
// that outgrew its first RIFF (OpenDML), a header list this writer never
// makes. Platform-free: the program reads and writes through its file
// calls, kestrava-info through host files, both through these callbacks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "recorder/salvage/recording_journal.h"

struct AviRepairSource {
    std::uint64_t size = 0;
    // True with the n bytes at offset (within size).
    std::function<bool(std::uint64_t offset, void* into, std::size_t n)> read;
};

struct AviRepairChunk {
    std::uint64_t offset = 0;  // of its header in the file
    char id[4] = {};
    std::uint32_t size = 0;
    bool key = false;
};

enum class AviRepairVerdict { Sound, Repairable, Refused };

struct AviRepairPlan {
    AviRepairVerdict verdict = AviRepairVerdict::Refused;
    std::string why;  // for Refused
    bool noHeader = false;  // Refused for want of a complete header: nothing in it can be played
    std::vector<std::uint8_t> header;  // bytes before the first chunk, sizes and counts patched
    std::vector<AviRepairChunk> chunks;
    std::vector<std::uint8_t> info;    // the INFO list with its LIST header
    std::uint64_t videoChunks = 0;
    bool hasVideo = false;  // the header has a video stream
    bool hadJournal = false;
    bool eventTagged = false;  // the rebuilt INFO holds at least one event record
    std::uint64_t droppedBytes = 0;  // of the file past the last chunk kept
};

// `journal` may be null. Reads the whole chunk list's headers (and the
// first bytes of each video chunk), never the whole file at once.
AviRepairPlan PlanAviRepair(const AviRepairSource& source, const JournalContent* journal);

// Writes the repaired file for a Repairable plan through `write` (false on
// failure). False with *why when a read or a write fails.
bool WriteAviRepair(const AviRepairSource& source, const AviRepairPlan& plan,
                    const std::function<bool(const void*, std::size_t)>& write, std::string* why);
