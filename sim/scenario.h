// A scenario: what happens to the simulated phone from outside, at given
// device times: messages posted or sent to the program's windows, commands,
// touches and keys, storage cards coming and going, phone calls, power
// transitions, rotation, answers to message boxes, commands to dialogs, the
// GPS receiver's sky and noise on its line, stalls of the camera and the
// microphone, a hung encode, a jolt of the accelerometer, values written to the program's settings key,
// other programs' files filling a volume, the driver taking a photo, the
// driver's hand on the controls of dialogs and settings pages, a power cut,
// and the end of the run.
//
// Read from a JSON file (see docs/simulation.md). The parsed events are
// sorted by time; events at equal times keep their file order. A "tap" or
// "key" press in the file becomes two events (down at its time, up after its
// hold time). Loading either yields the whole record or an error text naming
// the file and the place; the output is untouched on error.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/base/types.h"

namespace sim {

struct DeviceProfile;

enum class EventKind {
    PostMessage,       // PostMessageW(window, msg, wParam, lParam)
    SendMessage,       // SendMessageW(window, msg, wParam, lParam)
    Command,           // posted WM_COMMAND to the main window: msg, wParam = id, lParam
    TouchDown,         // x, y in screen coordinates
    TouchUp,           // x, y
    KeyDown,           // vk
    KeyUp,             // vk
    Mount,             // volume
    Unmount,           // volume
    CallStart,         // the phone reports a call start time
    CallEnd,           // the call start time is cleared
    PowerTransition,   // PBT_TRANSITION: powerFlags, powerState
    Resume,            // PBT_RESUME
    PowerInfo,         // PBT_POWERINFOCHANGE: onAc, batteryPercent
    Rotation,          // display orientation becomes `rotation`
    MessageBoxAnswer,  // the next message box returns `answer`
    DialogCommand,     // WM_COMMAND to the topmost open dialog: msg, wParam = id
    GpsFixLost,        // the GPS receiver loses the sky (a tunnel): its reports carry no fix
    GpsFixBack,        // it sees the sky again
    GpsGarbage,        // `garbageBytes` bytes of noise on the GPS line
    CameraStall,       // the camera delivers no picture for `durationMs`
    MicStall,          // the microphone delivers no sound for `durationMs`
    EncoderTimeout,    // the next encode times out
    Shock,             // the accelerometer jolts: peak counts x, y, z over `durationMs`, a half-sine
    Registry,          // the settings key's value `valueName` becomes `dword` (REG_DWORD) or `text` (REG_SZ)
    Fill,              // other programs' files take `fillBytes` more of `volume`; 0 gives back all they took
    Screenshot,        // the screen as a PNG file named `text` in the run's screenshot folder
    Photo,             // the driver presses the camera key (os::VK_CAMERA): down and up at once
    Choose,            // the driver picks entry `entry` of list `control` in the topmost dialog or page
    Check,             // the driver sets check box `control` there to `checked` (a click when it differs)
    Type,              // the driver types `text` into edit field `control` there (`paste`: pastes it)
    MenuCommand,       // the driver picks command `control` of the topmost dialog's or page's menu bar
    SheetPage,         // the driver turns the open property sheet to page `entry`
    PowerCut,          // the battery is pulled: the program ends at once, the files keep only their durable data
    End,               // as the exit button: posted WM_COMMAND IDM_BUTTON with lParam 7 (msg, wParam, lParam)
};

// Message box results of the phone OS.
constexpr int kAnswerOk = 1;
constexpr int kAnswerCancel = 2;
constexpr int kAnswerYes = 6;
constexpr int kAnswerNo = 7;

// One event; only the fields its kind names are meaningful, the others stay 0 or empty.
struct ScenarioEvent {
    std::int64_t atMs = 0;     // device time
    EventKind kind = EventKind::End;
    std::size_t source = 0;    // index in the file's "events" list
    std::string window;        // class name of the target top-level window; empty: the main window
    os::UINT msg = 0;
    os::WPARAM wParam = 0;
    os::LPARAM lParam = 0;
    int x = 0;
    int y = 0;
    int z = 0;
    os::UINT vk = 0;
    std::string volume;
    os::DWORD powerFlags = 0;
    std::string powerState;    // system power state name, e.g. "on", "backlightoff"; may be empty
    bool onAc = false;
    int batteryPercent = 0;
    int rotation = 0;
    int answer = 0;
    int garbageBytes = 0;
    std::int64_t durationMs = 0;
    std::string valueName;
    os::DWORD valueType = 0;   // REG_DWORD or REG_SZ
    os::DWORD dword = 0;
    std::string text;
    std::uint64_t fillBytes = 0;
    os::UINT control = 0;      // a control or command id
    int entry = 0;             // a list entry or a sheet page, from 0
    bool checked = false;
    bool paste = false;
    bool operator==(const ScenarioEvent&) const = default;
};

struct Scenario {
    std::vector<ScenarioEvent> events;
    bool operator==(const Scenario&) const = default;
};

// The built-in scenario (also written out as sim/scenarios/default.json):
// 60 s of device time, then the end of the run as the exit button would.
Scenario DefaultScenario();

// Parses the text of a scenario file; `fileName` only names it in the error.
bool ParseScenario(const std::string& text, const std::string& fileName, Scenario* out, std::string* error);
// Reads and parses the scenario file at `path`.
bool LoadScenario(const std::string& path, Scenario* out, std::string* error);

// Checks that every volume the scenario mounts, unmounts or fills is one of
// the profile's, and that each one it fills has a capacity; the error names
// the scenario file and the event.
bool CheckScenarioVolumes(const Scenario& scenario, const DeviceProfile& profile, const std::string& fileName,
                          std::string* error);

}  // namespace sim
