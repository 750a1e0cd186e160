// The continuous recording path alone, in this process: the built-in phone's
// camera and microphone (the road scene and the engine sound) feed the
// capture graph MOV_Init builds, whose recording sink calls the recorder's
// own callback (OnCapturedSample): encoder, timeline and AVI writer, with a
// GPS record a second from a fix set once, the file split every 30 s with
// MOV_SplitFile. The rest of the program (main window and its message loop,
// rotation watch, GPS workers, event sensing, screens) does not run.
//
// BM_RecordingPathVersusBareAndFfmpeg: frames per second of this process's
// processor time from the recording's start to its stop over a virtual
// drive, against bare libavcodec and the ffmpeg command on the same number
// of frames of the same road scene (bench/recording_compare.h), the three
// alternating over five passes; the median of each figure and of each
// pass's ratios counts, as in BM_RecordingDriveVersusBareAndFfmpeg, which
// measures the whole program instead. The path's time includes the camera
// stand-in drawing the road scene; "less scene" takes that drawing, as the
// bare pass timed it, out.
//
// The cost of the writer's durable points (a flush and FlushFileBuffers of
// the file and of its journal about once a second): each pass also drives
// the path with them turned off, and the figures with and without them are
// reported side by side, in processor time and in wall time (the flush
// waits on the host's disk, which processor time does not see).
//
// Beside the rates it counts the host context switches of the drive per
// frame: the scheduler's hand-offs, which a neighbour's load does not change.
//
// Run: build/kestrava_bench --benchmark_filter=RecordingPath; the drive's
// length is KESTRAVA_BENCH_DRIVE (default 10m).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bench/cpu_time.h"
#include "bench/recording_compare.h"
#include "platform/base/platform.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/registry/registry_sim.h"
#include "recorder/avi/avi_writer.h"
#include "recorder/mov.h"
#include "recorder/recorder_internal.h"
#include "sensing/gps_state.h"
#include "sim/launcher.h"
#include "sim/profile.h"

namespace {

using namespace recording_compare;
using bench_time::Median;
using bench_time::ProcessSeconds;

constexpr int kPathPasses = 5;
constexpr std::int64_t kSplitMs = 30000;
constexpr const char* kFolder = "\\Storage Card\\PathBench";

// The recorder's window is only the key MOV_State finds the state by: the
// path posts nothing that needs a message loop while the card has room.
int g_windowKey;

// A fix as the GPS worker leaves it after a good reading.
void SetFix(GpsState* gps)
{
    GpsFix& fix = gps->fix;
    fix.mark = kGpsFixLiveMark;
    fix.index = 0xFFFFFFFFu;
    fix.body.rmcStatus = 'A';
    fix.body.year = 2009;
    fix.body.month = 3;
    fix.body.day = 3;
    fix.body.speedKnots = 32.0f;
    fix.body.courseDeg = 90.0f;
    fix.body.timePosition.utcHour = 23;
    fix.body.timePosition.utcMinute = 59;
    fix.body.timePosition.utcSecond = 30;
    fix.body.timePosition.latitude = 37.5665f;
    fix.body.timePosition.longitude = 126.978f;
    fix.body.timePosition.altitude = 38.0f;
    fix.body.timePosition.fixQuality = 1;
    fix.body.gsaFixType = 3;
    fix.body.usedCount = 7;
    fix.body.signalLevel = 5;
    fix.body.satellitesInView = 9;
}

// The settings a first start loads (settings/settings_load.cpp), with
// recording at launch off so that no event writer waits beside the path.
RecorderSettings PathSettings()
{
    RecorderSettings s;
    s.AudioBitrate = 128;
    s.VideoBitrate = kKbps;
    s.JpegQuality = 75;
    s.EventTimeSec = 30;
    s.VideoSize = 0;
    s.EnableMovRecordAfterLaunch = 1;
    s.MinFreeSpaceMB = 10;
    return s;
}

std::string ClipPath(int index)
{
    char name[32];
    std::snprintf(name, sizeof name, "\\clip%03d.avi", index);
    return std::string(kFolder) + name;
}

struct PathDrive {
    double seconds = 0;  // processor time from the start to the stop
    double wallSeconds = 0;
    long switches = 0;   // host context switches of the process over the same span
    std::vector<std::string> files;
};

// Starts the continuous recording into `path` as MOV_Start does, without
// arming the event machinery.
bool StartRecording(RecorderState* s, const std::string& path)
{
    const RecordingFormats formats = ReadRecordingFormats(s);
    os::EnterCriticalSection(&s->lock);
    const int opened = OpenRecordingFile(s, path.c_str(), formats);
    if (opened) {
        os::GetLocalTime(&s->status.startTime);
        s->startTime = s->status.startTime;
        s->status.recording = 1;
    }
    os::LeaveCriticalSection(&s->lock);
    return opened && os::SUCCEEDED(CaptureGraph_StartRecording(s->graph));
}

long ContextSwitches()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_nvcsw + ru.ru_nivcsw;
}

// One drive of `lengthMs` virtual milliseconds on the recording path.
bool DrivePath(std::int64_t lengthMs, PathDrive* drive, std::string* error)
{
    *drive = PathDrive{};
    const os::HWND hwnd = reinterpret_cast<os::HWND>(&g_windowKey);
    const RecorderSettings settings = PathSettings();
    GpsState gps;
    os::InitializeCriticalSection(&gps.lock);
    os::InitializeCriticalSection(&gps.parserLock);
    SetFix(&gps);
    gps.locksMade.store(true);
    auto state = std::make_unique<RecorderState>();
    state->settings = &settings;
    state->gps = &gps;
    MOV_Attach(hwnd, state.get());
    bool ok = MOV_Init(hwnd, settings.VideoBitrate, settings.AudioBitrate, settings.JpegQuality, 0, 0) &&
              MOV_Prepare(hwnd, kStreamAudioVideo, kRecordContinuous);
    if (!ok) *error = "the recorder did not start (MOV_Init or MOV_Prepare)";
    if (ok) {
        os::Sleep(500);  // the preview runs first, as after the program's start
        const double start = ProcessSeconds();
        const auto wallStart = std::chrono::steady_clock::now();
        const long switchesAtStart = ContextSwitches();
        drive->files.push_back(ClipPath(0));
        ok = StartRecording(state.get(), drive->files.back());
        if (!ok) *error = "the continuous recording did not start";
        for (std::int64_t at = 0; ok && at < lengthMs; at += kSplitMs) {
            os::Sleep(static_cast<os::DWORD>(std::min(kSplitMs, lengthMs - at)));
            if (at + kSplitMs >= lengthMs) break;
            drive->files.push_back(ClipPath(static_cast<int>(drive->files.size())));
            ok = MOV_SplitFile(hwnd, drive->files.back().c_str()) == 1;
            if (!ok) *error = "MOV_SplitFile failed on " + drive->files.back();
        }
        if (MOV_Stop(hwnd, 0, 0) != 1 && ok) {
            ok = false;
            *error = "MOV_Stop failed";
        }
        drive->seconds = ProcessSeconds() - start;
        drive->wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        drive->switches = ContextSwitches() - switchesAtStart;
    }
    MOV_DeInit(hwnd);
    MOV_Detach(hwnd);
    os::DeleteCriticalSection(&gps.parserLock);
    os::DeleteCriticalSection(&gps.lock);
    return ok;
}

void DeleteFiles(const std::vector<std::string>& files)
{
    for (const std::string& f : files) os::DeleteFileW(f.c_str());
}

void BM_RecordingPathVersusBareAndFfmpeg(benchmark::State& state)
{
    std::string length;
    std::int64_t lengthMs = 0;
    std::string error;
    if (!RunLength("KESTRAVA_BENCH_DRIVE", "10m", &length, &lengthMs, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    PrepareYardsticks();
    Scratch scratch("kestrava-recording-path-bench");
    const std::string& dir = scratch.path;
    os::ClockConfig clock;
    clock.mode = os::ClockMode::Virtual;
    os::SYSTEMTIME start{};
    start.wYear = 2009;
    start.wMonth = 3;
    start.wDay = 3;
    start.wHour = 8;
    start.wMinute = 59;
    start.wSecond = 30;
    clock.start = start;
    os::sim::StartPlatform(clock);
    sim::DeviceProfile profile = sim::DefaultProfile();
    profile.gps.reset();  // no receiver: the fix is set once
    if (!sim::PreparePhone(profile, dir + "/device", &error) || !os::CreateDirectoryW(kFolder, nullptr)) {
        if (error.empty()) error = std::string("cannot make ") + kFolder;
        os::sim::CloseRegistry();
        os::sim::StopPlatform();
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string hostFolder = dir + "/device/volumes/Storage Card/PathBench";
    std::vector<double> pathFps;
    std::vector<double> bareFps;
    std::vector<double> ffmpegFps;
    std::vector<double> overBare;
    std::vector<double> overFfmpeg;
    std::vector<double> lessSceneOverBare;
    std::vector<double> switchesPerFrame;
    std::vector<double> plainFps;
    std::vector<double> durableOverPlainCpu;
    std::vector<double> durableOverPlainWall;
    Recordings recorded;
    YardstickPass yard;
    for (auto _ : state) {
        for (int pass = 0; pass < kPathPasses && error.empty(); ++pass) {
            PathDrive drive;
            const bool drove = DrivePath(lengthMs, &drive, &error);
            const bool counted = drove && CountRecordings(hostFolder, &recorded, &error);
            DeleteFiles(drive.files);
            if (!counted) break;
            if (recorded.frames == 0) {
                error = "the recording path wrote no video frames";
                break;
            }
            if (!RunYardsticks(dir, recorded.frames, &yard, &error)) break;
            pathFps.push_back(static_cast<double>(recorded.frames) / drive.seconds);
            bareFps.push_back(yard.bareFps);
            ffmpegFps.push_back(yard.ffmpegFps);
            overBare.push_back(pathFps.back() / bareFps.back());
            overFfmpeg.push_back(pathFps.back() / ffmpegFps.back());
            lessSceneOverBare.push_back(static_cast<double>(recorded.frames) /
                                        (drive.seconds - yard.bare.sceneSeconds) / bareFps.back());
            switchesPerFrame.push_back(static_cast<double>(drive.switches) / static_cast<double>(recorded.frames));
            // The same drive without durable points, for their cost.
            AVI_Writer_SetDurablePoints(false);
            PathDrive plain;
            Recordings plainRecorded;
            const bool plainDrove = DrivePath(lengthMs, &plain, &error);
            const bool plainCounted = plainDrove && CountRecordings(hostFolder, &plainRecorded, &error);
            DeleteFiles(plain.files);
            AVI_Writer_SetDurablePoints(true);
            if (!plainCounted) break;
            plainFps.push_back(static_cast<double>(plainRecorded.frames) / plain.seconds);
            durableOverPlainCpu.push_back(pathFps.back() / plainFps.back());
            durableOverPlainWall.push_back((static_cast<double>(recorded.frames) / drive.wallSeconds) /
                                           (static_cast<double>(plainRecorded.frames) / plain.wallSeconds));
            std::printf("recording path pass %d: with durable points %.0f fps, without %.0f fps; with/without "
                        "%.3f (processor time), %.3f (wall time)\n",
                        pass + 1, pathFps.back(), plainFps.back(), durableOverPlainCpu.back(),
                        durableOverPlainWall.back());
            std::printf("recording path pass %d: path %.0f fps, bare %.0f fps, ffmpeg %.0f fps; path/bare %.3f, "
                        "path/ffmpeg %.3f; %.2f context switches a frame\n",
                        pass + 1, pathFps.back(), bareFps.back(), ffmpegFps.back(), overBare.back(),
                        overFfmpeg.back(), switchesPerFrame.back());
        }
    }
    os::sim::CloseRegistry();
    os::sim::StopPlatform();
    if (!error.empty()) {
        state.SkipWithError(error.c_str());
        return;
    }
    state.counters["frames"] = static_cast<double>(recorded.frames);
    state.counters["files"] = recorded.files;
    state.counters["path_fps"] = Median(pathFps);
    state.counters["bare_fps"] = Median(bareFps);
    state.counters["ffmpeg_fps"] = Median(ffmpegFps);
    state.counters["path_over_bare"] = Median(overBare);
    state.counters["path_over_ffmpeg"] = Median(overFfmpeg);
    state.counters["path_less_scene_over_bare"] = Median(lessSceneOverBare);
    state.counters["path_switches_per_frame"] = Median(switchesPerFrame);
    state.counters["path_kbps"] = KbitPerSecond(recorded.videoBytes, recorded.frames);
    state.counters["path_no_durable_fps"] = Median(plainFps);
    state.counters["durable_over_no_durable_cpu"] = Median(durableOverPlainCpu);
    state.counters["durable_over_no_durable_wall"] = Median(durableOverPlainWall);
    state.SetLabel(length + " drive, recording path only");
    std::printf("recording path alone, %s drive, %lld frames in %d files, median of %d passes: path %.0f fps, bare "
                "libavcodec %.0f fps, ffmpeg %.0f fps; path/bare %.3f, path/ffmpeg %.3f, path less scene/bare %.3f; %.2f context switches a frame\n",
                length.c_str(), static_cast<long long>(recorded.frames), recorded.files, kPathPasses,
                Median(pathFps), Median(bareFps), Median(ffmpegFps), Median(overBare), Median(overFfmpeg),
                Median(lessSceneOverBare), Median(switchesPerFrame));
    std::printf("durable points: path %.0f fps with them, %.0f fps without; with/without %.3f in processor time, "
                "%.3f in wall time\n",
                Median(pathFps), Median(plainFps), Median(durableOverPlainCpu), Median(durableOverPlainWall));
}

BENCHMARK(BM_RecordingPathVersusBareAndFfmpeg)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
