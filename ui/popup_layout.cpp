#include "ui/popup_layout.h"

namespace {

constexpr int kBoxWidth = 400;
constexpr int kBoxHeight = 200;
constexpr int kButtonWidth = 150;
constexpr int kButtonHeight = 50;
constexpr int kButtonInset = 40;

}  // namespace

os::RECT PopupBox(const os::RECT& client)
{
    const int left = client.left + (client.right - client.left - kBoxWidth) / 2;
    const int top = client.top + (client.bottom - client.top - kBoxHeight) / 2;
    return os::RECT{left, top, left + kBoxWidth, top + kBoxHeight};
}

os::RECT PopupButton(const os::RECT& client, int button)
{
    const os::RECT box = PopupBox(client);
    const int left = button == 0 ? box.left + kButtonInset : box.right - kButtonInset - kButtonWidth;
    const int top = box.bottom - kButtonInset / 2 - kButtonHeight;
    return os::RECT{left, top, left + kButtonWidth, top + kButtonHeight};
}

bool PopupHasButtons(int kind)
{
    return kind == 1 || kind == 4;
}

int PopupButtonAt(const os::RECT& client, int kind, int x, int y)
{
    if (!PopupHasButtons(kind)) return -1;
    for (int button = 0; button < 2; ++button) {
        const os::RECT r = PopupButton(client, button);
        if (os::PtInRect(&r, os::POINT{x, y})) return button;
    }
    return -1;
}
