#include "recorder/preview_frame.h"

#include <cstring>
#include <memory>
#include <utility>

extern "C" {
#include <libavutil/mem.h>
#include <libswscale/swscale.h>
}

#include "platform/graphics/graphics.h"

namespace {

struct AvFree {
    void operator()(std::uint8_t* p) const { av_free(p); }
};
using AlignedBytes = std::unique_ptr<std::uint8_t, AvFree>;

int AlignedStride(int bytes) { return (bytes + 63) / 64 * 64; }

}  // namespace

void PreviewFrame_Init(PreviewFrame* f)
{
    if (f->lockMade.load()) return;
    os::InitializeCriticalSection(&f->lock);
    f->lockMade.store(true);
}

void PreviewFrame_Release(PreviewFrame* f)
{
    if (!f->lockMade.load()) return;
    f->lockMade.store(false);
    os::DeleteCriticalSection(&f->lock);
    sws_freeContext(f->scaler);
    f->scaler = nullptr;
    f->pixels = {};
    f->scratch = {};
    f->width = f->height = 0;
    f->present = false;
    f->still = {};
    f->stillWidth = f->stillHeight = 0;
    f->stillShown = false;
}

void PreviewFrame_Forget(PreviewFrame* f)
{
    if (!f->lockMade.load()) return;
    os::EnterCriticalSection(&f->lock);
    f->present = false;
    os::LeaveCriticalSection(&f->lock);
}

bool PreviewFrame_Put(PreviewFrame* f, const std::uint8_t* data, long length, int width, int height, bool rgb565)
{
    if (!f->lockMade.load() || data == nullptr || width <= 0 || height <= 0 || width % 2 != 0 || height % 2 != 0 ||
        width > os::kMaxBitmapSide || height > os::kMaxBitmapSide) {
        return false;
    }
    const long pixels = static_cast<long>(width) * height;
    if (length < (rgb565 ? pixels * 2 : pixels * 3 / 2)) return false;
    os::EnterCriticalSection(&f->lock);
    const bool lastUntaken = f->present && f->liveSerial != f->takenSerial;
    os::LeaveCriticalSection(&f->lock);
    if (lastUntaken) return true;
    f->scratch.resize(static_cast<std::size_t>(pixels));
    if (rgb565) {
        std::memcpy(f->scratch.data(), data, static_cast<std::size_t>(pixels) * 2);
    } else {
        f->scaler = sws_getCachedContext(f->scaler, width, height, AV_PIX_FMT_YUV420P, width, height,
                                         AV_PIX_FMT_RGB565LE, SWS_POINT, nullptr, nullptr, nullptr);
        if (f->scaler == nullptr) return false;
        // YV12 keeps V before U: the planes go in the order the scaler reads them.
        const std::uint8_t* planes[3] = {data, data + pixels + pixels / 4, data + pixels};
        const int strides[3] = {width, width / 2, width / 2};
        std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(f->scratch.data())};
        const int outStrides[1] = {width * 2};
        sws_scale(f->scaler, planes, strides, 0, height, out, outStrides);
    }
    os::EnterCriticalSection(&f->lock);
    std::swap(f->pixels, f->scratch);
    f->width = width;
    f->height = height;
    if (++f->serial == 0) f->serial = 1;
    f->liveSerial = f->serial;
    f->present = true;
    os::LeaveCriticalSection(&f->lock);
    return true;
}

bool PreviewFrame_ShowStill(PreviewFrame* f, const std::uint8_t* rgb, int width, int height, int showWidth,
                            int showHeight, os::DWORD ms)
{
    if (!f->lockMade.load() || rgb == nullptr || width <= 0 || height <= 0 || width > os::kMaxBitmapSide ||
        height > os::kMaxBitmapSide || showWidth <= 0 || showHeight <= 0 || showWidth > os::kMaxBitmapSide ||
        showHeight > os::kMaxBitmapSide) {
        return false;
    }
    // Stills are rare and come on their own thread: a scaler of their own, made for each.
    SwsContext* scaler = sws_getContext(width, height, AV_PIX_FMT_RGB24, showWidth, showHeight, AV_PIX_FMT_RGB565LE,
                                        SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (scaler == nullptr) return false;
    // The scaler's vector code reads and writes whole blocks past the end of
    // a row: both pictures go through rows aligned to 64 bytes, with a spare row.
    const int inStride = AlignedStride(width * 3);
    const int outStride = AlignedStride(showWidth * 2);
    AlignedBytes in(static_cast<std::uint8_t*>(av_mallocz(static_cast<std::size_t>(inStride) * (height + 1))));
    AlignedBytes out(static_cast<std::uint8_t*>(av_mallocz(static_cast<std::size_t>(outStride) * (showHeight + 1))));
    if (in == nullptr || out == nullptr) {
        sws_freeContext(scaler);
        return false;
    }
    for (int y = 0; y < height; ++y) {
        std::memcpy(in.get() + static_cast<std::size_t>(y) * inStride, rgb + static_cast<std::size_t>(y) * width * 3,
                    static_cast<std::size_t>(width) * 3);
    }
    const std::uint8_t* planes[1] = {in.get()};
    const int strides[1] = {inStride};
    std::uint8_t* outPlanes[1] = {out.get()};
    const int outStrides[1] = {outStride};
    sws_scale(scaler, planes, strides, 0, height, outPlanes, outStrides);
    sws_freeContext(scaler);
    std::vector<std::uint16_t> shown(static_cast<std::size_t>(showWidth) * showHeight);
    for (int y = 0; y < showHeight; ++y) {
        std::memcpy(shown.data() + static_cast<std::size_t>(y) * showWidth,
                    out.get() + static_cast<std::size_t>(y) * outStride, static_cast<std::size_t>(showWidth) * 2);
    }
    os::EnterCriticalSection(&f->lock);
    std::swap(f->still, shown);
    f->stillWidth = showWidth;
    f->stillHeight = showHeight;
    if (++f->serial == 0) f->serial = 1;
    f->stillSerial = f->serial;
    f->stillShown = true;
    f->stillStart = os::GetTickCount();
    f->stillMs = ms;
    os::LeaveCriticalSection(&f->lock);
    return true;
}
