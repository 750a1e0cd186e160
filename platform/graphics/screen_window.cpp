// The desktop window of the phone's screen: its thread, SDL's video on it,
// and the picture read back for the simulator.
#include "platform/graphics/screen_window.h"

#include <SDL.h>

#include <algorithm>
#include <mutex>

#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"

namespace os::sim {

namespace {

constexpr DWORD kReadWaitMs = 5000;

struct KeyRow {
    SDL_Keycode host;
    UINT vk;
};

// The hardware keys of the handset the host's keyboard stands in for.
constexpr KeyRow kKeys[] = {
    {SDLK_RETURN, 0x0D}, {SDLK_KP_ENTER, 0x0D}, {SDLK_ESCAPE, 0x1B}, {SDLK_LEFT, 0x25},
    {SDLK_UP, 0x26},     {SDLK_RIGHT, 0x27},    {SDLK_DOWN, 0x28},
};

struct Window {
    int width = 0;
    int height = 0;
    std::string title;
    ScreenWindowInput input;
    HANDLE stop = nullptr;
    HANDLE ready = nullptr;
    HANDLE readDone = nullptr;
    HANDLE thread = nullptr;

    // Written by the thread before `ready` is set, read by the opener after.
    bool opened = false;
    std::string error;

    // The window's lock: a read-back request and its answer. A leaf: nothing
    // else is taken while it is held.
    std::mutex mu;
    bool readRequested = false;
    ScreenImage readBack;

    // The thread's own.
    SDL_Window* sdlWindow = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    ScreenImage shown;
};

// Open and close are serialised; the window's thread never takes this.
std::mutex g_openMutex;
Window* g_window = nullptr;

void Release(Window* w)
{
    if (w->texture != nullptr) SDL_DestroyTexture(w->texture);
    if (w->renderer != nullptr) SDL_DestroyRenderer(w->renderer);
    if (w->sdlWindow != nullptr) SDL_DestroyWindow(w->sdlWindow);
    w->texture = nullptr;
    w->renderer = nullptr;
    w->sdlWindow = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    SDL_Quit();
}

bool Fail(Window* w, const std::string& what)
{
    w->error = what + ": " + SDL_GetError();
    Release(w);
    return false;
}

bool Open(Window* w)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A desktop's window or none: SDL's off-screen driver would "succeed"
    // without a display. SDL_VIDEODRIVER in the environment still decides.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    // By default SDL asks the desktop's compositor to stand aside, which makes
    // some desktops flicker; a small window at its own size needs no such thing.
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // The software renderer draws into the window's own frame buffer; left to
    // itself SDL would put that behind an OpenGL texture, loading the host's
    // GL driver and its threads for nothing.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        w->error = std::string("no display to show the window on: ") + SDL_GetError();
        SDL_Quit();
        return false;
    }
    w->sdlWindow = SDL_CreateWindow(w->title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w->width,
                                    w->height, SDL_WINDOW_SHOWN);
    if (w->sdlWindow == nullptr) return Fail(w, "cannot open the window");
    // A picture of a few hundred pixels a side needs no GPU, and a software
    // renderer reads back exactly what it shows.
    w->renderer = SDL_CreateRenderer(w->sdlWindow, -1, SDL_RENDERER_SOFTWARE);
    if (w->renderer == nullptr) return Fail(w, "cannot draw into the window");
    return true;
}

// A texture of the screen's size, and the window at that size.
bool FitTo(Window* w, int width, int height)
{
    if (w->texture != nullptr && w->shown.width == width && w->shown.height == height) return true;
    if (w->texture != nullptr) SDL_DestroyTexture(w->texture);
    w->texture = SDL_CreateTexture(w->renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (w->texture == nullptr) {
        // Every frame tries again; the failure is said once for each size.
        if (w->shown.width != width || w->shown.height != height) {
            PlatformLog("screen window: no picture of %d x %d: %s", width, height, SDL_GetError());
        }
        w->shown = ScreenImage{width, height, {}};
        return false;
    }
    SDL_SetWindowSize(w->sdlWindow, width, height);
    w->shown = ScreenImage{width, height, {}};
    return true;
}

void HandleEvent(Window* w, const SDL_Event& e, bool* redraw)
{
    switch (e.type) {
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT && w->input.touch) {
            w->input.touch(e.button.x, e.button.y, e.type == SDL_MOUSEBUTTONDOWN);
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (e.key.repeat != 0 || !w->input.key) break;
        for (const KeyRow& row : kKeys) {
            if (row.host == e.key.keysym.sym) w->input.key(row.vk, e.type == SDL_KEYDOWN);
        }
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE && w->input.close) w->input.close();
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED) *redraw = true;
        break;
    default: break;
    }
}

// Reads the renderer's picture for a waiting ReadScreenWindow; an empty
// picture says the read failed.
void AnswerRead(Window* w)
{
    ScreenImage image;
    int width = 0, height = 0;
    if (SDL_GetRendererOutputSize(w->renderer, &width, &height) == 0 && width > 0 && height > 0) {
        image.width = width;
        image.height = height;
        image.rgb.resize(static_cast<std::size_t>(width) * height * 3);
        if (SDL_RenderReadPixels(w->renderer, nullptr, SDL_PIXELFORMAT_RGB24, image.rgb.data(), width * 3) != 0) {
            image = ScreenImage{};
        }
    }
    {
        std::lock_guard lock(w->mu);
        w->readBack = std::move(image);
        w->readRequested = false;
    }
    SetEvent(w->readDone);
}

// One frame: the host's input, then the screen, drawn when it changed, was
// uncovered or is asked for.
void Frame(Window* w)
{
    bool redraw = false;
    SDL_Event e;
    while (SDL_PollEvent(&e) != 0) HandleEvent(w, e, &redraw);
    ScreenImage screen = CaptureScreen();
    if (screen.width > 0 && FitTo(w, screen.width, screen.height) && screen.rgb != w->shown.rgb) {
        SDL_UpdateTexture(w->texture, nullptr, screen.rgb.data(), screen.width * 3);
        w->shown = std::move(screen);
        redraw = true;
    }
    bool read = false;
    {
        std::lock_guard lock(w->mu);
        read = w->readRequested;
    }
    if (!redraw && !read) return;
    SDL_RenderClear(w->renderer);
    if (w->texture != nullptr) SDL_RenderCopy(w->renderer, w->texture, nullptr, nullptr);
    // Before the present: what a present leaves behind is undefined.
    if (read) AnswerRead(w);
    SDL_RenderPresent(w->renderer);
}

DWORD WindowThread(void* param)
{
    auto* w = static_cast<Window*>(param);
    w->opened = Open(w);
    SetEvent(w->ready);
    if (!w->opened) return 1;
    DWORD wait = kScreenWindowFrameMs;
    do {
        const DWORD start = GetTickCount();
        Frame(w);
        // Composing the screen holds the drawing lock the program paints
        // under: when it is slow (a loaded host, an instrumented build) the
        // window takes at most a fifth of the time, so the program is never
        // starved of the lock by its own window.
        wait = std::max<DWORD>(kScreenWindowFrameMs, (GetTickCount() - start) * 4);
    } while (WaitForSingleObject(w->stop, wait) == WAIT_TIMEOUT);
    Release(w);
    return 0;
}

void Destroy(Window* w)
{
    if (w->thread != nullptr) CloseHandle(w->thread);
    for (HANDLE h : {w->stop, w->ready, w->readDone}) {
        if (h != nullptr) CloseHandle(h);
    }
    delete w;
}

}  // namespace

bool OpenScreenWindow(int width, int height, const std::string& title, const ScreenWindowInput& input,
                      std::string* error)
{
    std::lock_guard open(g_openMutex);
    if (g_window != nullptr) {
        *error = "the window is already open";
        return false;
    }
    if (CurrentClockMode() != ClockMode::Real) {
        *error = "the window needs the real clock";
        return false;
    }
    if (width < 1 || height < 1) {
        *error = "the screen has no size";
        return false;
    }
    auto* w = new Window;
    w->width = width;
    w->height = height;
    w->title = title;
    w->input = input;
    w->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    w->ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    w->readDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (w->stop != nullptr && w->ready != nullptr && w->readDone != nullptr) {
        w->thread = CreateThread(nullptr, 0, WindowThread, w, 0, nullptr);
    }
    if (w->thread == nullptr) {
        *error = "cannot start the window's thread";
        Destroy(w);
        return false;
    }
    SetThreadDescription(w->thread, "screen window");
    WaitForSingleObject(w->ready, INFINITE);
    if (!w->opened) {
        WaitForSingleObject(w->thread, INFINITE);
        *error = w->error;
        Destroy(w);
        return false;
    }
    g_window = w;
    return true;
}

void CloseScreenWindow()
{
    std::lock_guard open(g_openMutex);
    if (g_window == nullptr) return;
    SetEvent(g_window->stop);
    WaitForSingleObject(g_window->thread, INFINITE);
    Destroy(g_window);
    g_window = nullptr;
}

bool ReadScreenWindow(ScreenImage* out)
{
    std::lock_guard open(g_openMutex);
    if (g_window == nullptr) return false;
    Window* w = g_window;
    ResetEvent(w->readDone);
    {
        std::lock_guard lock(w->mu);
        w->readRequested = true;
    }
    if (WaitForSingleObject(w->readDone, kReadWaitMs) != WAIT_OBJECT_0) {
        std::lock_guard lock(w->mu);
        w->readRequested = false;
        return false;
    }
    std::lock_guard lock(w->mu);
    if (w->readBack.width == 0) return false;
    *out = std::move(w->readBack);
    return true;
}

}  // namespace os::sim
