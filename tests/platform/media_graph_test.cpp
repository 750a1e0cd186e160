// The media framework end to end in virtual time: the camera and the
// microphone through a capture graph into renderers of the test's own, with
// stream control, a Smart Tee for the preview, stalls and stills.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/devices/device.h"
#include "platform/files/file_sim.h"
#include "platform/kernel/clock.h"
#include "platform/media/base_classes.h"
#include "platform/media/capture_index.h"
#include "platform/media/media_sim.h"
#include "platform/media/smi_camera.h"
#include "tests/support/device_file.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace os;

struct Received {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    long bytes = 0;
    std::int64_t index = -1;  // the capture index of a picture
};

class RecordingSink;

class RecordingPin final : public CRenderedInputPin {
public:
    RecordingPin(RecordingSink* sink, CCritSec* lock, const char* name, GUID major, GUID subtype);
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return type->majortype == major_ && type->subtype == subtype_ ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(IMediaSample* sample) override;
    // From the n-th sample on the pin answers S_FALSE: deliver no more.
    void RefuseFrom(std::size_t n) { refuseFrom_ = n; }
    std::vector<Received> Samples()
    {
        std::lock_guard lk(mu_);
        return samples_;
    }

private:
    GUID major_;
    GUID subtype_;
    std::atomic<std::size_t> refuseFrom_{SIZE_MAX};
    std::mutex mu_;
    std::vector<Received> samples_;
};

class RecordingSink final : public CBaseFilter {
public:
    RecordingSink(GUID videoSubtype, bool withAudio)
        : CBaseFilter("Recording sink", nullptr, &lock_, GUID_NULL),
          video_(this, &lock_, "VideoIn", MEDIATYPE_Video, videoSubtype),
          audio_(this, &lock_, "AudioIn", MEDIATYPE_Audio, MEDIASUBTYPE_PCM),
          withAudio_(withAudio)
    {
    }
    DECLARE_IUNKNOWN
    int GetPinCount() override { return withAudio_ ? 2 : 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &video_ : n == 1 && withAudio_ ? &audio_ : nullptr; }
    RecordingPin& Video() { return video_; }
    RecordingPin& Audio() { return audio_; }

private:
    CCritSec lock_;
    RecordingPin video_;
    RecordingPin audio_;
    bool withAudio_;
};

RecordingPin::RecordingPin(RecordingSink* sink, CCritSec* lock, const char* name, GUID major, GUID subtype)
    : CRenderedInputPin(name, sink, lock, nullptr, name), major_(major), subtype_(subtype)
{
}

HRESULT RecordingPin::Receive(IMediaSample* sample)
{
    const HRESULT hr = CRenderedInputPin::Receive(sample);
    if (hr != S_OK) return hr;
    Received r;
    sample->GetTime(&r.start, &r.stop);
    r.bytes = sample->GetActualDataLength();
    if (major_ == MEDIATYPE_Video && subtype_ == MEDIASUBTYPE_YV12) {
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        if (auto index = ReadCaptureIndex(data, 320, 240, 320)) r.index = *index;
    }
    std::lock_guard lk(mu_);
    samples_.push_back(r);
    return samples_.size() >= refuseFrom_ ? S_FALSE : S_OK;
}

template <class T>
ComPtr<T> Create(REFCLSID clsid, REFIID iid)
{
    ComPtr<T> p;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC, iid, p.OutVoid()), S_OK);
    return p;
}

template <class T>
ComPtr<T> Query(IUnknown* from, REFIID iid)
{
    ComPtr<T> p;
    from->QueryInterface(iid, p.OutVoid());
    return p;
}

struct Event {
    LONG code;
    LONG_PTR param2;
};

// Everything the graph reported so far.
std::vector<Event> DrainEvents(IMediaEventEx* events)
{
    std::vector<Event> out;
    LONG code;
    LONG_PTR p1, p2;
    while (events->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        out.push_back({code, p2});
        events->FreeEventParams(code, p1, p2);
    }
    return out;
}

int Count(const std::vector<Event>& events, LONG code)
{
    int n = 0;
    for (const Event& e : events) n += e.code == code;
    return n;
}

class MediaGraphTest : public testing_support::PlatformTest {
protected:
    // Camera and microphone into a capture sink, the camera's preview into
    // a preview sink through a Smart Tee.
    void Build()
    {
        graph_ = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
        builder_ = Create<ICaptureGraphBuilder2>(CLSID_CaptureGraphBuilder, IID_ICaptureGraphBuilder2);
        ASSERT_EQ(builder_->SetFiltergraph(graph_.Get()), S_OK);
        ASSERT_EQ(SmiCameraOpen(0, &cameraHandle_, camera_.Out()), S_OK);
        ASSERT_EQ(graph_->AddFilter(camera_.Get(), "Video Capture"), S_OK);
        mic_ = Create<IBaseFilter>(CLSID_AudioCapture, IID_IBaseFilter);
        ASSERT_EQ(Query<IPersistPropertyBag>(mic_.Get(), IID_IPersistPropertyBag)->Load(nullptr, nullptr), S_OK);
        ASSERT_EQ(graph_->AddFilter(mic_.Get(), "Audio Capture Filter"), S_OK);
        capture_ = new RecordingSink(MEDIASUBTYPE_YV12, true);
        ASSERT_EQ(graph_->AddFilter(capture_.Get(), "FileMux Filter"), S_OK);
        preview_ = new RecordingSink(MEDIASUBTYPE_RGB565, false);
        ASSERT_EQ(graph_->AddFilter(preview_.Get(), "NullRender Filter"), S_OK);
        ASSERT_EQ(builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Video, camera_.Get(), nullptr, capture_.Get()), S_OK);
        ASSERT_EQ(builder_->RenderStream(&PIN_CATEGORY_PREVIEW, &MEDIATYPE_Video, camera_.Get(), nullptr, preview_.Get()), S_OK);
        ASSERT_EQ(builder_->RenderStream(&PIN_CATEGORY_CAPTURE, &MEDIATYPE_Audio, mic_.Get(), nullptr, capture_.Get()), S_OK);
        events_ = Query<IMediaEventEx>(graph_.Get(), IID_IMediaEventEx);
        control_ = Query<IMediaControl>(graph_.Get(), IID_IMediaControl);
    }

    void ControlCapture(const REFERENCE_TIME* start, const REFERENCE_TIME* stop)
    {
        ASSERT_EQ(builder_->ControlStream(&PIN_CATEGORY_CAPTURE, nullptr, nullptr, start, stop, 1, 2), S_OK);
    }

    void TearDown() override
    {
        if (control_) control_->Stop();
        control_.Reset();
        events_.Reset();
        builder_.Reset();
        graph_.Reset();  // the graph breaks the connections, so every filter goes
        capture_.Reset();
        preview_.Reset();
        mic_.Reset();
        camera_.Reset();
        if (cameraHandle_) SmiCameraClose(cameraHandle_);
        PlatformTest::TearDown();
    }

    static constexpr REFERENCE_TIME kNever = MAXLONGLONG;
    ComPtr<IGraphBuilder> graph_;
    ComPtr<ICaptureGraphBuilder2> builder_;
    ComPtr<IBaseFilter> camera_;
    ComPtr<IBaseFilter> mic_;
    ComPtr<RecordingSink> capture_;
    ComPtr<RecordingSink> preview_;
    ComPtr<IMediaEventEx> events_;
    ComPtr<IMediaControl> control_;
    SMI_CAMERA_HANDLE cameraHandle_ = 0;
};

// Samples of one stream follow each other without gap or overlap.
void ExpectContiguous(const std::vector<Received>& samples, REFERENCE_TIME period)
{
    for (std::size_t i = 1; i < samples.size(); ++i) {
        ASSERT_EQ(samples[i].start, samples[i - 1].stop) << "sample " << i;
        ASSERT_NEAR(static_cast<double>(samples[i].stop - samples[i].start), static_cast<double>(period), 1.0);
    }
}

TEST_F(MediaGraphTest, StreamControlGatesTheCaptureWhileThePreviewRuns)
{
    Build();
    ControlCapture(&kNever, nullptr);
    ASSERT_EQ(control_->Run(), S_OK);
    Sleep(1000);
    EXPECT_TRUE(capture_->Video().Samples().empty());
    EXPECT_TRUE(capture_->Audio().Samples().empty());
    EXPECT_GE(preview_->Video().Samples().size(), 29u) << "the preview runs while the capture is held back";
    EXPECT_EQ(preview_->Video().Samples().front().bytes, 320 * 240 * 2) << "RGB565 for the preview renderer";
    DrainEvents(events_.Get());

    ControlCapture(nullptr, &kNever);
    Sleep(2000);
    ControlCapture(&kNever, nullptr);
    Sleep(300);
    const auto events = DrainEvents(events_.Get());
    EXPECT_EQ(Count(events, EC_STREAM_CONTROL_STARTED), 2) << "one per stream";
    EXPECT_EQ(Count(events, EC_STREAM_CONTROL_STOPPED), 2) << "one per stream";
    const auto video = capture_->Video().Samples();
    const auto audio = capture_->Audio().Samples();
    Sleep(1000);
    EXPECT_EQ(capture_->Video().Samples().size(), video.size()) << "nothing after the stop";

    // Two seconds of 30 pictures and ten 100 ms sound buffers per second,
    // stamped from their index so that nothing drifts.
    EXPECT_NEAR(static_cast<double>(video.size()), 60.0, 2.0);
    EXPECT_NEAR(static_cast<double>(audio.size()), 20.0, 1.0);
    ExpectContiguous(video, 10000000 / 30);
    ExpectContiguous(audio, 1000000);
    for (const Received& a : audio) EXPECT_EQ(a.bytes, 1600);
    for (std::size_t i = 0; i < video.size(); ++i) {
        EXPECT_EQ(video[i].bytes, 320 * 240 * 3 / 2);
        ASSERT_EQ(video[i].index, video[0].index + static_cast<std::int64_t>(i)) << "frame " << i;
        // Slot k of the run starts at k / 30 s: the index and the time agree.
        EXPECT_EQ(video[i].start, video[i].index * 10000000LL / 30);
    }
}

// A receiver that asks to stop gets nothing more until the graph runs
// again; the other streams, the preview among them, go on.
TEST_F(MediaGraphTest, AReceiverThatRefusesStopsOnlyItsOwnStream)
{
    Build();
    capture_->Video().RefuseFrom(10);
    capture_->Audio().RefuseFrom(3);
    ControlCapture(nullptr, &kNever);
    ASSERT_EQ(control_->Run(), S_OK);
    Sleep(2000);
    EXPECT_EQ(capture_->Video().Samples().size(), 10u);
    EXPECT_EQ(capture_->Audio().Samples().size(), 3u);
    EXPECT_GE(preview_->Video().Samples().size(), 59u);
    ASSERT_EQ(control_->Stop(), S_OK);
    capture_->Video().RefuseFrom(SIZE_MAX);
    capture_->Audio().RefuseFrom(SIZE_MAX);
    ASSERT_EQ(control_->Run(), S_OK);
    Sleep(1000);
    EXPECT_GE(capture_->Video().Samples().size(), 39u) << "a new run delivers again";
    EXPECT_GE(capture_->Audio().Samples().size(), 12u);
}

TEST_F(MediaGraphTest, StallsLoseSamplesButTheStreamsGoOn)
{
    Build();
    ControlCapture(nullptr, &kNever);
    ASSERT_EQ(control_->Run(), S_OK);
    Sleep(1000);
    sim::StallCamera(500000);
    sim::StallMicrophone(2000000);
    Sleep(3000);
    const auto video = capture_->Video().Samples();
    const auto audio = capture_->Audio().Samples();
    ASSERT_GT(video.size(), 60u);
    int gaps = 0;
    std::int64_t lost = 0;
    for (std::size_t i = 1; i < video.size(); ++i) {
        const std::int64_t step = video[i].index - video[i - 1].index;
        ASSERT_GE(step, 1);
        if (step > 1) ++gaps, lost += step - 1;
        EXPECT_EQ(video[i].start, video[i].index * 10000000LL / 30) << "times follow the slots, lost ones included";
    }
    EXPECT_EQ(gaps, 1);
    EXPECT_NEAR(static_cast<double>(lost), 15.0, 1.0);
    ASSERT_GT(audio.size(), 15u);
    EXPECT_GT(audio.back().start, 35000000) << "the microphone delivers again after its stall";
}

// The still written, waited for through the graph's events; its result.
HRESULT WaitForStill(IMediaEventEx* events)
{
    LONG code = 0;
    LONG_PTR p1 = 0, p2 = 0;
    HRESULT written = E_ABORT;
    while (code != EC_CAP_FILE_COMPLETED) {
        if (events->GetEvent(&code, &p1, &p2, 3000) != S_OK) return E_ABORT;
        if (code == EC_CAP_FILE_COMPLETED) written = static_cast<HRESULT>(p1);
        events->FreeEventParams(code, p1, p2);
    }
    return written;
}

void ExpectJpeg(const std::string& jpeg)
{
    ASSERT_GT(jpeg.size(), 1000u);
    EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
}

// Stills through the image encoder, and from a camera that gives JPEG itself.
TEST_F(MediaGraphTest, AStillTriggerWritesAJpegAndReportsIt)
{
    testing_support::TempFolder root;
    sim::FileSystemConfig files;
    files.deviceRoot = root.Path();
    std::string error;
    ASSERT_TRUE(sim::ConfigureFileSystem(files, &error)) << error;
    Build();
    auto encoder = Create<IBaseFilter>(CLSID_ImageEncoder, IID_IBaseFilter);
    auto sink = Create<IBaseFilter>(CLSID_IMGSinkFilter, IID_IBaseFilter);
    ASSERT_EQ(graph_->AddFilter(encoder.Get(), "Image Encoder"), S_OK);
    ASSERT_EQ(graph_->AddFilter(sink.Get(), "Image Sink"), S_OK);
    ASSERT_EQ(builder_->RenderStream(&PIN_CATEGORY_STILL, &MEDIATYPE_Video, camera_.Get(), encoder.Get(), sink.Get()), S_OK);
    auto fileSink = Query<IFileSinkFilter>(sink.Get(), IID_IFileSinkFilter);
    ASSERT_EQ(fileSink->SetFileName("\\still.jpg", nullptr), S_OK);
    ControlCapture(&kNever, nullptr);
    ComPtr<IPin> still;
    ASSERT_EQ(builder_->FindPin(camera_.Get(), PINDIR_OUTPUT, &PIN_CATEGORY_STILL, &MEDIATYPE_Video, FALSE, 0, still.Out()), S_OK);
    auto video = Query<IAMVideoControl>(camera_.Get(), IID_IAMVideoControl);
    EXPECT_EQ(video->SetMode(still.Get(), VideoControlFlag_Trigger), VFW_E_WRONG_STATE) << "a stopped camera takes no still";
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_EQ(video->SetMode(still.Get(), VideoControlFlag_Trigger), S_OK);
    EXPECT_EQ(WaitForStill(events_.Get()), S_OK);
    ExpectJpeg(testing_support::ReadDeviceFile("\\still.jpg"));

    // The camera's own JPEG straight into the sink, at another size.
    ASSERT_EQ(control_->Stop(), S_OK);
    ComPtr<IPin> encoderIn, sinkIn;
    ASSERT_EQ(encoder->FindPin("In", encoderIn.Out()), S_OK);
    ASSERT_EQ(sink->FindPin("ImageSink Input Pin", sinkIn.Out()), S_OK);
    ComPtr<IPin> encoderOut;
    ASSERT_EQ(encoder->FindPin("Out", encoderOut.Out()), S_OK);
    for (IPin* pin : {still.Get(), encoderIn.Get(), encoderOut.Get(), sinkIn.Get()}) ASSERT_EQ(graph_->Disconnect(pin), S_OK);
    CMediaType jpeg = VideoMediaType(MEDIASUBTYPE_IJPG, 320, 240, 0);
    ASSERT_EQ(Query<IAMStreamConfig>(still.Get(), IID_IAMStreamConfig)->SetFormat(&jpeg), S_OK);
    ASSERT_EQ(graph_->ConnectDirect(still.Get(), sinkIn.Get(), nullptr), S_OK);
    ASSERT_EQ(fileSink->SetFileName("\\camera.jpg", nullptr), S_OK);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_EQ(video->SetMode(still.Get(), VideoControlFlag_Trigger), S_OK);
    EXPECT_EQ(WaitForStill(events_.Get()), S_OK);
    ExpectJpeg(testing_support::ReadDeviceFile("\\camera.jpg"));
}

TEST_F(MediaGraphTest, TheModelSetsTheFrameRateAndTheProfileCanRefuseTheCamera)
{
    sim::DeviceProfile device = sim::CurrentDeviceProfile();
    device.oemInfo = "SGH-i900";
    ASSERT_TRUE(sim::ConfigureDevice(device));
    Build();
    ControlCapture(nullptr, &kNever);
    ASSERT_EQ(control_->Run(), S_OK);
    Sleep(2000);
    const auto video = capture_->Video().Samples();
    EXPECT_NEAR(static_cast<double>(video.size()), 48.0, 2.0);
    ExpectContiguous(video, 10000000 / 24);
    control_->Stop();

    sim::MediaFaults faults;
    faults.cameraOpenError = static_cast<LONG>(0x80070037u);
    ASSERT_TRUE(sim::SetMediaFaults(faults));
    SMI_CAMERA_HANDLE handle = 0;
    ComPtr<IBaseFilter> second;
    SmiCameraClose(cameraHandle_);
    cameraHandle_ = 0;
    EXPECT_EQ(SmiCameraOpen(0, &handle, second.Out()), static_cast<HRESULT>(0x80070037u));
    EXPECT_FALSE(second);
}

}  // namespace
