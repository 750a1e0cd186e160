#include "sim/phone_window.h"

#include <atomic>

#include "platform/graphics/screen_window.h"
#include "platform/windows/window.h"
#include "sim/scenario_runner.h"
#include "sim/symbols.h"

namespace sim {

namespace {

constexpr const char* kWindowTitle = "kestrava";

std::atomic<bool> g_closed = false;

void Perform(EventKind kind, const auto& fill)
{
    ScenarioEvent e;
    e.kind = kind;
    fill(e);
    PerformScenarioEvent(e);
}

}  // namespace

bool OpenPhoneWindow(int width, int height, std::string* error)
{
    g_closed = false;
    os::sim::ScreenWindowInput input;
    input.touch = [](int x, int y, bool down) {
        Perform(down ? EventKind::TouchDown : EventKind::TouchUp, [&](ScenarioEvent& e) {
            e.x = x;
            e.y = y;
        });
    };
    input.key = [](os::UINT vk, bool down) {
        Perform(down ? EventKind::KeyDown : EventKind::KeyUp, [&](ScenarioEvent& e) { e.vk = vk; });
    };
    input.close = [] {
        g_closed = true;
        Perform(EventKind::End, [](ScenarioEvent& e) {
            e.msg = os::WM_COMMAND;
            e.wParam = static_cast<os::WPARAM>(kIdmButton);
            e.lParam = static_cast<os::LPARAM>(kExitButton);
        });
    };
    return os::sim::OpenScreenWindow(width, height, kWindowTitle, input, error);
}

bool PhoneWindowClosed()
{
    return g_closed;
}

void ClosePhoneWindow()
{
    os::sim::CloseScreenWindow();
}

}  // namespace sim
