// The live preview's latest picture, handed from the preview sink's
// streaming thread to the main screen. The sink's callback converts a
// picture to the screen's format (16-bit 5-6-5, rows top first) outside any
// lock, then swaps it in under the frame's own small lock; the screen copies
// it out under the same lock when it paints. A picture arriving while the
// last one has not been taken yet is dropped unconverted: a screen that
// paints slower than the camera, or not at all, costs no conversions, and
// shows a picture at most one camera interval older than the newest. Nothing waits and nothing
// else is locked under the frame lock; a paint takes it after the screen lock.
//
// A still the camera made itself may be shown in place of the live picture
// for a while (PreviewFrame_ShowStill, on the still's streaming thread); the
// live pictures keep coming in meanwhile and are shown again after it.
//
// PreviewFrame_Init runs before the graph is built and PreviewFrame_Release
// after the graph (with its streaming threads) is gone; the reader works
// only in between and sees nothing otherwise.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/base/types.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"

struct SwsContext;

struct PreviewFrame {
    os::CRITICAL_SECTION lock{};
    std::atomic<bool> lockMade{false};
    // Under the lock.
    std::vector<std::uint16_t> pixels;
    int width = 0;
    int height = 0;
    std::uint32_t serial = 0;      // counts the pictures and stills taken in; never 0 once one came
    std::uint32_t liveSerial = 0;  // the live picture's
    bool present = false;          // a live picture is there (none yet, or forgotten)
    std::uint32_t takenSerial = 0; // the live picture a reader last took (or passed over for a still)
    std::vector<std::uint16_t> still;
    int stillWidth = 0;
    int stillHeight = 0;
    std::uint32_t stillSerial = 0;
    bool stillShown = false;  // the still is shown until stillStart + stillMs
    os::DWORD stillStart = 0;
    os::DWORD stillMs = 0;
    // The streaming thread's own (one picture at a time through the sink).
    std::vector<std::uint16_t> scratch;
    SwsContext* scaler = nullptr;
};

void PreviewFrame_Init(PreviewFrame* f);
void PreviewFrame_Release(PreviewFrame* f);
// Drops the picture, so that a restarted preview does not show an old one.
void PreviewFrame_Forget(PreviewFrame* f);

// One picture from the preview sink: `rgb565` true for width x height 5-6-5
// pixels, else planar YV12 (Y, V, U). A sample shorter than its size, an odd
// or empty size, or one above the bitmap limit is refused (false); one that
// comes before the last was taken is passed over (true).
bool PreviewFrame_Put(PreviewFrame* f, const std::uint8_t* data, long length, int width, int height, bool rgb565);

// Shows a still of width x height RGB24 pixels (rows top first) for `ms`,
// scaled to showWidth x showHeight. A still of no pixels, of an empty size or
// above the bitmap limit, or a scaler that cannot be had, is not shown (false).
bool PreviewFrame_ShowStill(PreviewFrame* f, const std::uint8_t* rgb, int width, int height, int showWidth,
                            int showHeight, os::DWORD ms);

// The serial of the picture to show (the still while it is shown, else the
// latest live picture), 0 when there is none; when it differs from `seen`
// the picture is first handed to `copy`, under the lock.
using PreviewCopy = void (*)(const std::uint16_t* pixels, int width, int height, void* context);
inline std::uint32_t PreviewFrame_Take(PreviewFrame* f, std::uint32_t seen, PreviewCopy copy, void* context)
{
    if (!f->lockMade.load()) return 0;
    os::EnterCriticalSection(&f->lock);
    if (f->stillShown && os::GetTickCount() - f->stillStart >= f->stillMs) f->stillShown = false;
    std::uint32_t serial = 0;
    // While a still is shown the live pictures count as taken, so that the
    // one shown after it is fresh.
    f->takenSerial = f->liveSerial;
    if (f->stillShown) {
        serial = f->stillSerial;
        if (serial != seen) copy(f->still.data(), f->stillWidth, f->stillHeight, context);
    } else if (f->present) {
        serial = f->liveSerial;
        if (serial != seen) copy(f->pixels.data(), f->width, f->height, context);
    }
    os::LeaveCriticalSection(&f->lock);
    return serial;
}
