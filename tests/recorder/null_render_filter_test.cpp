// The program's sink filter on its own: which media types its pins take,
// what it keeps of them, and how samples reach the callback.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/media/base_classes.h"
#include "recorder/null_render_filter.h"
#include "tests/support/platform_fixture.h"

namespace {

using testing_support::PlatformTest;

os::CMediaType VideoType(const os::GUID& subtype, os::LONG width, os::LONG height)
{
    os::CMediaType type;
    type.majortype = os::MEDIATYPE_Video;
    type.subtype = subtype;
    type.formattype = os::FORMAT_VideoInfo;
    os::VIDEOINFOHEADER header{};
    header.rcSource = os::RECT{0, 0, width, height};
    header.rcTarget = os::RECT{0, 0, width, height};
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biBitCount = static_cast<os::WORD>(os::BitsPerPixel(subtype));
    EXPECT_TRUE(type.SetFormat(&header, sizeof header));
    return type;
}

os::CMediaType SoundType(os::WORD tag, os::DWORD rate, os::WORD channels)
{
    os::CMediaType type;
    type.majortype = os::MEDIATYPE_Audio;
    type.subtype = os::MEDIASUBTYPE_PCM;
    type.formattype = os::FORMAT_WaveFormatEx;
    os::WAVEFORMATEX wave{};
    wave.wFormatTag = tag;
    wave.nChannels = channels;
    wave.nSamplesPerSec = rate;
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<os::WORD>(2 * channels);
    wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
    EXPECT_TRUE(type.SetFormat(&wave, sizeof wave));
    return type;
}

// A filter made as the graph manager makes it, with one reference.
os::ComPtr<CNullRenderFilter> MakeSink(int mode, const os::GUID& videoSubtype)
{
    os::HRESULT hr = os::S_OK;
    os::ComPtr<CNullRenderFilter> sink(new CNullRenderFilter(nullptr, &hr, mode));
    EXPECT_EQ(hr, os::S_OK);
    sink->SetVideoSubtype(videoSubtype);
    sink->SetAudioSubtype(os::MEDIASUBTYPE_PCM);
    return sink;
}

struct Delivered {
    std::vector<os::BYTE> data;
    int kind = -1;
    os::REFERENCE_TIME start = 0;
    os::REFERENCE_TIME stop = 0;
    os::HWND context = nullptr;
    int calls = 0;
};
Delivered g_delivered;
int g_answer = 0;

int Collect(const os::BYTE* data, os::LONG length, int kind, os::REFERENCE_TIME start, os::REFERENCE_TIME stop,
            os::HWND context)
{
    g_delivered.data.assign(data, data + length);
    g_delivered.kind = kind;
    g_delivered.start = start;
    g_delivered.stop = stop;
    g_delivered.context = context;
    ++g_delivered.calls;
    return g_answer;
}

struct PositionLog final : SamplePositionObserver {
    int times = 0;
    int ends = 0;
    int resets = 0;
    void MediaTime(os::LONGLONG, os::LONGLONG) override { ++times; }
    void EndOfStream() override { ++ends; }
    void Reset() override { ++resets; }
};

os::ComPtr<os::CMediaSample> Sample(const std::vector<os::BYTE>& bytes, os::REFERENCE_TIME start,
                                    os::REFERENCE_TIME stop)
{
    os::ComPtr<os::CMediaSample> sample(new os::CMediaSample(bytes.size()));
    os::BYTE* buffer = nullptr;
    EXPECT_EQ(sample->GetPointer(&buffer), os::S_OK);
    std::memcpy(buffer, bytes.data(), bytes.size());
    sample->SetActualDataLength(static_cast<long>(bytes.size()));
    sample->SetTime(&start, &stop);
    return sample;
}

class NullRenderFilterTest : public PlatformTest {};

TEST_F(NullRenderFilterTest, PinsAndModes)
{
    auto preview = MakeSink(kNullRenderPreview, os::MEDIASUBTYPE_RGB565);
    auto capture = MakeSink(kNullRenderCapture, os::MEDIASUBTYPE_YV12);
    ASSERT_EQ(preview->GetPinCount(), 1);
    ASSERT_EQ(capture->GetPinCount(), 2);
    EXPECT_EQ(preview->GetPin(0)->PinName(), "VideoIn");
    EXPECT_EQ(capture->GetPin(0)->PinName(), "VideoIn");
    EXPECT_EQ(capture->GetPin(1)->PinName(), "AudioIn");
    os::ComPtr<os::IFileSinkFilter> fileSink;
    EXPECT_EQ(capture->QueryInterface(os::IID_IFileSinkFilter, fileSink.OutVoid()), os::S_OK);
    EXPECT_EQ(fileSink->SetFileName("\\nowhere\\file.avi", nullptr), os::S_OK);
    os::HRESULT hr = os::S_OK;
    os::ComPtr<CNullRenderFilter> odd(new CNullRenderFilter(nullptr, &hr, 3));
    EXPECT_EQ(hr, os::E_INVALIDARG);
}

TEST_F(NullRenderFilterTest, VideoPinTakesOnlyItsSubtypeWithAReadableBlockAndStoresHeightsPositive)
{
    auto rgb = MakeSink(kNullRenderPreview, os::MEDIASUBTYPE_RGB565);
    auto yv12 = MakeSink(kNullRenderPreview, os::MEDIASUBTYPE_YV12);
    const os::CMediaType rgbType = VideoType(os::MEDIASUBTYPE_RGB565, 400, -240);
    const os::CMediaType yv12Type = VideoType(os::MEDIASUBTYPE_YV12, 320, 240);
    EXPECT_EQ(rgb->GetPin(0)->CheckMediaType(&yv12Type), os::VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(yv12->GetPin(0)->CheckMediaType(&rgbType), os::VFW_E_TYPE_NOT_ACCEPTED);
    os::VIDEOINFOHEADER stored{};
    EXPECT_FALSE(rgb->ReadVideoFormat(&stored));

    // A top-down picture: every height the sink keeps is positive.
    os::CMediaType topDown = rgbType;
    os::VIDEOINFOHEADER header;
    std::memcpy(&header, topDown.pbFormat, sizeof header);
    header.rcSource.bottom = -240;
    header.rcTarget.bottom = -240;
    ASSERT_TRUE(topDown.SetFormat(&header, sizeof header));
    ASSERT_EQ(rgb->GetPin(0)->CheckMediaType(&topDown), os::S_OK);
    ASSERT_TRUE(rgb->ReadVideoFormat(&stored));
    EXPECT_EQ(stored.bmiHeader.biHeight, 240);
    EXPECT_EQ(stored.rcSource.bottom, 240);
    EXPECT_EQ(stored.rcTarget.bottom, 240);
    EXPECT_EQ(stored.bmiHeader.biWidth, 400);
    EXPECT_EQ(stored.bmiHeader.biBitCount, 16);
    EXPECT_EQ(yv12->GetPin(0)->CheckMediaType(&yv12Type), os::S_OK);

    // Blocks that are short, of another format type, missing, or hold a
    // height no picture has are refused and change nothing kept.
    os::CMediaType shortBlock = yv12Type;
    ASSERT_TRUE(shortBlock.SetFormat(yv12Type.pbFormat, sizeof(os::VIDEOINFOHEADER) - 1));
    os::CMediaType otherFormat = yv12Type;
    otherFormat.formattype = os::FORMAT_WaveFormatEx;
    os::CMediaType noBlock = yv12Type;
    noBlock.SetFormat(nullptr, 0);
    os::CMediaType hugeHeight = VideoType(os::MEDIASUBTYPE_YV12, 64, INT32_MIN);
    os::CMediaType sound = SoundType(os::WAVE_FORMAT_PCM, 8000, 1);
    for (const os::CMediaType* bad : std::initializer_list<const os::CMediaType*>{&shortBlock, &otherFormat, &noBlock, &hugeHeight, &sound}) {
        EXPECT_EQ(yv12->GetPin(0)->CheckMediaType(bad), os::VFW_E_TYPE_NOT_ACCEPTED);
    }
    ASSERT_TRUE(yv12->ReadVideoFormat(&stored));
    EXPECT_EQ(stored.bmiHeader.biWidth, 320);
    EXPECT_EQ(stored.bmiHeader.biHeight, 240);
}

TEST_F(NullRenderFilterTest, AudioPinTakesOnlyPcmAt8000HzMono)
{
    auto sink = MakeSink(kNullRenderCapture, os::MEDIASUBTYPE_YV12);
    os::CBasePin* audio = sink->GetPin(1);
    const os::CMediaType fast = SoundType(os::WAVE_FORMAT_PCM, 11025, 1);
    const os::CMediaType stereo = SoundType(os::WAVE_FORMAT_PCM, 8000, 2);
    const os::CMediaType notPcm = SoundType(3, 8000, 1);
    os::CMediaType shortBlock = SoundType(os::WAVE_FORMAT_PCM, 8000, 1);
    os::BYTE head[14];
    std::memcpy(head, shortBlock.pbFormat, sizeof head);
    ASSERT_TRUE(shortBlock.SetFormat(head, sizeof head));
    os::CMediaType otherSubtype = SoundType(os::WAVE_FORMAT_PCM, 8000, 1);
    otherSubtype.subtype = os::MEDIASUBTYPE_YV12;
    for (const os::CMediaType* bad : std::initializer_list<const os::CMediaType*>{&fast, &stereo, &notPcm, &shortBlock, &otherSubtype}) {
        EXPECT_EQ(audio->CheckMediaType(bad), os::VFW_E_TYPE_NOT_ACCEPTED);
    }
    os::WAVEFORMATEX stored{};
    EXPECT_FALSE(sink->ReadAudioFormat(&stored));
    const os::CMediaType good = SoundType(os::WAVE_FORMAT_PCM, 8000, 1);
    ASSERT_EQ(audio->CheckMediaType(&good), os::S_OK);
    ASSERT_TRUE(sink->ReadAudioFormat(&stored));
    EXPECT_EQ(std::memcmp(&stored, good.pbFormat, sizeof stored), 0);
}

TEST_F(NullRenderFilterTest, SamplesReachTheCallbackWhoseAnswerIsTheResult)
{
    auto sink = MakeSink(kNullRenderCapture, os::MEDIASUBTYPE_YV12);
    PositionLog position;
    sink->SetPositionObserver(&position);
    os::ComPtr<os::IMemInputPin> video;
    os::ComPtr<os::IMemInputPin> audio;
    ASSERT_EQ(sink->GetPin(0)->QueryInterface(os::IID_IMemInputPin, video.OutVoid()), os::S_OK);
    ASSERT_EQ(sink->GetPin(1)->QueryInterface(os::IID_IMemInputPin, audio.OutVoid()), os::S_OK);
    EXPECT_EQ(video->ReceiveCanBlock(), os::S_FALSE);
    ASSERT_EQ(sink->Run(0), os::S_OK);

    // Without a callback a sample is taken and dropped.
    g_delivered = Delivered{};
    EXPECT_EQ(video->Receive(Sample({1, 2, 3}, 0, 333333).Get()), os::S_OK);
    EXPECT_EQ(g_delivered.calls, 0);

    const auto window = reinterpret_cast<os::HWND>(static_cast<std::uintptr_t>(0x1234));
    sink->SetSampleCallback(Collect, window);
    g_answer = 0;
    EXPECT_EQ(audio->Receive(Sample({9, 8, 7, 6}, 1250000, 1255000).Get()), os::S_OK);
    EXPECT_EQ(g_delivered.data, (std::vector<os::BYTE>{9, 8, 7, 6}));
    EXPECT_EQ(g_delivered.kind, kSampleAudio);
    EXPECT_EQ(g_delivered.start, 1250000);
    EXPECT_EQ(g_delivered.stop, 1255000);
    EXPECT_EQ(g_delivered.context, window);
    g_answer = 1;
    EXPECT_EQ(video->Receive(Sample({5}, 333333, 666666).Get()), 1);
    EXPECT_EQ(g_delivered.kind, kSampleVideo);
    EXPECT_EQ(g_delivered.calls, 2);

    os::ComPtr<os::IPin> pin(sink->GetPin(0));
    pin->EndOfStream();
    EXPECT_EQ(position.ends, 1);
    ASSERT_EQ(sink->Stop(), os::S_OK);
    EXPECT_EQ(position.resets, 1);
    // A stopped sink takes no samples.
    EXPECT_NE(video->Receive(Sample({5}, 666666, 999999).Get()), os::S_OK);
    EXPECT_EQ(g_delivered.calls, 2);
    sink->SetPositionObserver(nullptr);
}

}  // namespace
