// The information panel of the recording screen (800 x 480 layout only):
// four lines over "box_contents.jpg", each formatted from a string of the
// language library and drawn with DrawTextW into its own row: the start
// time, the elapsed time, the distance and the position. A format whose
// conversions do not match its values is replaced by a fixed one of ours.
//
// The driver opens and closes it with a touch on the speed box; a touch
// inside the open panel closes it, as does the dismissal of an on-screen
// message. Such a touch belongs to the panel alone: it does not count as a
// touch of the emergency area beneath.
#pragma once

#include <string>

#include "platform/base/types.h"

struct InfoPanelValues {
    os::SYSTEMTIME start{};  // local times
    os::SYSTEMTIME now{};
    double distanceKm = 0;
    double latitude = 0;   // decimal degrees, south negative
    double longitude = 0;  // decimal degrees, west negative
};

// The four format strings (library strings 71 to 74, empty when missing).
struct InfoPanelFormats {
    std::string start;     // hour, minute, second
    std::string elapsed;   // hour, minute, second
    std::string distance;  // one floating-point number; the unit is appended
    std::string position;  // latitude, longitude
};

struct InfoPanelLines {
    std::string line[4];
};

// The elapsed time is now - start, clamped at 0 when now is earlier.
InfoPanelLines FormatInfoPanel(const InfoPanelValues& values, const InfoPanelFormats& formats);

// On the 800 x 480 screen: the panel, its rows (0 to 3) and the speed box.
os::RECT InfoPanelRect();
os::RECT InfoPanelRow(int row);
os::RECT SpeedBoxRect();

// What a touch going down at (x, y) does to the panel: the panel's touch
// areas when it is open or closed. The result is remembered until the
// finger lifts; only a lift in the same area acts.
enum class InfoPanelTouch { None, Toggle, Close };
InfoPanelTouch InfoPanelTouchAt(bool panelShown, int x, int y);
