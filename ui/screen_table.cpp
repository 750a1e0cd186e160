#include "ui/screen_table.h"

#include <string>

#include "platform/shell/resource.h"

namespace {

// Where each toolbar button's top-left corner sits on the 800 x 480 layout.
struct ToolbarPlace {
    int entry;
    int left;
    int top;
};

constexpr ToolbarPlace kToolbar[] = {
    {7, 0, 55},  {10, 0, 150}, {11, 0, 150}, {12, 0, 240}, {13, 0, 240},
    {6, 0, 331}, {15, 487, 356}, {14, 707, 356}, {16, 0, 55},
};

// Button sizes until the skin's normal images give them: the side column
// stops where the picture's emergency area begins (x 126), the sensitivity
// buttons end where it ends (y 427).
constexpr int kSideButtonWidth = 126;
constexpr int kSideButtonHeight = 90;
constexpr int kLevelButtonWidth = 93;
constexpr int kLevelButtonHeight = 71;

}  // namespace

os::UINT ScreenTitleId(int entry)
{
    switch (entry) {
    case 1: return 33;
    case 2: return 1251;
    case 3: return 84;
    case 5: return 35;
    case 6: return 38;
    case 7: return 40;
    case 8: return 1250;
    case 9: return 85;
    case 16: case 17: case 18: return 84;
    default: return entry >= 19 && entry <= 26 ? 1251 : 0;
    }
}

void LoadScreenTitles(ScreenTable* table, os::HINSTANCE resources)
{
    for (int entry = 0; entry < kScreenCount; ++entry) {
        std::string title;
        if (const os::UINT id = ScreenTitleId(entry); id != 0) os::LoadStringW(resources, id, &title, 100);
        (*table)[entry].title.Assign(title);
    }
}

void LayoutToolbar(ScreenTable* table)
{
    for (const ToolbarPlace& place : kToolbar) {
        const bool side = place.left == 0;
        const int width = side ? kSideButtonWidth : kLevelButtonWidth;
        const int height = side ? kSideButtonHeight : kLevelButtonHeight;
        (*table)[place.entry].rect = os::RECT{place.left, place.top, place.left + width, place.top + height};
    }
}

void ActivateMainScreenButtons(ScreenTable* table, bool soundOn, bool audioOff)
{
    for (ScreenEntry& entry : *table) entry.visible = 0;
    for (int entry : {7, 6, 15, 14}) (*table)[entry].visible = 1;
    (*table)[soundOn ? 10 : 11].visible = 1;
    (*table)[audioOff ? 13 : 12].visible = 1;
}

void ActivateSensitivityButtons(ScreenTable* table)
{
    for (ScreenEntry& entry : *table) entry.visible = 0;
    for (int entry : {16, 15, 14}) (*table)[entry].visible = 1;
}
