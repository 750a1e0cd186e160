// The simulated phone's device profile: what the handset is (screen, model,
// memory, storage volumes, languages, display orientation, clock start).
// It is read from a JSON file whose keys all have defaults: a key left out
// keeps the value of the built-in profile, an unknown key is an error.
// Loading either yields the whole record or an error text naming the file
// and the place; the output is untouched on error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "platform/devices/accelerometer_sim.h"
#include "platform/files/file_sim.h"
#include "sim/gps_route.h"

namespace sim {

// Display orientations of the phone OS (DMDO_0, DMDO_90, DMDO_180, DMDO_270).
constexpr int kRotation0 = 0;
constexpr int kRotation90 = 1;
constexpr int kRotation180 = 2;
constexpr int kRotation270 = 4;

struct ScreenSize {
    int width = 800;
    int height = 480;
    bool operator==(const ScreenSize&) const = default;
};

// A file on the card when the run starts, whatever an earlier run left
// there: zeros, sparse on the host.
struct VolumeFile {
    std::string path;  // below the volume's root, as given: "Ardvane\\20090301\\080000\\080000_20090301.avi"
    std::uint64_t sizeBytes = 0;
    bool readOnly = false;  // FILE_ATTRIBUTE_READONLY
    bool system = false;    // FILE_ATTRIBUTE_SYSTEM
    bool operator==(const VolumeFile&) const = default;
};

struct Volume {
    std::string name;            // e.g. "Storage Card"; the volume is "\<name>" on the device
    std::uint64_t capacityBytes = 0;
    bool mounted = true;         // mounted when the run starts
    std::string hostFolder;      // host folder holding its files; empty: the simulator's choice
    std::vector<VolumeFile> files = {};  // laid onto it before the run; their sizes fit the capacity
    bool operator==(const Volume&) const = default;
};

struct LocalDateTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    bool operator==(const LocalDateTime&) const = default;
};

// The handset's GPS receiver: the port its driver names, and what it says
// there. Without `replay` or `hostDevice` it drives `route`; with `replay`
// it plays that recorded receiver log; with `hostDevice` a real receiver on
// a host serial device talks instead (for real-time runs).
struct GpsProfile {
    std::string port = "COM4:";
    std::vector<GpsWaypoint> route = {
        {37.5759, 126.9769, 40}, {37.5665, 126.9780, 50}, {37.5598, 126.9753, 30}, {37.5547, 126.9707, 45}};
    bool loop = true;        // the route or the log over and over
    int satellites = 8;      // in the fix, 0 to 12 (below 3: no fix)
    double altitude = 38.0;  // metres
    std::string replay;      // a host file
    std::string hostDevice;  // a host terminal device such as /dev/ttyUSB0
    bool operator==(const GpsProfile&) const = default;
};

// The handset's camera and microphone. Without `video` the lens sees the
// built-in road scene and the microphone hears the engine; with it, that host
// video file plays in a loop. With `still` the camera takes its stills as
// JPEG and every one is that host file's bytes. The rest are faults the run
// starts with.
struct EncoderProfile {
    bool failOpen = false;             // the codec refuses every open
    std::int64_t timeoutAtFrame = -1;  // the encode of this frame (counted over the run) times out; -1: none
    bool operator==(const EncoderProfile&) const = default;
};

struct CameraProfile {
    std::string video;      // a host video file; empty: the road scene and engine sound
    os::LONG openError = 0;  // the camera's open fails with this result (a failure result); 0: it opens
    EncoderProfile encoder;
    std::string still;      // a host JPEG file every still is; empty: the camera makes its stills
    bool operator==(const CameraProfile&) const = default;
};

// The handset's accelerometer (the driver behind "ACC1:"), in the sensor's
// raw counts, countsPerG of them to 1 g. Without `replay` a read gives the
// resting counts with noise; with it, the rows of that host CSV file
// (time_ms,x,y,z in `units`, converted to counts and clamped to 16 bits).
enum class AccelerometerUnits { Counts, MetresPerSecondSquared, G };

struct AccelerometerProfile {
    os::sim::AccelerometerCounts resting{0, 0, os::sim::kDefaultCountsPerG};  // not given: gravity on z
    int noise = os::sim::kDefaultAccelerometerNoise;
    int countsPerG = os::sim::kDefaultCountsPerG;
    os::sim::AccelerometerFailure fail = os::sim::AccelerometerFailure::None;
    std::string replay;  // a host file
    AccelerometerUnits units = AccelerometerUnits::Counts;
    std::string readLog;  // a host file taking a line for every read answered
    bool operator==(const AccelerometerProfile&) const = default;
};

// The handset's network side: its cellular line and own number, and whether
// the network takes text messages.
struct PhoneProfile {
    std::string number = "+821012345678";  // "+" and 3 to 20 digits, or the digits alone
    bool line = true;       // a cellular line device; false: none, so no own number
    bool smsFails = false;  // every text message is refused by the network
    bool operator==(const PhoneProfile&) const = default;
};

// The power source and charge the handset starts with.
struct BatteryProfile {
    bool ac = true;    // on external power
    int percent = 100;  // 0 to 100
    bool operator==(const BatteryProfile&) const = default;
};

constexpr std::uint64_t kMegabyte = 1024ull * 1024;
constexpr std::uint64_t kGigabyte = 1024ull * kMegabyte;

struct DeviceProfile {
    // Size as the system reports it in the landscape orientations (90, 270);
    // width >= height. Rotations 0 and 180 report it with the sides swapped.
    ScreenSize screen;
    int rotation = kRotation270;  // display orientation at start
    int autoOrientation = 1;      // "AutoOrientation" under "\ControlPanel\MotionSensor"
    std::string model = "SCH-M490";  // the OEM information string
    std::string manufacturer = "SAMSUNG Electronics";
    // Physical memory installed and available; the phone reports both as 32-bit counts.
    std::uint64_t totalMemoryBytes = 128 * kMegabyte;
    std::uint64_t freeMemoryBytes = 64 * kMegabyte;
    std::vector<Volume> volumes = {Volume{"Storage Card", 2 * kGigabyte, true, ""}};
    std::optional<LocalDateTime> startTime;  // local time at device time 0; none: the host's
    std::vector<std::string> languages = {"English", "Korean"};
    std::optional<GpsProfile> gps = GpsProfile{};  // none: the handset has no GPS receiver
    CameraProfile camera;
    AccelerometerProfile accelerometer;
    bool sounds = true;  // the system sounds in "\windows"; false: none of them
    // What a power cut leaves of the bytes written after a file was last made durable.
    os::sim::LostWrites lostWrites = os::sim::LostWrites::Dropped;
    PhoneProfile phone;
    BatteryProfile battery;
    bool operator==(const DeviceProfile&) const = default;
};

// The built-in profile (also written out as sim/profiles/default.json).
DeviceProfile DefaultProfile();

// Parses the text of a profile file; `fileName` only names it in the error.
bool ParseProfile(const std::string& text, const std::string& fileName, DeviceProfile* out, std::string* error);
// Reads and parses the profile file at `path`; a relative `gps.replay`,
// `camera.video`, `camera.still` or `accelerometer.replay` is taken from the
// profile file's folder. A `camera.still` that cannot be read is an error here.
bool LoadProfile(const std::string& path, DeviceProfile* out, std::string* error);

// The volume as the file system is configured with it.
os::sim::VolumeConfig ToVolumeConfig(const Volume& volume);

// A volume or language name as names compare: ASCII letters without case.
std::string FoldedName(const std::string& name);
// The profile's volume of that name (compared without case); null if none.
const Volume* FindVolume(const DeviceProfile& profile, const std::string& name);

// The screen size the system reports at `rotation`.
ScreenSize ScreenSizeAt(const DeviceProfile& profile, int rotation);
// The start time as the clock takes it, with its day of the week.
os::SYSTEMTIME ToSystemTime(const LocalDateTime& t);

}  // namespace sim
