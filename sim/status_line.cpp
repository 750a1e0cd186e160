#include "sim/status_line.h"

#include <atomic>
#include <cstdio>

#include "app/app_state.h"
#include "platform/base/host_console.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "recorder/recording_log.h"
#include "sensing/gps_fix.h"
#include "sim/scenario_runner.h"

namespace sim {

namespace {

constexpr os::DWORD kWakeMs = 1000;
// Device and wall seconds drift apart a little even on the real clock: a line
// due "a second" later is shown when most of one has passed.
constexpr double kMinWallGap = 0.9;
constexpr os::DWORD kStopWaitMs = 5000;
constexpr std::uint64_t kBytesPerMiB = 1024 * 1024;

const char* ActivityText(RecorderActivity activity)
{
    switch (activity) {
    case RecorderActivity::Recording: return "recording";
    case RecorderActivity::Paused: return "paused";
    case RecorderActivity::EventClip: return "event clip";
    case RecorderActivity::Armed: return "armed";
    case RecorderActivity::Stopped: break;
    }
    return "stopped";
}

bool FileOpen(RecorderActivity activity)
{
    return activity == RecorderActivity::Recording || activity == RecorderActivity::Paused ||
           activity == RecorderActivity::EventClip;
}

GpsReading ReadingOf(const GpsFix& fix)
{
    if (fix.body.timePosition.fixQuality == 0) return GpsReading::NoFix;
    return fix.body.gsaFixType == 3 ? GpsReading::Fix3D : GpsReading::Fix2D;
}

}  // namespace

struct StatusLine {
    os::HANDLE thread = nullptr;
    os::HANDLE stop = nullptr;      // manual reset
    os::HANDLE scenario = nullptr;  // the runner's thread, in virtual time only
    std::atomic<bool> stopping{false};
    std::atomic<bool> shown{false};
    double lastShownAt = 0;
    // The last fix read, kept while the GPS lock is busy.
    GpsReading gps = GpsReading::Off;
    std::uint32_t satellitesUsed = 0;
};

namespace {

// Reads what the line shows without waiting on the program: false while the
// program has no state to read or is taking it down.
bool ReadSample(os::HWND hwnd, StatusLine* line, StatusSample* sample)
{
    if (g_destroying) return false;
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return false;
    sample->deviceTimeUs = os::DeviceTimeUs();
    os::ULONGLONG freeBytes = 0;
    if (!app->storage.StorageRoot.Empty() &&
        os::GetDiskFreeSpaceExW(app->storage.StorageRoot.c_str(), &freeBytes, nullptr, nullptr)) {
        sample->freeSpaceKnown = true;
        sample->freeBytes = freeBytes;
    }
    GpsState& gps = app->gps;
    if (!gps.locksMade) {
        line->gps = GpsReading::Off;
    } else if (os::TryEnterCriticalSection(&gps.lock)) {
        line->gps = ReadingOf(gps.fix);
        line->satellitesUsed = gps.fix.body.usedCount;
        os::LeaveCriticalSection(&gps.lock);
    }
    sample->gps = line->gps;
    sample->satellitesUsed = line->satellitesUsed;
    // Last: the recorder lock may make this thread wait, and after a wait
    // the application state may be gone.
    if (!ReadRecorderActivity(hwnd, &sample->activity)) sample->activity = RecorderActivity::Stopped;
    sample->filesWritten = RecordingLog_Count() + (FileOpen(sample->activity) ? 1 : 0);
    return true;
}

os::DWORD StatusThread(void* param)
{
    auto* line = static_cast<StatusLine*>(param);
    const os::HANDLE waits[] = {line->stop, line->scenario};
    const os::DWORD count = line->scenario != nullptr ? 2 : 1;
    while (os::WaitForMultipleObjects(count, waits, os::FALSE, kWakeMs) == os::WAIT_TIMEOUT) {
        const double now = os::sim::WallSeconds();
        if (line->shown && now - line->lastShownAt < kMinWallGap) continue;
        const os::HWND hwnd = g_hMainWindow;
        StatusSample sample;
        if (hwnd == nullptr || !ReadSample(hwnd, line, &sample) || line->stopping) continue;
        std::fputs("\r", stdout);
        std::fputs(StatusLineText(sample).c_str(), stdout);
        std::fputs("\x1b[K", stdout);
        std::fflush(stdout);
        line->lastShownAt = now;
        line->shown = true;
    }
    return 0;
}

}  // namespace

std::string StatusLineText(const StatusSample& sample)
{
    char text[160];
    const std::string time = os::FormatDeviceTime(sample.deviceTimeUs);
    std::string space = "free space unknown";
    if (sample.freeSpaceKnown) {
        space = std::to_string(sample.freeBytes / kBytesPerMiB) + " MB free";
    }
    std::string gps = "GPS off";
    switch (sample.gps) {
    case GpsReading::Off: break;
    case GpsReading::NoFix: gps = "GPS no fix"; break;
    case GpsReading::Fix2D:
    case GpsReading::Fix3D:
        gps = std::string("GPS ") + (sample.gps == GpsReading::Fix3D ? "3D" : "2D") + " (" +
              std::to_string(sample.satellitesUsed) + " satellites)";
        break;
    }
    std::snprintf(text, sizeof text, "%s %s | %zu file(s) | %s | %s", time.c_str(), ActivityText(sample.activity),
                  sample.filesWritten, space.c_str(), gps.c_str());
    return text;
}

StatusLine* StartStatusLine()
{
    auto* line = new StatusLine;
    line->stop = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    if (os::CurrentClockMode() == os::ClockMode::Virtual) line->scenario = ScenarioRunnerThread();
    if (line->stop != nullptr) line->thread = os::CreateThread(nullptr, 0, StatusThread, line, 0, nullptr);
    if (line->thread == nullptr) {
        std::fprintf(stderr, "kestrava: no status line: its thread cannot be made (error %u)\n", os::GetLastError());
        if (line->stop != nullptr) os::CloseHandle(line->stop);
        delete line;
        return nullptr;
    }
    os::SetThreadDescription(line->thread, "status line");
    return line;
}

void StopStatusLine(StatusLine* line)
{
    if (line == nullptr) return;
    line->stopping = true;
    os::SetEvent(line->stop);
    const bool ended = os::WaitForSingleObject(line->thread, kStopWaitMs) == os::WAIT_OBJECT_0;
    if (line->shown) std::fputs("\n", stdout);
    if (!ended) {
        // The thread may still read its record: it is left to it.
        std::fprintf(stderr, "kestrava: the status line's thread did not end\n");
        return;
    }
    os::CloseHandle(line->thread);
    os::CloseHandle(line->stop);
    delete line;
}

}  // namespace sim
