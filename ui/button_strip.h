// Buttons drawn from a strip: one bitmap holding the normal, pressed and
// disabled looks stacked (rows 0, 1 and 2), each as high as the normal
// picture. The strip lives in a memory context of its own until released.
//
// A look that fails to load leaves its row empty. When even the normal look
// is missing, the button keeps the size it was meant to have (`fallback`),
// so it keeps its place and its touch area and simply draws nothing.
#pragma once

#include "platform/graphics/graphics.h"

struct ButtonStrip {
    os::HBITMAP strip = nullptr;
    os::HDC dc = nullptr;
    os::HGDIOBJ previous = nullptr;  // the bitmap the context held before the strip
    int width = 0;                   // one look
    int height = 0;
    os::RECT rect{};                 // on the screen
};

constexpr int kLookNormal = 0;
constexpr int kLookPressed = 1;
constexpr int kLookDisabled = 2;

// paths: normal, pressed, disabled. 1 when the normal look loaded.
int BuildButtonStrip(os::HDC screen, const char* const paths[3], int left, int top, os::SIZE fallback,
                     ButtonStrip* button);
// Copies one look to the button's rectangle.
void DrawButtonLook(os::HDC dc, const ButtonStrip& button, int look);
void ReleaseButtonStrip(ButtonStrip* button);
