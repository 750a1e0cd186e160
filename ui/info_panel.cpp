#include "ui/info_panel.h"

#include <cstdio>

#include "storage/time_ops.h"
#include "ui/screen_text.h"

namespace {

constexpr os::RECT kPanel{140, 141, 520, 341};
constexpr int kRowTop = 10;
constexpr int kRowHeight = 45;
constexpr int kTextLeft = 56;
constexpr int kTextRight = 10;
constexpr os::RECT kSpeedBox{544, 65, 790, 215};

constexpr const char* kClockFallback = "%02d:%02d:%02d";
constexpr const char* kPositionFallback = "%.5f, %.5f";

bool Inside(const os::RECT& r, int x, int y)
{
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

std::string Clock(const std::string& format, int hour, int minute, int second)
{
    const std::string checked = CheckedFormat(format, "ddd", kClockFallback);
    char text[128];
    std::snprintf(text, sizeof text, checked.c_str(), hour, minute, second);
    return text;
}

}  // namespace

InfoPanelLines FormatInfoPanel(const InfoPanelValues& values, const InfoPanelFormats& formats)
{
    InfoPanelLines lines;
    const os::SYSTEMTIME& start = values.start;
    lines.line[0] = Clock(formats.start, start.wHour, start.wMinute, start.wSecond);
    os::SYSTEMTIME elapsed = values.now;
    os::ULONGLONG count = 0;
    // A start in the future (a clock set back) shows no time rather than a wrapped one.
    if (!TimeSubtractClamped(&elapsed, &values.start) || !SystemTimeToU64(&elapsed, &count)) elapsed = os::SYSTEMTIME{};
    const os::ULONGLONG seconds = count / 10000000ULL;
    lines.line[1] = Clock(formats.elapsed, static_cast<int>(seconds / 3600 % 1000), static_cast<int>(seconds / 60 % 60),
                          static_cast<int>(seconds % 60));
    lines.line[2] = DistanceText(formats.distance, values.distanceKm);
    const std::string position = CheckedFormat(formats.position, "ff", kPositionFallback);
    char text[128];
    std::snprintf(text, sizeof text, position.c_str(), values.latitude, values.longitude);
    lines.line[3] = text;
    return lines;
}

os::RECT InfoPanelRect()
{
    return kPanel;
}

os::RECT InfoPanelRow(int row)
{
    const int top = kPanel.top + kRowTop + row * kRowHeight;
    return os::RECT{kPanel.left + kTextLeft, top, kPanel.right - kTextRight, top + kRowHeight};
}

os::RECT SpeedBoxRect()
{
    return kSpeedBox;
}

InfoPanelTouch InfoPanelTouchAt(bool panelShown, int x, int y)
{
    if (Inside(kSpeedBox, x, y)) return InfoPanelTouch::Toggle;
    if (panelShown && Inside(kPanel, x, y)) return InfoPanelTouch::Close;
    return InfoPanelTouch::None;
}
