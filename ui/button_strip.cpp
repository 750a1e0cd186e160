#include "ui/button_strip.h"

#include "ui/skin_images.h"

namespace {

// Copies a look into row `row` of the strip's context and frees it.
void CopyLook(os::HDC strip, os::HBITMAP look, int row, int height)
{
    if (look == nullptr) return;
    int width = 0;
    int lookHeight = 0;
    BitmapSize(look, &width, &lookHeight);
    os::HDC source = os::CreateCompatibleDC(strip);
    os::HGDIOBJ old = os::SelectObject(source, look);
    os::BitBlt(strip, 0, row * height, width, lookHeight < height ? lookHeight : height, source, 0, 0, os::SRCCOPY);
    os::SelectObject(source, old);
    os::DeleteDC(source);
    os::DeleteObject(look);
}

}  // namespace

int BuildButtonStrip(os::HDC screen, const char* const paths[3], int left, int top, os::SIZE fallback,
                     ButtonStrip* button)
{
    *button = ButtonStrip{};
    os::HBITMAP normal = LoadOpaqueImage(paths[0]);
    int width = static_cast<int>(fallback.cx);
    int height = static_cast<int>(fallback.cy);
    if (normal != nullptr) BitmapSize(normal, &width, &height);
    button->width = width;
    button->height = height;
    button->rect = os::RECT{left, top, left + width, top + height};
    if (normal == nullptr || width <= 0 || height <= 0) {
        if (normal != nullptr) os::DeleteObject(normal);
        return 0;
    }
    button->dc = os::CreateCompatibleDC(screen);
    button->strip = os::CreateCompatibleBitmap(screen, width, 3 * height);
    button->previous = os::SelectObject(button->dc, button->strip);
    // The normal look is already loaded for its size; the other two are loaded here.
    CopyLook(button->dc, normal, kLookNormal, height);
    CopyLook(button->dc, LoadOpaqueImage(paths[kLookPressed]), kLookPressed, height);
    CopyLook(button->dc, LoadOpaqueImage(paths[kLookDisabled]), kLookDisabled, height);
    return 1;
}

void DrawButtonLook(os::HDC dc, const ButtonStrip& button, int look)
{
    if (button.dc == nullptr || look < kLookNormal || look > kLookDisabled) return;
    os::BitBlt(dc, button.rect.left, button.rect.top, button.width, button.height, button.dc, 0, look * button.height,
               os::SRCCOPY);
}

void ReleaseButtonStrip(ButtonStrip* button)
{
    if (button->dc != nullptr) {
        os::SelectObject(button->dc, button->previous);
        os::DeleteDC(button->dc);
    }
    if (button->strip != nullptr) os::DeleteObject(button->strip);
    const os::RECT keep = button->rect;
    *button = ButtonStrip{};
    button->rect = keep;
}
