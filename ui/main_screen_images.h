// The main screen's pictures: loaded from the skin once when the screen is
// set up (CMD_Init), released when the window goes. Pictures with
// transparency are premultiplied 32-bit bitmaps; the toolbar's buttons are
// strips of their three looks (on the 800 x 480 layout). A picture that
// fails to load stays null and is simply not drawn.
#pragma once

#include "platform/base/types.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/imaging.h"
#include "ui/button_strip.h"
#include "ui/preview_picture.h"
#include "ui/screen_table.h"

struct MainScreenImages {
    bool loaded = false;
    int sizeIndex = 0;  // the skin's screen size; 0 (800 x 480) for others
    // Opaque.
    os::HBITMAP background = nullptr;
    os::HBITMAP pictureBox = nullptr;  // the picture area before the first frame
    os::HBITMAP barIdle = nullptr;
    os::HBITMAP barRecording = nullptr;
    os::HBITMAP levelRail = nullptr;
    os::HBITMAP brandMark = nullptr;
    os::HBITMAP infoPanel = nullptr;
    os::HBITMAP strips[2] = {};  // the opaque speed and contents strips
    // With alpha.
    os::HBITMAP top = nullptr;
    os::HBITMAP contents = nullptr;
    os::HBITMAP speedBox = nullptr;
    os::HBITMAP eventSaved = nullptr;
    os::HBITMAP gps = nullptr;
    os::HBITMAP memory = nullptr;
    os::HBITMAP gauge = nullptr;
    os::HBITMAP battery = nullptr;
    os::HBITMAP onAir = nullptr;
    os::HBITMAP logo = nullptr;
    os::HBITMAP popupBoxes[4] = {};  // box_popup01, _new, 02, 02_03
    os::HBITMAP smsBox = nullptr;     // the accident-SMS cancel pop-up's box
    os::HBITMAP elapsed = nullptr;
    os::HBITMAP sensitivity = nullptr;
    os::HBITMAP speed = nullptr;
    os::HBITMAP memoryFont = nullptr;
    os::HBITMAP contentsFont = nullptr;
    os::HBITMAP infoFont = nullptr;
    ButtonStrip buttons[kScreenCount];
    ButtonStrip popupButtons[4];  // confirm, cancel1, yes, no
    ButtonStrip smsCancel;        // the accident SMS pop-up's cancel button
    // Made when first drawn, at the picture's size.
    PictureBitmap preview;      // the camera's latest picture
    PictureBitmap testPattern;  // what the picture area shows before it
};

int SetupMainScreen(os::HWND hwnd);
void ReleaseMainScreen(os::HWND hwnd);
