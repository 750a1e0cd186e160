// The phone's screen shown live in a window on the host's desktop (SDL2).
//
// One platform thread, "screen window", owns the window and makes every SDL
// call: it initialises SDL's video, opens the window at the screen's size,
// and then, every kScreenWindowFrameMs of the real clock (longer when
// composing is slow: it takes at most a fifth of the time), takes the host's
// input events and composes the screen (CaptureScreen); the window is
// redrawn when the picture changed, and resized when the screen did (a
// rotation). Input is handed to the opener's callbacks on that thread: the
// left mouse button as touches at the pointer's screen coordinates, a few
// keys as the phone's hardware keys (Enter 0x0D, Escape 0x1B, the arrow keys
// 0x25 to 0x28), the window's close button as `close`. The window never
// ends anything itself; it stays until CloseScreenWindow.
//
// Real clock only: in virtual time the window's frames would drive the
// clock. Nothing of SDL is touched until a window is opened, and SDL's own
// signal handlers are not installed (Ctrl-C stays the host's).
#pragma once

#include <functional>
#include <string>

#include "platform/base/types.h"
#include "platform/graphics/graphics_sim.h"

namespace os::sim {

constexpr DWORD kScreenWindowFrameMs = 40;

struct ScreenWindowInput {
    std::function<void(int x, int y, bool down)> touch;
    std::function<void(UINT vk, bool down)> key;
    std::function<void()> close;
};

// Opens the window, `width` x `height`, titled `title`, and returns once it
// shows. False with *error (no display, SDL refused, the virtual clock, a
// window already open); then nothing is left of it.
bool OpenScreenWindow(int width, int height, const std::string& title, const ScreenWindowInput& input,
                      std::string* error);
// Ends the window's thread and closes the window; nothing when none is open.
// Not from the input callbacks.
void CloseScreenWindow();
// The picture the window shows, read back from its renderer by its thread;
// waits at most 5 s of the clock. False when no window is open or it did
// not answer.
bool ReadScreenWindow(ScreenImage* out);

}  // namespace os::sim
