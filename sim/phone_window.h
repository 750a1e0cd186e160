// The simulated phone in a desktop window (`--window`): the platform's screen
// window with its input wired the way a scenario's events go. A click is a
// touch down and up at the pointer, as the scenario's `touch_down` and
// `touch_up`; a mapped key is the scenario's `key_down` / `key_up`; closing
// the window is the scenario's end, the exit button, so the program ends
// in order (a question it asks first is answered in the window).
#pragma once

#include <string>

namespace sim {

// Opens the window, `width` x `height`; false with *error as
// os::sim::OpenScreenWindow says it.
bool OpenPhoneWindow(int width, int height, std::string* error);
// True once the window's close button was used.
bool PhoneWindowClosed();
void ClosePhoneWindow();

}  // namespace sim
