// The screen table: one entry per screen mode, 0 to 26. The entry number is
// also the mode that CMD_Run switches to and the number of the touch button
// that asks for it (buttons are 1 to 26). The table belongs to the main
// window's thread: only that thread writes it.
#pragma once

#include <array>
#include <cstdint>

#include "platform/base/types.h"
#include "settings/fixed_text.h"

constexpr int kScreenCount = 27;

struct ScreenEntry {
    FixedText<101> title;  // from the resource library; empty for the modes without one
    os::RECT rect;         // screen coordinates of the button
    uint8_t visible = 0;   // takes part in hit-testing and is drawn
    uint8_t pressed = 0;   // a finger is down on it
    uint8_t keyPressed = 0;  // Enter is held on it
    uint8_t disabled = 0;
    uint8_t highlighted = 0;  // touched last; the button the Enter key presses
    uint8_t screenActive = 0;  // the screen this entry opens is live
    uint8_t active = 0;        // its action is running (recording, logging)
    uint8_t paused = 0;        // entry 4 only
};

using ScreenTable = std::array<ScreenEntry, kScreenCount>;

// The resource string id of each entry's title; 0 for none.
os::UINT ScreenTitleId(int entry);

// Loads every title from the resource library (none loaded: empty titles).
void LoadScreenTitles(ScreenTable* table, os::HINSTANCE resources);

// The toolbar of the main recording screen: the place of each button, and
// which of them take part: exit, settings, the two sensitivity buttons, and
// one of each toggle pair (sound off or on, microphone off or on).
void LayoutToolbar(ScreenTable* table);
void ActivateMainScreenButtons(ScreenTable* table, bool soundOn, bool audioOff);
// The sensitivity screen: back (16, in the exit button's place), plus and minus.
void ActivateSensitivityButtons(ScreenTable* table);
