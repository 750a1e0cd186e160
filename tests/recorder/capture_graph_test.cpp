// The capture graph manager on the simulated handset, in virtual time: what
// the recording sink receives, how recording control and stills behave, the
// failures it reports and the encoder registration it leaves.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <fstream>
#include <mutex>
#include <optional>
#include <utility>
#include <string>
#include <vector>

#include "platform/devices/device.h"
#include "platform/files/file.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/media/capture_index.h"
#include "platform/media/media_sim.h"
#include "platform/registry/registry.h"
#include "platform/shell/resource.h"
#include "recorder/capture_graph.h"
#include "recorder/encoder_dmo_registry.h"
#include "tests/support/host_tool.h"
#include "tests/support/device_file.h"
#include "tests/support/program_folder.h"
#include "tests/support/registry_fixture.h"

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct VideoSample {
    os::REFERENCE_TIME start;
    os::REFERENCE_TIME stop;
    os::LONG length;
    std::optional<std::uint32_t> index;
};

struct AudioSample {
    os::REFERENCE_TIME start;
    os::REFERENCE_TIME stop;
    os::LONG length;
};

struct Received {
    std::mutex mu;
    std::vector<VideoSample> video;
    std::vector<AudioSample> audio;
    os::HWND context = nullptr;
};
Received* g_received = nullptr;

int Record(const os::BYTE* data, os::LONG length, int kind, os::REFERENCE_TIME start, os::REFERENCE_TIME stop,
           os::HWND context)
{
    std::lock_guard<std::mutex> lock(g_received->mu);
    g_received->context = context;
    if (kind == kSampleVideo) {
        std::optional<std::uint32_t> index;
        if (length >= kWidth * kHeight) index = os::ReadCaptureIndex(data, kWidth, kHeight, kWidth);
        g_received->video.push_back(VideoSample{start, stop, length, index});
    } else {
        g_received->audio.push_back(AudioSample{start, stop, length});
    }
    return 0;
}

struct PreviewFrames {
    std::mutex mu;
    std::vector<os::LONG> lengths;
};
PreviewFrames* g_preview = nullptr;

int Preview(const os::BYTE*, os::LONG length, int kind, os::REFERENCE_TIME, os::REFERENCE_TIME, os::HWND)
{
    std::lock_guard<std::mutex> lock(g_preview->mu);
    if (kind == kSampleVideo) g_preview->lengths.push_back(length);
    return 0;
}

// The picture size a JPEG's frame header gives; {0, 0} when there is none.
std::pair<int, int> JpegSize(const std::string& jpeg)
{
    for (std::size_t at = 2; at + 9 < jpeg.size();) {
        if (static_cast<unsigned char>(jpeg[at]) != 0xFF) return {0, 0};
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        const std::size_t length =
            static_cast<std::size_t>(static_cast<unsigned char>(jpeg[at + 2])) << 8 | static_cast<unsigned char>(jpeg[at + 3]);
        if (marker >= 0xC0 && marker <= 0xC2) {
            const int height = static_cast<unsigned char>(jpeg[at + 5]) << 8 | static_cast<unsigned char>(jpeg[at + 6]);
            const int width = static_cast<unsigned char>(jpeg[at + 7]) << 8 | static_cast<unsigned char>(jpeg[at + 8]);
            return {width, height};
        }
        at += 2 + length;
    }
    return {0, 0};
}

std::vector<std::uint32_t> g_bitrates;
void ApplyBitrate(std::uint32_t videoKbps, os::HWND)
{
    g_bitrates.push_back(videoKbps);
}

std::vector<std::string> g_stills;
void StillWritten(const char* path, os::HWND)
{
    g_stills.emplace_back(path);
}

// The JPEG stills a camera made itself, handed over as bytes.
std::vector<std::string> g_stillBytes;
void StillBytes(const os::BYTE* bytes, os::LONG length, os::HWND)
{
    g_stillBytes.emplace_back(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
}

// Picture and sound samples received between two marks, split into runs of
// samples that follow each other without a gap.
template <class Sample>
std::vector<std::vector<Sample>> Runs(const std::vector<Sample>& samples, os::REFERENCE_TIME maxGap)
{
    std::vector<std::vector<Sample>> runs;
    for (const Sample& s : samples) {
        if (runs.empty() || s.start - runs.back().back().start > maxGap) runs.emplace_back();
        runs.back().push_back(s);
    }
    return runs;
}

class CaptureGraphTest : public RegistryFixture {
protected:
    void SetUp() override
    {
        RegistryFixture::SetUp();
        program_.emplace();
        received_ = std::make_unique<Received>();
        g_received = received_.get();
        preview_ = std::make_unique<PreviewFrames>();
        g_preview = preview_.get();
        g_stills.clear();
        g_stillBytes.clear();
        g_bitrates.clear();
    }

    void TearDown() override
    {
        if (m_) CaptureGraph_Delete(m_);
        m_ = nullptr;
        if (resources_) os::FreeLibrary(resources_);
        g_received = nullptr;
        g_preview = nullptr;
        program_.reset();
        RegistryFixture::TearDown();
    }

    // A manager set up as the recorder sets it up, created but not built.
    CaptureGraphManager* Make(int videoSize = 1)
    {
        m_ = CaptureGraph_New();
        EXPECT_NE(m_, nullptr);
        CaptureGraph_AttachWindow(m_, kWindow);
        resources_ = os::LoadLibraryW(testing_support::ProgramFolder::LibraryPath("English").c_str());
        m_->resources = resources_;
        m_->videoSize = videoSize;
        os::SystemParametersInfoW(os::SPI_GETOEMINFO, 256, &m_->model, 0);
        m_->recordCallback = Record;
        m_->previewCallback = Preview;
        m_->stillWritten = StillWritten;
        m_->stillReady = StillBytes;
        m_->applyBitrate = ApplyBitrate;
        EXPECT_EQ(CaptureGraph_Create(m_), os::S_OK);
        return m_;
    }

    CaptureGraphManager* MakeRunning(int videoSize = 1)
    {
        Make(videoSize);
        EXPECT_EQ(CaptureGraph_Build(m_), os::S_OK);
        EXPECT_EQ(CaptureGraph_Finish(m_), os::S_OK);
        return m_;
    }

    std::size_t VideoCount()
    {
        std::lock_guard<std::mutex> lock(received_->mu);
        return received_->video.size();
    }
    std::size_t AudioCount()
    {
        std::lock_guard<std::mutex> lock(received_->mu);
        return received_->audio.size();
    }

    static inline const os::HWND kWindow = reinterpret_cast<os::HWND>(static_cast<std::uintptr_t>(0x10001));
    std::optional<testing_support::ProgramFolder> program_;
    std::unique_ptr<Received> received_;
    std::unique_ptr<PreviewFrames> preview_;
    CaptureGraphManager* m_ = nullptr;
    os::HINSTANCE resources_ = nullptr;
};

// Start, pause, resume and stop on the built-in camera and microphone: the
// sink sees YV12 320x240 at 30 frames per second of device time, every
// frame once and in order, and 8000 Hz sound without holes; each stop
// returns only once both streams have stopped.
TEST_F(CaptureGraphTest, RecordingDeliversWholeStreamsAndStopsBothOfThem)
{
    MakeRunning();
    os::Sleep(500);
    EXPECT_EQ(VideoCount(), 0u) << "samples reached the recording sink before recording started";
    EXPECT_EQ(AudioCount(), 0u);

    // A new bit rate reaches the encoder once, as the recording starts.
    CaptureGraph_SetBitrates(m_, 2000, 64);
    EXPECT_TRUE(g_bitrates.empty());
    ASSERT_EQ(CaptureGraph_StartRecording(m_), os::S_OK);
    EXPECT_EQ(g_bitrates, std::vector<std::uint32_t>{2000});
    os::Sleep(2000);
    ASSERT_EQ(CaptureGraph_PauseRecording(m_), os::S_OK);
    EXPECT_EQ(m_->streamsStopped, 2);
    const std::size_t videoAtPause = VideoCount();
    const std::size_t audioAtPause = AudioCount();
    os::Sleep(1000);
    EXPECT_EQ(VideoCount(), videoAtPause);
    EXPECT_EQ(AudioCount(), audioAtPause);

    ASSERT_EQ(CaptureGraph_ResumeRecording(m_), os::S_OK);
    os::Sleep(1000);
    ASSERT_EQ(CaptureGraph_StopRecording(m_), os::S_OK);
    EXPECT_EQ(m_->streamsStopped, 2);
    EXPECT_EQ(g_bitrates.size(), 1u);
    const std::size_t videoAtStop = VideoCount();
    const std::size_t audioAtStop = AudioCount();
    os::Sleep(500);
    EXPECT_EQ(VideoCount(), videoAtStop);
    EXPECT_EQ(AudioCount(), audioAtStop);

    os::VIDEOINFOHEADER video{};
    os::WAVEFORMATEX audio{};
    ASSERT_EQ(CaptureGraph_ReadMediaFormats(m_, &video, &audio), os::S_OK);
    EXPECT_EQ(video.bmiHeader.biWidth, kWidth);
    EXPECT_EQ(video.bmiHeader.biHeight, kHeight);
    EXPECT_EQ(audio.nSamplesPerSec, 8000u);
    EXPECT_EQ(audio.nChannels, 1);
    EXPECT_EQ(audio.wBitsPerSample, 16);

    std::lock_guard<std::mutex> lock(received_->mu);
    EXPECT_EQ(received_->context, kWindow);
    const auto videoRuns = Runs(received_->video, 400000);
    ASSERT_EQ(videoRuns.size(), 2u) << "one run before the pause, one after";
    EXPECT_NEAR(static_cast<double>(videoRuns[0].size()), 60.0, 2.0);
    EXPECT_NEAR(static_cast<double>(videoRuns[1].size()), 30.0, 2.0);
    std::uint32_t lastIndex = 0;
    for (const auto& run : videoRuns) {
        for (std::size_t i = 0; i < run.size(); ++i) {
            EXPECT_EQ(run[i].length, kWidth * kHeight * 3 / 2);
            ASSERT_TRUE(run[i].index.has_value()) << "frame " << i << " carries no capture index";
            if (i > 0) {
                EXPECT_NEAR(static_cast<double>(run[i].start - run[i - 1].start), 333333.0, 1.0);
                EXPECT_EQ(*run[i].index, *run[i - 1].index + 1) << "a frame was lost or repeated";
            }
        }
        EXPECT_GT(*run.front().index, lastIndex);
        lastIndex = *run.back().index;
    }

    std::vector<std::vector<AudioSample>> soundRuns;
    for (const AudioSample& s : received_->audio) {
        if (soundRuns.empty() || s.start != soundRuns.back().back().stop) soundRuns.emplace_back();
        soundRuns.back().push_back(s);
    }
    ASSERT_EQ(soundRuns.size(), 2u) << "sound has a hole outside the pause";
    for (const auto& run : soundRuns) {
        for (const AudioSample& s : run) {
            EXPECT_EQ(s.length % 2, 0);
            EXPECT_EQ(s.stop - s.start, static_cast<os::REFERENCE_TIME>(s.length / 2) * 10000000 / 8000);
        }
    }
    EXPECT_NEAR(static_cast<double>(soundRuns[0].back().stop - soundRuns[0].front().start), 2e7, 2e6);
}

// A stuck camera sends no stop of its own: stopping waits out its time and
// returns with the sound's stop alone; once the camera runs again the next
// recording stops whole.
TEST_F(CaptureGraphTest, StoppingWithAStuckCameraReturnsWithTheSoundStopped)
{
    MakeRunning();
    ASSERT_EQ(CaptureGraph_StartRecording(m_), os::S_OK);
    os::Sleep(500);
    os::sim::StallCamera(60 * 1000 * 1000);
    os::Sleep(200);
    ASSERT_EQ(CaptureGraph_StopRecording(m_), os::S_OK);
    EXPECT_EQ(m_->streamsStopped, 1);
    os::Sleep(60 * 1000);
    ASSERT_EQ(CaptureGraph_StartRecording(m_), os::S_OK);
    os::Sleep(500);
    ASSERT_EQ(CaptureGraph_StopRecording(m_), os::S_OK);
    EXPECT_EQ(m_->streamsStopped, 2);
}

// A still with no path goes to the default file and the call returns when
// it is written; a path given is used as it is; a path too long is refused.
TEST_F(CaptureGraphTest, StillTriggerWritesAJpegFile)
{
    MakeRunning();
    ASSERT_EQ(CaptureGraph_TakeStill(m_, ""), os::S_OK);
    ASSERT_EQ(g_stills, std::vector<std::string>{kDefaultStillPath});
    const std::string jpeg = testing_support::ReadDeviceFile(kDefaultStillPath);
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[0]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[1]), 0xD8);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 2]), 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(jpeg[jpeg.size() - 1]), 0xD9);
    // The still's size is the graph's still size, as the readers see it.
    testing_support::TempFolder host;
    const std::string file = host / "still.jpg";
    std::ofstream(file, std::ios::binary) << jpeg;
    if (testing_support::HostToolPresent("identify")) {
        const auto id = testing_support::RunHostTool("identify -format '%m %w %h' '" + file + "'");
        EXPECT_EQ(id.output, "JPEG 640 480") << "identify refuses the still";
    }
    if (testing_support::HostToolPresent("exiftool")) {
        const auto exif = testing_support::RunHostTool("exiftool -s3 -FileType -ImageWidth -ImageHeight '" + file + "'");
        EXPECT_EQ(exif.output, "JPEG\n640\n480\n") << "exiftool refuses the still";
    }

    EXPECT_EQ(CaptureGraph_TakeStill(m_, std::string(os::MAX_PATH, 'a').c_str()), os::E_INVALIDARG);
    ASSERT_EQ(CaptureGraph_TakeStill(m_, "\\Photos\\one.jpg"), os::S_OK);
    os::Sleep(1000);
    EXPECT_EQ(g_stills.size(), 2u);
    EXPECT_EQ(testing_support::ReadDeviceFile("\\Photos\\one.jpg").substr(0, 2), "\xFF\xD8");
}

// VideoSize 0 previews in RGB565 at the preview size; switching it rebuilds
// the preview branch for 320x240 YV12, and the recording follows the size.
TEST_F(CaptureGraphTest, PreviewFollowsTheVideoSize)
{
    Make(0);
    m_->previewWidth = 400;
    m_->previewHeight = 240;
    ASSERT_EQ(CaptureGraph_Build(m_), os::S_OK);
    ASSERT_EQ(CaptureGraph_Finish(m_), os::S_OK);
    os::Sleep(1000);
    os::VIDEOINFOHEADER video{};
    os::WAVEFORMATEX audio{};
    {
        std::lock_guard<std::mutex> lock(preview_->mu);
        ASSERT_GE(preview_->lengths.size(), 25u);
        for (os::LONG length : preview_->lengths) ASSERT_EQ(length, 400 * 240 * 2);
        preview_->lengths.clear();
    }

    ASSERT_EQ(CaptureGraph_ChangePreviewSize(m_, 1), os::S_OK);
    ASSERT_EQ(CaptureGraph_StartRecording(m_), os::S_OK);
    os::Sleep(1000);
    ASSERT_EQ(CaptureGraph_StopRecording(m_), os::S_OK);
    {
        std::lock_guard<std::mutex> lock(preview_->mu);
        ASSERT_GE(preview_->lengths.size(), 25u);
        for (os::LONG length : preview_->lengths) ASSERT_EQ(length, kWidth * kHeight * 3 / 2);
    }
    ASSERT_EQ(CaptureGraph_ReadMediaFormats(m_, &video, &audio), os::S_OK);
    EXPECT_EQ(video.bmiHeader.biWidth, kWidth);
    EXPECT_EQ(video.bmiHeader.biHeight, kHeight);
    std::lock_guard<std::mutex> lock(received_->mu);
    ASSERT_GE(received_->video.size(), 25u);
    for (const VideoSample& s : received_->video) ASSERT_EQ(s.length, kWidth * kHeight * 3 / 2);
}

// A new still size (and a camera making JPEG itself) gives stills of that
// size; the camera's own JPEG is handed over as bytes, not written.
TEST_F(CaptureGraphTest, StillSizeChangesReachTheFile)
{
    MakeRunning();
    ASSERT_EQ(CaptureGraph_ChangeStillSize(m_, 1280, 960, os::MEDIASUBTYPE_YV12), os::S_OK);
    ASSERT_EQ(CaptureGraph_TakeStill(m_, ""), os::S_OK);
    EXPECT_EQ(JpegSize(testing_support::ReadDeviceFile(kDefaultStillPath)), std::make_pair(1280, 960));
    ASSERT_EQ(CaptureGraph_ChangeStillSize(m_, 640, 480, os::MEDIASUBTYPE_IJPG), os::S_OK);
    ASSERT_TRUE(os::DeleteFileW(kDefaultStillPath));
    ASSERT_EQ(CaptureGraph_TakeStill(m_, ""), os::S_OK);
    ASSERT_EQ(g_stillBytes.size(), 1u);
    EXPECT_EQ(JpegSize(g_stillBytes[0]), std::make_pair(640, 480));
    EXPECT_EQ(os::GetFileAttributesW(kDefaultStillPath), os::INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(g_stills.size(), 1u);
    ASSERT_EQ(CaptureGraph_ChangeStillSize(m_, 320, 240, os::MEDIASUBTYPE_YV12), os::S_OK);
    ASSERT_EQ(CaptureGraph_TakeStill(m_, ""), os::S_OK);
    EXPECT_EQ(JpegSize(testing_support::ReadDeviceFile(kDefaultStillPath)), std::make_pair(320, 240));
    EXPECT_EQ(g_stills.size(), 2u);
    EXPECT_EQ(g_stillBytes.size(), 1u);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    CaptureGraph_GetStillSize(m_, &width, &height);
    EXPECT_EQ(width, 320u);
    EXPECT_EQ(height, 240u);
}

// The recording sink takes sound at 8000 Hz only: another rate fails with
// its message and leaves the microphone recording as before.
TEST_F(CaptureGraphTest, ASampleRateTheSinkRefusesLeavesTheSoundAsItWas)
{
    MakeRunning();
    EXPECT_TRUE(os::FAILED(CaptureGraph_SetAudioSampleRate(m_, 11025)));
    EXPECT_EQ(m_->messageId, kestrava::res::IDS_AUDIO_RATE_FAILED);
    EXPECT_TRUE(m_->running);
    EXPECT_EQ(CaptureGraph_SetAudioSampleRate(m_, 8000), os::S_OK);
    ASSERT_EQ(CaptureGraph_StartRecording(m_), os::S_OK);
    os::Sleep(1000);
    ASSERT_EQ(CaptureGraph_StopRecording(m_), os::S_OK);
    os::VIDEOINFOHEADER video{};
    os::WAVEFORMATEX audio{};
    ASSERT_EQ(CaptureGraph_ReadMediaFormats(m_, &video, &audio), os::S_OK);
    EXPECT_EQ(audio.nSamplesPerSec, 8000u);
    std::lock_guard<std::mutex> lock(received_->mu);
    os::REFERENCE_TIME covered = 0;
    for (const AudioSample& s : received_->audio) covered += s.stop - s.start;
    EXPECT_NEAR(static_cast<double>(covered), 1e7, 1e6);
}

// The camera missing (or without its capture face) fails the build with the
// build message and marks the camera unavailable; other failures do not.
TEST_F(CaptureGraphTest, CameraOpenFailureFailsTheBuild)
{
    for (os::LONG error : {os::E_DEVICE_NOT_PRESENT, os::E_NOINTERFACE, os::E_OUTOFMEMORY}) {
        os::sim::MediaFaults faults;
        faults.cameraOpenError = error;
        ASSERT_TRUE(os::sim::SetMediaFaults(faults));
        Make();
        EXPECT_EQ(CaptureGraph_Build(m_), error);
        EXPECT_EQ(m_->messageId, kestrava::res::IDS_GRAPH_BUILD_FAILED);
        EXPECT_EQ(m_->messageKind, 1);
        EXPECT_EQ(m_->messageDurationMs, -1);
        std::string text;
        os::LoadStringW(resources_, kestrava::res::IDS_GRAPH_BUILD_FAILED, &text, 100);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(m_->messageText, text);
        EXPECT_EQ(m_->cameraUnavailable, error != os::E_OUTOFMEMORY);
        EXPECT_FALSE(m_->built);
        EXPECT_EQ(CaptureGraph_Run(m_), os::E_FAIL);
        EXPECT_FALSE(os::sim::CurrentCameraState().open);
        CaptureGraph_Delete(m_);
        m_ = nullptr;
        os::FreeLibrary(resources_);
        resources_ = nullptr;
    }
    ASSERT_TRUE(os::sim::SetMediaFaults(os::sim::MediaFaults{}));
    Make();
    EXPECT_EQ(CaptureGraph_Build(m_), os::S_OK);
    EXPECT_FALSE(m_->cameraUnavailable);
}

// A graph never built answers E_FAIL everywhere and leaves the camera alone.
TEST_F(CaptureGraphTest, OperationsOnAGraphNeverBuiltFailWithoutTouchingTheDevice)
{
    Make();
    os::VIDEOINFOHEADER video{};
    os::WAVEFORMATEX audio{};
    const os::HRESULT results[] = {
        CaptureGraph_Finish(m_),
        CaptureGraph_Run(m_),
        CaptureGraph_Stop(m_),
        CaptureGraph_StartRecording(m_),
        CaptureGraph_PauseRecording(m_),
        CaptureGraph_ResumeRecording(m_),
        CaptureGraph_StopRecording(m_),
        CaptureGraph_AbortRecording(m_, 0),
        CaptureGraph_TakeStill(m_, ""),
        CaptureGraph_ReadMediaFormats(m_, &video, &audio),
        CaptureGraph_ChangeStillSize(m_, 640, 480, os::MEDIASUBTYPE_YV12),
        CaptureGraph_ChangePreviewSize(m_, 0),
        CaptureGraph_SetAudioSampleRate(m_, 8000),
        CaptureGraph_ProcAmpStep(m_, 0, 1, -1, false),
        CaptureGraph_CameraControlStep(m_, 3, 1, -1, false),
        CaptureGraph_ZoomStep(m_, 1),
        CaptureGraph_Flip(m_, true, true),
        CaptureGraph_AutoFocus(m_),
        CaptureGraph_SetIso(m_, 400),
        CaptureGraph_Stabilization(m_, true),
        CaptureGraph_Wdr(m_, true),
        CaptureGraph_Flash(m_, true),
    };
    for (std::size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], os::E_FAIL) << "operation " << i;
    const os::sim::CameraState camera = os::sim::CurrentCameraState();
    EXPECT_FALSE(camera.open);
    EXPECT_EQ(camera.iso, 0u);
    EXPECT_FALSE(camera.stabilization || camera.wdr || camera.flash || camera.autoFocusRuns);
    EXPECT_TRUE(g_stills.empty());
}

// The media events: each stream's stop counts, and a still's file ends the
// still command only while the word still holds that still.
TEST_F(CaptureGraphTest, MediaEventsCountStopsAndLeaveNewerCommandsAlone)
{
    Make();
    CaptureGraph_HandleMediaEvent(m_, os::EC_STREAM_CONTROL_STOPPED, 0, 2);
    CaptureGraph_HandleMediaEvent(m_, os::EC_STREAM_CONTROL_STOPPED, 0, 2);
    EXPECT_EQ(m_->streamsStopped, 2);
    EXPECT_EQ(os::WaitForSingleObject(m_->streamStopped, 0), os::WAIT_OBJECT_0);

    m_->command.store(kGraphStartRecording);
    m_->stillsRequested = 1;
    CaptureGraph_HandleMediaEvent(m_, os::EC_CAP_FILE_COMPLETED, 0, 0);
    EXPECT_EQ(m_->command.load(), kGraphStartRecording) << "a file completion overwrote another command";

    // Two stills asked for: the first one's file leaves the second one's word.
    m_->command.store(kGraphTakeStill);
    m_->stillsRequested = 3;
    CaptureGraph_HandleMediaEvent(m_, os::EC_CAP_FILE_COMPLETED, 0, 0);
    EXPECT_EQ(m_->command.load(), kGraphTakeStill);
    CaptureGraph_HandleMediaEvent(m_, os::EC_CAP_FILE_COMPLETED, 0, 0);
    EXPECT_EQ(m_->command.load(), kGraphIdle);
    EXPECT_EQ(g_stills.size(), 3u);
}

// A command the thread does not take up in time is a failure, not a hang,
// and the next command gets its own result.
TEST_F(CaptureGraphTest, ACommandNotDoneInTimeFailsAndTheNextOneWorks)
{
    MakeRunning();
    ASSERT_EQ(os::SuspendThread(m_->thread), 0u);
    const os::DWORD before = os::GetTickCount();
    EXPECT_EQ(CaptureGraph_Stop(m_), os::VFW_E_TIMEOUT);
    EXPECT_GE(os::GetTickCount() - before, kGraphCommandTimeoutMs);
    os::ResumeThread(m_->thread);
    EXPECT_EQ(CaptureGraph_Stop(m_), os::S_OK);
    EXPECT_FALSE(m_->running);
    EXPECT_EQ(CaptureGraph_Run(m_), os::S_OK);
    EXPECT_TRUE(m_->running);
}

struct Hammer {
    CaptureGraphManager* m;
    int failures = 0;
};

os::DWORD HammerCommands(void* param)
{
    auto* h = static_cast<Hammer*>(param);
    for (int i = 0; i < 20; ++i) {
        if (CaptureGraph_Stop(h->m) != os::S_OK) ++h->failures;
        if (CaptureGraph_Run(h->m) != os::S_OK) ++h->failures;
    }
    return 0;
}

// Callers on several threads each get their own command done.
TEST_F(CaptureGraphTest, CommandsFromSeveralThreadsEachGetTheirResult)
{
    MakeRunning();
    Hammer a{m_};
    Hammer b{m_};
    os::HANDLE ta = os::CreateThread(nullptr, 0, HammerCommands, &a, 0, nullptr);
    os::HANDLE tb = os::CreateThread(nullptr, 0, HammerCommands, &b, 0, nullptr);
    ASSERT_NE(ta, nullptr);
    ASSERT_NE(tb, nullptr);
    const os::HANDLE both[2] = {ta, tb};
    EXPECT_EQ(os::WaitForMultipleObjects(2, both, os::TRUE, 600000), os::WAIT_OBJECT_0);
    os::CloseHandle(ta);
    os::CloseHandle(tb);
    EXPECT_EQ(a.failures, 0);
    EXPECT_EQ(b.failures, 0);
}

// The zoom table of each model, stepped and indexed past its ends (the
// device only ever gets the table's values), and the camera functions as
// each model has them.
TEST_F(CaptureGraphTest, ModelTablesAndCameraFunctionsFollowTheModel)
{
    struct Model {
        const char* name;
        std::vector<os::LONG> zoom;
        bool smiFocus;  // autofocus through the maker's functions, else the zoom property
        bool iso;
        bool stabilizationAndWdr;
    };
    const Model models[] = {
        {"SCH-M490", {10, 12, 14, 16, 18, 20}, true, true, true},
        {"SGH-I780", {10, 13, 16, 19, 22, 25, 28, 31, 34, 37, 40}, true, true, false},
        {"sgh-i900", {10, 13, 16, 19, 22, 25, 28, 31, 34, 37, 40}, false, false, false},
    };
    for (const Model& model : models) {
        SCOPED_TRACE(model.name);
        os::sim::DeviceProfile profile;
        profile.oemInfo = model.name;
        ASSERT_TRUE(os::sim::ConfigureDevice(profile));
        MakeRunning();
        const PropertySteps& zoom = m_->cameraControl[os::CameraControl_Zoom];
        ASSERT_EQ(std::vector<os::LONG>(zoom.values, zoom.values + zoom.count), model.zoom);
        EXPECT_EQ(m_->procAmp[os::VideoProcAmp_Brightness].count, 9);
        EXPECT_EQ(m_->procAmp[os::VideoProcAmp_Brightness].values[m_->procAmp[0].index], 750)
            << "the brightness table does not start at the device's value";
        os::ComPtr<os::IAMCameraControl> control;
        ASSERT_EQ(m_->videoCapture->QueryInterface(os::IID_IAMCameraControl, control.OutVoid()), os::S_OK);
        auto deviceControl = [&](os::LONG property) {
            os::LONG value = 0;
            os::LONG flags = 0;
            EXPECT_EQ(control->Get(property, &value, &flags), os::S_OK);
            return value;
        };
        const os::LONG top = model.zoom.back();
        for (int i = 0; i < 15; ++i) EXPECT_EQ(CaptureGraph_ZoomStep(m_, 1), os::S_OK);
        EXPECT_EQ(zoom.index, zoom.count - 1);
        EXPECT_EQ(deviceControl(os::CameraControl_Zoom), top);
        EXPECT_EQ(CaptureGraph_CameraControlStep(m_, os::CameraControl_Zoom, 0, -7, false), os::S_OK);
        EXPECT_EQ(deviceControl(os::CameraControl_Zoom), 10);
        EXPECT_EQ(CaptureGraph_CameraControlStep(m_, os::CameraControl_Zoom, 0, 1000, false), os::S_OK);
        EXPECT_EQ(deviceControl(os::CameraControl_Zoom), top);
        EXPECT_EQ(CaptureGraph_ZoomStep(m_, -1), os::S_OK);
        EXPECT_EQ(deviceControl(os::CameraControl_Zoom), model.zoom[model.zoom.size() - 2]);
        EXPECT_EQ(CaptureGraph_CameraControlStep(m_, kCameraControlProperties, 1, -1, false), os::E_INVALIDARG);
        EXPECT_EQ(CaptureGraph_ProcAmpStep(m_, -1, 1, -1, false), os::E_INVALIDARG);

        EXPECT_EQ(CaptureGraph_AutoFocus(m_), os::S_OK);
        EXPECT_EQ(os::sim::CurrentCameraState().autoFocusRuns, model.smiFocus);
        EXPECT_EQ(os::SUCCEEDED(CaptureGraph_SetIso(m_, 400)), model.iso);
        EXPECT_EQ(os::sim::CurrentCameraState().iso, model.iso ? 400u : 0u);
        EXPECT_EQ(os::SUCCEEDED(CaptureGraph_Stabilization(m_, true)), model.stabilizationAndWdr);
        EXPECT_EQ(os::SUCCEEDED(CaptureGraph_Wdr(m_, true)), model.stabilizationAndWdr);
        EXPECT_EQ(os::sim::CurrentCameraState().stabilization, model.stabilizationAndWdr);
        EXPECT_EQ(os::sim::CurrentCameraState().wdr, model.stabilizationAndWdr);
        EXPECT_EQ(CaptureGraph_Flash(m_, true), os::S_OK);
        if (model.smiFocus) {
            EXPECT_TRUE(os::sim::CurrentCameraState().flash);
        } else {
            EXPECT_EQ(deviceControl(os::CameraControl_Flash), 3);
        }
        control.Reset();
        CaptureGraph_Delete(m_);
        m_ = nullptr;
        os::FreeLibrary(resources_);
        resources_ = nullptr;
    }
}

// The encoder DMO's keys are there while the manager lives and gone after.
TEST_F(CaptureGraphTest, EncoderRegistrationLivesWithTheManager)
{
    Make();
    std::string module;
    ASSERT_GT(os::GetModuleFileNameW(nullptr, &module, os::MAX_PATH), 0u);
    const std::string folder = module.substr(0, module.rfind('\\'));
    auto readKey = [](const char* path, const char* name, std::string* text) {
        os::HKEY key = nullptr;
        if (os::RegOpenKeyExW(os::HKEY_CLASSES_ROOT, path, 0, os::KEY_READ, &key) != os::ERROR_SUCCESS) return false;
        const bool ok = os::RegQueryString(key, name, text) == os::ERROR_SUCCESS;
        os::RegCloseKey(key);
        return ok;
    };
    std::string text;
    ASSERT_TRUE(readKey(kDmoClassKey, nullptr, &text));
    EXPECT_EQ(text, "MP4 Encoder DMO");
    ASSERT_TRUE(readKey(kDmoServerKey, nullptr, &text));
    EXPECT_EQ(text, folder + "\\RudIvozozIVA.dll");
    ASSERT_TRUE(readKey(kDmoServerKey, "ThreadingModel", &text));
    EXPECT_EQ(text, "Both");
    ASSERT_TRUE(readKey(kDmoObjectKey, nullptr, &text));
    EXPECT_EQ(text, "Vizuru MPEG-4 SP Encoder-DMO");
    os::HKEY key = nullptr;
    ASSERT_EQ(os::RegOpenKeyExW(os::HKEY_CLASSES_ROOT, kDmoClassKey, 0, os::KEY_READ, &key), os::ERROR_SUCCESS);
    os::DWORD merit = 0;
    EXPECT_EQ(os::RegQueryDword(key, "MERIT", &merit), os::ERROR_SUCCESS);
    EXPECT_EQ(merit, 0x200000u);
    os::RegCloseKey(key);
    ASSERT_EQ(os::RegOpenKeyExW(os::HKEY_CLASSES_ROOT, kDmoObjectKey, 0, os::KEY_READ, &key), os::ERROR_SUCCESS);
    std::vector<os::BYTE> in;
    std::vector<os::BYTE> out;
    EXPECT_EQ(os::RegQueryBinary(key, "InputTypes", &in), os::ERROR_SUCCESS);
    EXPECT_EQ(os::RegQueryBinary(key, "OutputTypes", &out), os::ERROR_SUCCESS);
    os::RegCloseKey(key);
    auto holds = [](const std::vector<os::BYTE>& pairs, const os::GUID& subtype) {
        for (std::size_t at = 0; at + 2 * sizeof(os::GUID) <= pairs.size(); at += 2 * sizeof(os::GUID)) {
            os::GUID major;
            os::GUID sub;
            std::memcpy(&major, &pairs[at], sizeof major);
            std::memcpy(&sub, &pairs[at + sizeof major], sizeof sub);
            if (major == os::MEDIATYPE_Video && sub == subtype) return true;
        }
        return false;
    };
    EXPECT_EQ(in.size() % 32, 0u);
    EXPECT_TRUE(holds(in, os::MEDIASUBTYPE_YVYU));
    EXPECT_TRUE(holds(in, os::MEDIASUBTYPE_UYVY));
    EXPECT_TRUE(holds(out, os::MEDIASUBTYPE_M4S2));
    auto exists = [](const char* path) {
        os::HKEY opened = nullptr;
        if (os::RegOpenKeyExW(os::HKEY_CLASSES_ROOT, path, 0, os::KEY_READ, &opened) != os::ERROR_SUCCESS) return false;
        os::RegCloseKey(opened);
        return true;
    };
    EXPECT_TRUE(exists(kDmoCategoryKey));

    CaptureGraph_Delete(m_);
    m_ = nullptr;
    for (const char* path : {kDmoServerKey, kDmoClassKey, kDmoCategoryKey, kDmoObjectKey}) {
        EXPECT_FALSE(exists(path)) << path;
    }
}

}  // namespace
