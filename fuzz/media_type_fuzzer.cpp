// The media type checks of the program's sink pins on any offered type. The
// input chooses the major type, subtype and format type (from the known ids
// or its own bytes), the sink's configured picture subtype, and the format
// block (its bytes and exact size; the block sits in its own allocation, so
// a read past it is caught by AddressSanitizer). Checked for every input:
// - a pin answers S_OK or VFW_E_TYPE_NOT_ACCEPTED, nothing else;
// - an accepted picture type is video of the configured subtype with a
//   whole VIDEOINFOHEADER, and the sink keeps that header with the source
//   and target bottoms and the bitmap height made positive, the rest as is;
// - an accepted sound type is PCM audio with a whole WAVEFORMATEX of tag 1,
//   8000 Hz and one channel, and the sink keeps those 18 bytes;
// - a refused type leaves what the sink kept before unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/check.h"
#include "platform/base/platform.h"
#include "recorder/null_render_filter.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    os::GUID Guid()
    {
        os::GUID id{};
        auto* bytes = reinterpret_cast<std::uint8_t*>(&id);
        for (std::size_t i = 0; i < sizeof id; ++i) bytes[i] = Byte();
        return id;
    }
    const std::uint8_t* Rest() const { return data_ + at_; }
    std::size_t RestSize() const { return size_ - at_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

os::GUID Pick(Input* in, std::initializer_list<os::GUID> known)
{
    const std::uint8_t choice = in->Byte();
    if (choice < known.size()) return known.begin()[choice];
    return choice == 0xFF ? in->Guid() : os::GUID_NULL;
}

os::LONG Magnitude(os::LONG v)
{
    return v < 0 ? -v : v;
}

bool SameVideo(const os::VIDEOINFOHEADER& a, const os::VIDEOINFOHEADER& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void CheckVideo(CNullRenderFilter* sink, const os::CMediaType& type, const os::GUID& configured)
{
    os::VIDEOINFOHEADER before{};
    const bool hadBefore = sink->ReadVideoFormat(&before);
    const os::HRESULT hr = sink->GetPin(0)->CheckMediaType(&type);
    FUZZ_CHECK(hr == os::S_OK || hr == os::VFW_E_TYPE_NOT_ACCEPTED);
    os::VIDEOINFOHEADER after{};
    const bool haveAfter = sink->ReadVideoFormat(&after);
    if (hr != os::S_OK) {
        FUZZ_CHECK(haveAfter == hadBefore);
        FUZZ_CHECK(!hadBefore || SameVideo(before, after));
        return;
    }
    FUZZ_CHECK(type.majortype == os::MEDIATYPE_Video);
    FUZZ_CHECK(type.subtype == configured);
    FUZZ_CHECK(type.formattype == os::FORMAT_VideoInfo);
    FUZZ_CHECK(type.pbFormat != nullptr && type.cbFormat >= sizeof(os::VIDEOINFOHEADER));
    FUZZ_CHECK(haveAfter);
    os::VIDEOINFOHEADER offered;
    std::memcpy(&offered, type.pbFormat, sizeof offered);
    FUZZ_CHECK(after.bmiHeader.biHeight >= 0 && after.bmiHeader.biHeight == Magnitude(offered.bmiHeader.biHeight));
    FUZZ_CHECK(after.rcSource.bottom >= 0 && after.rcSource.bottom == Magnitude(offered.rcSource.bottom));
    FUZZ_CHECK(after.rcTarget.bottom >= 0 && after.rcTarget.bottom == Magnitude(offered.rcTarget.bottom));
    offered.bmiHeader.biHeight = after.bmiHeader.biHeight;
    offered.rcSource.bottom = after.rcSource.bottom;
    offered.rcTarget.bottom = after.rcTarget.bottom;
    FUZZ_CHECK(SameVideo(offered, after));
}

void CheckAudio(CNullRenderFilter* sink, const os::CMediaType& type)
{
    os::WAVEFORMATEX before{};
    const bool hadBefore = sink->ReadAudioFormat(&before);
    const os::HRESULT hr = sink->GetPin(1)->CheckMediaType(&type);
    FUZZ_CHECK(hr == os::S_OK || hr == os::VFW_E_TYPE_NOT_ACCEPTED);
    os::WAVEFORMATEX after{};
    const bool haveAfter = sink->ReadAudioFormat(&after);
    if (hr != os::S_OK) {
        FUZZ_CHECK(haveAfter == hadBefore);
        FUZZ_CHECK(!hadBefore || std::memcmp(&before, &after, sizeof after) == 0);
        return;
    }
    FUZZ_CHECK(type.majortype == os::MEDIATYPE_Audio);
    FUZZ_CHECK(type.subtype == os::MEDIASUBTYPE_PCM);
    FUZZ_CHECK(type.formattype == os::FORMAT_WaveFormatEx);
    FUZZ_CHECK(type.pbFormat != nullptr && type.cbFormat >= sizeof(os::WAVEFORMATEX));
    FUZZ_CHECK(haveAfter);
    FUZZ_CHECK(std::memcmp(&after, type.pbFormat, sizeof after) == 0);
    FUZZ_CHECK(after.wFormatTag == os::WAVE_FORMAT_PCM && after.nSamplesPerSec == 8000 && after.nChannels == 1);
}

struct Sinks {
    os::ComPtr<CNullRenderFilter> yv12;
    os::ComPtr<CNullRenderFilter> rgb565;
};

Sinks* MakeSinks()
{
    os::ClockConfig clock;
    clock.mode = os::ClockMode::Virtual;
    os::sim::StartPlatform(clock);
    auto* sinks = new Sinks;
    os::HRESULT hr = os::S_OK;
    sinks->yv12 = os::ComPtr<CNullRenderFilter>(new CNullRenderFilter(nullptr, &hr, kNullRenderCapture));
    sinks->rgb565 = os::ComPtr<CNullRenderFilter>(new CNullRenderFilter(nullptr, &hr, kNullRenderCapture));
    FUZZ_CHECK(hr == os::S_OK);
    sinks->yv12->SetVideoSubtype(os::MEDIASUBTYPE_YV12);
    sinks->rgb565->SetVideoSubtype(os::MEDIASUBTYPE_RGB565);
    sinks->yv12->SetAudioSubtype(os::MEDIASUBTYPE_PCM);
    sinks->rgb565->SetAudioSubtype(os::MEDIASUBTYPE_PCM);
    return sinks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The sinks live for the whole run: what they kept carries from one input to the next.
    static Sinks* sinks = MakeSinks();
    Input in(data, size);
    os::CMediaType type;
    type.majortype = Pick(&in, {os::MEDIATYPE_Video, os::MEDIATYPE_Audio});
    type.subtype = Pick(&in, {os::MEDIASUBTYPE_YV12, os::MEDIASUBTYPE_RGB565, os::MEDIASUBTYPE_PCM,
                              os::MEDIASUBTYPE_IJPG, os::MEDIASUBTYPE_RGB24});
    type.formattype = Pick(&in, {os::FORMAT_VideoInfo, os::FORMAT_WaveFormatEx});
    const std::uint8_t shape = in.Byte();
    if (shape & 1) {
        // A record that claims a block it does not have.
        type.cbFormat = in.RestSize() + 1;
    } else {
        FUZZ_CHECK(type.SetFormat(in.RestSize() ? in.Rest() : nullptr, static_cast<os::ULONG>(in.RestSize())));
    }
    const bool rgb = (shape & 2) != 0;
    CNullRenderFilter* sink = rgb ? sinks->rgb565.Get() : sinks->yv12.Get();
    CheckVideo(sink, type, rgb ? os::MEDIASUBTYPE_RGB565 : os::MEDIASUBTYPE_YV12);
    CheckAudio(sink, type);
    return 0;
}
