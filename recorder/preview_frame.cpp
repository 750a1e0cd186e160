#include "recorder/preview_frame.h"

#include <cstring>
#include <utility>

extern "C" {
#include <libswscale/swscale.h>
}

#include "platform/graphics/graphics.h"

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
    std::vector<std::uint16_t> shown(static_cast<std::size_t>(showWidth) * showHeight);
    const std::uint8_t* planes[1] = {rgb};
    const int strides[1] = {width * 3};
    std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(shown.data())};
    const int outStrides[1] = {showWidth * 2};
    sws_scale(scaler, planes, strides, 0, height, out, outStrides);
    sws_freeContext(scaler);
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
