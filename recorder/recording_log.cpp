#include "recorder/recording_log.h"

#include <atomic>

namespace {

std::vector<ClosedRecording> g_entries;
std::atomic<std::size_t> g_count{0};

}  // namespace

void RecordingLog_Add(const ClosedRecording& recording)
{
    g_entries.push_back(recording);
    g_count.store(g_entries.size());
}

std::vector<ClosedRecording> RecordingLog_Snapshot()
{
    return g_entries;
}

std::size_t RecordingLog_Count()
{
    return g_count.load();
}
