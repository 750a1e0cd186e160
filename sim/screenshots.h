// The run's screenshots: the composed screen saved as PNG files into one
// host folder, by the scenario's screenshot events and, with
// `--screenshot-every`, by a platform thread at every multiple of a period
// of device time. The periodic files are named for the device time they
// show, "screen-hh-mm-ss.mmm.png", so that they sort in the order taken and
// a virtual run names and fills them the same way every time. A file that
// cannot be written is a host problem of the run. Each one written is
// logged ("[os] screenshot NAME: N drawing objects") with the count of live
// drawing objects at that moment.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Where screenshots go (a host folder, made when the first is written);
// empty: screenshots are refused. Forgets the list of those written.
void SetScreenshotFolder(const std::string& hostFolder);
// The composed screen as `name` in the folder; false when it is not written.
bool SaveScreenshot(const std::string& name);
// The screenshots written in the run, in order (host paths).
std::vector<std::string> ScreenshotsWritten();

// "screen-00-01-05.000.png" for device time 1:05.
std::string PeriodicScreenshotName(std::int64_t deviceUs);
// Starts the thread that saves the screen at device times periodMs,
// 2 * periodMs, ...; false when it cannot be made or periodMs is not above 0.
bool StartPeriodicScreenshots(std::int64_t periodMs);
// Ends the thread; nothing when none runs.
void StopPeriodicScreenshots();

}  // namespace sim
