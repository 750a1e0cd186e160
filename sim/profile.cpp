#include "sim/profile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <unordered_set>
#include <utility>

#include "platform/files/file.h"
#include "sim/json_reader.h"
#include "sim/text_file.h"

namespace sim {
namespace {

using json::Value;

constexpr std::size_t kMaxModelChars = 255;
constexpr std::size_t kMaxVolumeNameChars = 64;
constexpr std::size_t kMaxLanguageChars = 31;
constexpr std::size_t kMaxHostPathChars = 4096;
constexpr std::size_t kMaxDevicePathChars = os::MAX_PATH;
constexpr std::int64_t kMaxScreenSide = 32767;  // touch points travel as 16-bit values
constexpr std::size_t kMaxPortChars = 15;       // the driver's record holds 16 characters with the terminator
constexpr double kMinSpeedKmh = 1;
constexpr double kMaxSpeedKmh = 400;
// A frame count over a run: a year at 30 frames a second fits with room to spare.
constexpr std::int64_t kMaxFrameNumber = INT32_MAX;

// Remembers the names of a list as FoldedName compares them, so that a name
// given twice is found in one pass however long the list.
class NameSet {
public:
    // False when an equal name is already in the set.
    bool Insert(const std::string& name)
    {
        return names_.insert(FoldedName(name)).second;
    }

private:
    std::unordered_set<std::string> names_;
};

// A name that becomes one component of a device path.
bool ReadName(const Value& value, const std::string& path, std::size_t maxChars, std::string* out,
              std::string* error)
{
    std::string name;
    if (!json::ReadText(value, path, maxChars, &name, error)) {
        return false;
    }
    if (name == "." || name == ".." || name.find_first_of("\\/:*?\"<>|") != std::string::npos) {
        return json::Fail(path, "\"" + name + "\" cannot be a folder name", error);
    }
    *out = name;
    return true;
}

bool ReadMemory(const Value& value, const std::string& path, std::uint64_t* out, std::string* error)
{
    std::uint64_t bytes = 0;
    if (!json::ReadSize(value, path, &bytes, error)) {
        return false;
    }
    if (bytes > UINT32_MAX) {
        return json::Fail(path, "more than the phone can report (4 GB less one byte)", error);
    }
    *out = bytes;
    return true;
}

bool ReadScreen(const Value& value, const std::string& path, ScreenSize* out, std::string* error)
{
    std::int64_t width = 0, height = 0;
    bool ok = json::ReadObject(
        value, path,
        {{"width", true,
          [&](const Value& v, const std::string& p, std::string* e) {
              return json::ReadInteger(v, p, 1, kMaxScreenSide, &width, e);
          }},
         {"height", true, [&](const Value& v, const std::string& p, std::string* e) {
              return json::ReadInteger(v, p, 1, kMaxScreenSide, &height, e);
          }}},
        error);
    if (!ok) {
        return false;
    }
    if (width < height) {
        return json::Fail(path, "give the landscape size (width not below height)", error);
    }
    *out = ScreenSize{static_cast<int>(width), static_cast<int>(height)};
    return true;
}

bool ReadLostWrites(const Value& value, const std::string& path, os::sim::LostWrites* out, std::string* error)
{
    std::string text;
    if (!json::ReadText(value, path, 16, &text, error)) return false;
    if (text == "dropped") {
        *out = os::sim::LostWrites::Dropped;
    } else if (text == "zeros") {
        *out = os::sim::LostWrites::Zeros;
    } else if (text == "garbage") {
        *out = os::sim::LostWrites::Garbage;
    } else {
        return json::Fail(path, "must be \"dropped\", \"zeros\" or \"garbage\"", error);
    }
    return true;
}

bool ReadRotation(const Value& value, const std::string& path, int* out, std::string* error)
{
    std::int64_t r = 0;
    if (!json::ReadInteger(value, path, 0, kRotation270, &r, error)) {
        return false;
    }
    if (r == 3) {
        return json::Fail(path, "must be 0, 1, 2 or 4 (0, 90, 180 or 270 degrees)", error);
    }
    *out = static_cast<int>(r);
    return true;
}

bool ReadVolumeFile(const Value& value, const std::string& path, VolumeFile* out, std::string* error)
{
    VolumeFile file;
    using Path = const std::string&;
    bool ok = json::ReadObject(
        value, path,
        {{"path", true,
          [&](const Value& v, Path p, std::string* e) { return json::ReadText(v, p, kMaxDevicePathChars, &file.path, e); }},
         {"size", true, [&](const Value& v, Path p, std::string* e) { return json::ReadSize(v, p, &file.sizeBytes, e); }},
         {"readOnly", false, [&](const Value& v, Path p, std::string* e) { return json::ReadBool(v, p, &file.readOnly, e); }},
         {"system", false, [&](const Value& v, Path p, std::string* e) { return json::ReadBool(v, p, &file.system, e); }}},
        error);
    if (ok) {
        *out = file;
    }
    return ok;
}

bool ReadVolumeFiles(const Value& value, const std::string& path, std::vector<VolumeFile>* out, std::string* error)
{
    std::vector<VolumeFile> files;
    auto readOne = [&](const Value& v, const std::string& p, std::string* e) {
        VolumeFile file;
        if (!ReadVolumeFile(v, p, &file, e)) {
            return false;
        }
        files.push_back(std::move(file));
        return true;
    };
    if (!json::ReadArray(value, path, readOne, error)) {
        return false;
    }
    *out = std::move(files);
    return true;
}

// The file system's own rules for the files: their paths as the device
// takes them, none twice, and their sizes within the capacity.
bool CheckVolumeFiles(const Volume& volume, const std::string& path, std::string* error)
{
    std::size_t at = 0;
    std::string why;
    if (os::sim::CheckVolumeFiles(ToVolumeConfig(volume), &at, &why)) {
        return true;
    }
    const std::string files = json::Member(path, "files");
    if (at < volume.files.size()) {
        return json::Fail(json::Member(json::Element(files, at), "path"), why, error);
    }
    return json::Fail(files, "volume \"" + volume.name + "\": " + why, error);
}

bool ReadVolume(const Value& value, const std::string& path, Volume* out, std::string* error)
{
    Volume volume;
    bool ok = json::ReadObject(
        value, path,
        {{"name", true,
          [&](const Value& v, const std::string& p, std::string* e) {
              return ReadName(v, p, kMaxVolumeNameChars, &volume.name, e);
          }},
         {"capacity", true,
          [&](const Value& v, const std::string& p, std::string* e) {
              if (!json::ReadSize(v, p, &volume.capacityBytes, e)) {
                  return false;
              }
              return volume.capacityBytes > 0 || json::Fail(p, "must not be 0", e);
          }},
         {"mounted", false,
          [&](const Value& v, const std::string& p, std::string* e) { return json::ReadBool(v, p, &volume.mounted, e); }},
         {"hostFolder", false,
          [&](const Value& v, const std::string& p, std::string* e) {
              return json::ReadText(v, p, kMaxHostPathChars, &volume.hostFolder, e);
          }},
         {"files", false, [&](const Value& v, const std::string& p, std::string* e) {
              return ReadVolumeFiles(v, p, &volume.files, e);
          }}},
        error);
    if (ok && CheckVolumeFiles(volume, path, error)) {
        *out = volume;
        return true;
    }
    return false;
}

bool ReadVolumes(const Value& value, const std::string& path, std::vector<Volume>* out, std::string* error)
{
    std::vector<Volume> volumes;
    NameSet names;
    auto readOne = [&](const Value& v, const std::string& p, std::string* e) {
        Volume volume;
        if (!ReadVolume(v, p, &volume, e)) {
            return false;
        }
        if (!names.Insert(volume.name)) {
            return json::Fail(json::Member(p, "name"), "volume \"" + volume.name + "\" given twice", e);
        }
        volumes.push_back(std::move(volume));
        return true;
    };
    if (!json::ReadArray(value, path, readOne, error)) {
        return false;
    }
    *out = std::move(volumes);
    return true;
}

bool ReadLanguages(const Value& value, const std::string& path, std::vector<std::string>* out,
                   std::string* error)
{
    std::vector<std::string> languages;
    NameSet names;
    auto readOne = [&](const Value& v, const std::string& p, std::string* e) {
        std::string name;
        if (!ReadName(v, p, kMaxLanguageChars, &name, e)) {
            return false;
        }
        if (!names.Insert(name)) {
            return json::Fail(p, "language \"" + name + "\" given twice", e);
        }
        languages.push_back(std::move(name));
        return true;
    };
    if (!json::ReadArray(value, path, readOne, error)) {
        return false;
    }
    if (languages.empty()) {
        return json::Fail(path, "at least one language is needed", error);
    }
    *out = std::move(languages);
    return true;
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY-MM-DDThh:mm:ss", local time.
bool ReadStartTime(const Value& value, const std::string& path, std::optional<LocalDateTime>* out,
                   std::string* error)
{
    const std::string what = "expected a local time such as \"2009-03-03T08:59:30\"";
    if (!value.is_string()) {
        return json::Fail(path, what, error);
    }
    const std::string text = value.get<std::string>();
    static constexpr char kPattern[] = "dddd-dd-ddTdd:dd:dd";
    bool shaped = text.size() + 1 == sizeof kPattern;
    for (std::size_t i = 0; shaped && i < text.size(); ++i) {
        shaped = kPattern[i] == 'd' ? std::isdigit(static_cast<unsigned char>(text[i])) != 0 : text[i] == kPattern[i];
    }
    if (!shaped) {
        return json::Fail(path, what, error);
    }
    auto field = [&](std::size_t at, std::size_t n) { return std::stoi(text.substr(at, n)); };
    LocalDateTime t{field(0, 4), field(5, 2), field(8, 2), field(11, 2), field(14, 2), field(17, 2)};
    if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > DaysInMonth(t.year, t.month) ||
        t.hour > 23 || t.minute > 59 || t.second > 59) {
        return json::Fail(path, "\"" + text + "\" is not a valid date and time", error);
    }
    *out = t;
    return true;
}

// "COM4:", "GPD0:": letters and digits and a colon, as a port name fits the driver's record.
bool ReadPortName(const Value& value, const std::string& path, std::string* out, std::string* error)
{
    std::string name;
    if (!json::ReadText(value, path, kMaxPortChars, &name, error)) {
        return false;
    }
    const bool shaped = name.size() >= 2 && name.back() == ':' &&
                        std::all_of(name.begin(), name.end() - 1, [](char c) {
                            return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
                        });
    if (!shaped) {
        return json::Fail(path, "expected a port name such as \"COM4:\" (letters and digits, then a colon)", error);
    }
    *out = name;
    return true;
}

bool ReadWaypoint(const Value& value, const std::string& path, GpsWaypoint* out, std::string* error)
{
    GpsWaypoint w;
    bool ok = json::ReadObject(
        value, path,
        {{"lat", true,
          [&](const Value& v, const std::string& p, std::string* e) { return json::ReadNumber(v, p, -90, 90, &w.latitude, e); }},
         {"lon", true,
          [&](const Value& v, const std::string& p, std::string* e) {
              return json::ReadNumber(v, p, -180, 180, &w.longitude, e);
          }},
         {"speed", false, [&](const Value& v, const std::string& p, std::string* e) {
              return json::ReadNumber(v, p, kMinSpeedKmh, kMaxSpeedKmh, &w.speedKmh, e);
          }}},
        error);
    if (ok) {
        *out = w;
    }
    return ok;
}

bool ReadRoute(const Value& value, const std::string& path, std::vector<GpsWaypoint>* out, std::string* error)
{
    std::vector<GpsWaypoint> route;
    auto readOne = [&](const Value& v, const std::string& p, std::string* e) {
        GpsWaypoint w;
        if (!ReadWaypoint(v, p, &w, e)) {
            return false;
        }
        route.push_back(w);
        return true;
    };
    if (!json::ReadArray(value, path, readOne, error)) {
        return false;
    }
    if (route.empty()) {
        return json::Fail(path, "at least one waypoint is needed", error);
    }
    *out = route;
    return true;
}

// null: no receiver; an object: the receiver, its keys over the built-in ones.
bool ReadGps(const Value& value, const std::string& path, std::optional<GpsProfile>* out, std::string* error)
{
    if (value.is_null()) {
        out->reset();
        return true;
    }
    GpsProfile gps;
    using Path = const std::string&;
    bool ok = json::ReadObject(
        value, path,
        {{"port", false, [&](const Value& v, Path p, std::string* e) { return ReadPortName(v, p, &gps.port, e); }},
         {"route", false, [&](const Value& v, Path p, std::string* e) { return ReadRoute(v, p, &gps.route, e); }},
         {"loop", false, [&](const Value& v, Path p, std::string* e) { return json::ReadBool(v, p, &gps.loop, e); }},
         {"satellites", false,
          [&](const Value& v, Path p, std::string* e) {
              std::int64_t n = 0;
              if (!json::ReadInteger(v, p, 0, 12, &n, e)) {
                  return false;
              }
              gps.satellites = static_cast<int>(n);
              return true;
          }},
         {"altitude", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadNumber(v, p, -1000, 10000, &gps.altitude, e); }},
         {"replay", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadText(v, p, kMaxHostPathChars, &gps.replay, e); }},
         {"hostDevice", false, [&](const Value& v, Path p, std::string* e) {
              return json::ReadText(v, p, kMaxHostPathChars, &gps.hostDevice, e);
          }}},
        error);
    if (ok && !gps.replay.empty() && !gps.hostDevice.empty()) {
        ok = json::Fail(json::Member(path, "hostDevice"), "give either replay or hostDevice, not both", error);
    }
    if (ok) {
        *out = gps;
    }
    return ok;
}

// A failure result as the phone OS writes it: "0x80070037" (8 hex digits at
// most, the top bit set).
bool ReadResultCode(const Value& value, const std::string& path, os::LONG* out, std::string* error)
{
    const std::string what = "expected a failure result as hex text such as \"0x80070037\"";
    if (!value.is_string()) {
        return json::Fail(path, what, error);
    }
    const std::string text = value.get<std::string>();
    const bool shaped = text.size() > 2 && text.size() <= 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
                        std::all_of(text.begin() + 2, text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
    if (!shaped) {
        return json::Fail(path, what, error);
    }
    const auto code = static_cast<std::uint32_t>(std::stoul(text.substr(2), nullptr, 16));
    if (code < 0x80000000u) {
        return json::Fail(path, "\"" + text + "\" is not a failure result (0x80000000 to 0xFFFFFFFF)", error);
    }
    *out = static_cast<os::LONG>(code);
    return true;
}

bool ReadEncoder(const Value& value, const std::string& path, EncoderProfile* out, std::string* error)
{
    EncoderProfile encoder;
    using Path = const std::string&;
    bool ok = json::ReadObject(
        value, path,
        {{"failOpen", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadBool(v, p, &encoder.failOpen, e); }},
         {"timeoutAtFrame", false, [&](const Value& v, Path p, std::string* e) {
              return json::ReadInteger(v, p, 0, kMaxFrameNumber, &encoder.timeoutAtFrame, e);
          }}},
        error);
    if (ok) {
        *out = encoder;
    }
    return ok;
}

bool ReadCamera(const Value& value, const std::string& path, CameraProfile* out, std::string* error)
{
    CameraProfile camera;
    using Path = const std::string&;
    bool ok = json::ReadObject(
        value, path,
        {{"video", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadText(v, p, kMaxHostPathChars, &camera.video, e); }},
         {"still", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadText(v, p, kMaxHostPathChars, &camera.still, e); }},
         {"openError", false,
          [&](const Value& v, Path p, std::string* e) { return ReadResultCode(v, p, &camera.openError, e); }},
         {"encoder", false, [&](const Value& v, Path p, std::string* e) { return ReadEncoder(v, p, &camera.encoder, e); }}},
        error);
    if (ok) {
        *out = camera;
    }
    return ok;
}

// One of the names in `names`, given as text.
template <typename T, std::size_t N>
bool ReadChoice(const Value& value, const std::string& path, const std::pair<const char*, T> (&names)[N], T* out,
                std::string* error)
{
    std::string expected;
    for (const auto& [name, choice] : names) {
        if (value.is_string() && value.get<std::string>() == name) {
            *out = choice;
            return true;
        }
        expected += std::string(expected.empty() ? "" : ", ") + "\"" + name + "\"";
    }
    return json::Fail(path, "expected one of " + expected, error);
}

bool ReadCounts(const Value& value, const std::string& path, os::sim::AccelerometerCounts* out, std::string* error)
{
    std::int64_t x = 0, y = 0, z = 0;
    auto axis = [](const char* key, std::int64_t* target) {
        return json::Field{key, true, [target](const Value& v, const std::string& p, std::string* e) {
                               return json::ReadInteger(v, p, INT16_MIN, INT16_MAX, target, e);
                           }};
    };
    if (!json::ReadObject(value, path, {axis("x", &x), axis("y", &y), axis("z", &z)}, error)) {
        return false;
    }
    *out = os::sim::AccelerometerCounts{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                        static_cast<std::int16_t>(z)};
    return true;
}

bool ReadAccelerometer(const Value& value, const std::string& path, AccelerometerProfile* out, std::string* error)
{
    using Failure = os::sim::AccelerometerFailure;
    static constexpr std::pair<const char*, Failure> kFailures[] = {
        {"none", Failure::None}, {"open", Failure::Open}, {"read", Failure::Read}};
    static constexpr std::pair<const char*, AccelerometerUnits> kUnits[] = {
        {"counts", AccelerometerUnits::Counts}, {"m/s2", AccelerometerUnits::MetresPerSecondSquared},
        {"g", AccelerometerUnits::G}};
    AccelerometerProfile accel;
    bool restingGiven = false;
    bool unitsGiven = false;
    auto integer = [](std::int64_t min, std::int64_t max, int* target) {
        return [=](const Value& v, const std::string& p, std::string* e) {
            std::int64_t n = 0;
            if (!json::ReadInteger(v, p, min, max, &n, e)) {
                return false;
            }
            *target = static_cast<int>(n);
            return true;
        };
    };
    using Path = const std::string&;
    bool ok = json::ReadObject(
        value, path,
        {{"resting", false,
          [&](const Value& v, Path p, std::string* e) {
              restingGiven = true;
              return ReadCounts(v, p, &accel.resting, e);
          }},
         {"noise", false, integer(0, os::sim::kMaxAccelerometerCounts, &accel.noise)},
         {"countsPerG", false, integer(1, os::sim::kMaxAccelerometerCounts, &accel.countsPerG)},
         {"fail", false, [&](const Value& v, Path p, std::string* e) { return ReadChoice(v, p, kFailures, &accel.fail, e); }},
         {"replay", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadText(v, p, kMaxHostPathChars, &accel.replay, e); }},
         {"units", false,
          [&](const Value& v, Path p, std::string* e) {
              unitsGiven = true;
              return ReadChoice(v, p, kUnits, &accel.units, e);
          }},
         {"readLog", false, [&](const Value& v, Path p, std::string* e) {
              return json::ReadText(v, p, kMaxHostPathChars, &accel.readLog, e);
          }}},
        error);
    if (ok && unitsGiven && accel.replay.empty()) {
        ok = json::Fail(json::Member(path, "units"), "units are those of the replay file; give replay too", error);
    }
    if (!ok) {
        return false;
    }
    if (!restingGiven) {
        accel.resting = os::sim::AccelerometerCounts{0, 0, static_cast<std::int16_t>(accel.countsPerG)};
    }
    *out = accel;
    return true;
}

bool ReadPhoneNumber(const Value& value, const std::string& path, std::string* out, std::string* error)
{
    std::string number;
    if (!json::ReadText(value, path, 21, &number, error)) return false;
    const std::size_t digits = number.size() - (number.starts_with('+') ? 1 : 0);
    const bool allDigits = std::all_of(number.begin() + static_cast<std::ptrdiff_t>(number.size() - digits),
                                       number.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
    if (!allDigits || digits < 3 || digits > 20) {
        return json::Fail(path, "not a phone number (\"+\" and 3 to 20 digits, or the digits alone)", error);
    }
    *out = number;
    return true;
}

bool ReadPhone(const Value& value, const std::string& path, PhoneProfile* out, std::string* error)
{
    PhoneProfile phone;
    using Path = const std::string&;
    bool ok = json::ReadObject(
        value, path,
        {{"number", false, [&](const Value& v, Path p, std::string* e) { return ReadPhoneNumber(v, p, &phone.number, e); }},
         {"line", false, [&](const Value& v, Path p, std::string* e) { return json::ReadBool(v, p, &phone.line, e); }},
         {"smsFails", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadBool(v, p, &phone.smsFails, e); }}},
        error);
    if (ok) {
        *out = phone;
    }
    return ok;
}

bool ReadBattery(const Value& value, const std::string& path, BatteryProfile* out, std::string* error)
{
    BatteryProfile battery;
    std::int64_t percent = battery.percent;
    using Path = const std::string&;
    const bool ok = json::ReadObject(
        value, path,
        {{"ac", false, [&](const Value& v, Path p, std::string* e) { return json::ReadBool(v, p, &battery.ac, e); }},
         {"percent", false,
          [&](const Value& v, Path p, std::string* e) { return json::ReadInteger(v, p, 0, 100, &percent, e); }}},
        error);
    if (!ok) return false;
    battery.percent = static_cast<int>(percent);
    *out = battery;
    return true;
}

// One row per top-level key; a new section of the profile is one more row.
std::vector<json::Field> ProfileFields(DeviceProfile& p)
{
    using json::Field;
    using Path = const std::string&;
    return {
        Field{"description", false,
              [](const Value& v, Path path, std::string* e) { return json::ReadDescription(v, path, e); }},
        Field{"screen", false, [&p](const Value& v, Path path, std::string* e) { return ReadScreen(v, path, &p.screen, e); }},
        Field{"rotation", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadRotation(v, path, &p.rotation, e); }},
        Field{"autoOrientation", false,
              [&p](const Value& v, Path path, std::string* e) {
                  std::int64_t value = 0;
                  if (!json::ReadInteger(v, path, 0, 1, &value, e)) {
                      return false;
                  }
                  p.autoOrientation = static_cast<int>(value);
                  return true;
              }},
        Field{"model", false,
              [&p](const Value& v, Path path, std::string* e) { return json::ReadText(v, path, kMaxModelChars, &p.model, e); }},
        Field{"manufacturer", false,
              [&p](const Value& v, Path path, std::string* e) {
                  return json::ReadText(v, path, kMaxModelChars, &p.manufacturer, e);
              }},
        Field{"totalMemory", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadMemory(v, path, &p.totalMemoryBytes, e); }},
        Field{"freeMemory", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadMemory(v, path, &p.freeMemoryBytes, e); }},
        Field{"volumes", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadVolumes(v, path, &p.volumes, e); }},
        Field{"startTime", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadStartTime(v, path, &p.startTime, e); }},
        Field{"languages", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadLanguages(v, path, &p.languages, e); }},
        Field{"gps", false, [&p](const Value& v, Path path, std::string* e) { return ReadGps(v, path, &p.gps, e); }},
        Field{"camera", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadCamera(v, path, &p.camera, e); }},
        Field{"accelerometer", false,
              [&p](const Value& v, Path path, std::string* e) {
                  return ReadAccelerometer(v, path, &p.accelerometer, e);
              }},
        Field{"sounds", false, [&p](const Value& v, Path path, std::string* e) { return json::ReadBool(v, path, &p.sounds, e); }},
        Field{"lostWrites", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadLostWrites(v, path, &p.lostWrites, e); }},
        Field{"phone", false, [&p](const Value& v, Path path, std::string* e) { return ReadPhone(v, path, &p.phone, e); }},
        Field{"battery", false,
              [&p](const Value& v, Path path, std::string* e) { return ReadBattery(v, path, &p.battery, e); }},
    };
}

}  // namespace

DeviceProfile DefaultProfile()
{
    return DeviceProfile{};
}

bool ParseProfile(const std::string& text, const std::string& fileName, DeviceProfile* out, std::string* error)
{
    Value document;
    std::string why;
    DeviceProfile profile = DefaultProfile();
    bool ok = json::ParseDocument(text, &document, &why) && json::ReadObject(document, "", ProfileFields(profile), &why);
    if (ok && profile.freeMemoryBytes > profile.totalMemoryBytes) {
        ok = json::Fail("freeMemory", "more than totalMemory", &why);
    }
    if (!ok) {
        *error = fileName + ": " + why;
        return false;
    }
    *out = profile;
    return true;
}

bool LoadProfile(const std::string& path, DeviceProfile* out, std::string* error)
{
    std::string text;
    std::string why;
    if (!ReadTextFile(path, kMaxInputFileBytes, &text, &why)) {
        *error = path + ": " + why;
        return false;
    }
    DeviceProfile profile;
    if (!ParseProfile(text, path, &profile, error)) {
        return false;
    }
    const auto fromProfileFolder = [&path](std::string* file) {
        if (!file->empty() && std::filesystem::path(*file).is_relative()) {
            *file = (std::filesystem::path(path).parent_path() / *file).string();
        }
    };
    if (profile.gps) {
        fromProfileFolder(&profile.gps->replay);
    }
    fromProfileFolder(&profile.camera.video);
    fromProfileFolder(&profile.camera.still);
    fromProfileFolder(&profile.accelerometer.replay);
    std::string still;
    if (!profile.camera.still.empty() && !ReadStillPicture(profile.camera.still, &still, &why)) {
        *error = path + ": camera.still: " + profile.camera.still + ": " + why;
        return false;
    }
    *out = profile;
    return true;
}

os::sim::VolumeConfig ToVolumeConfig(const Volume& volume)
{
    os::sim::VolumeConfig config{volume.name, volume.capacityBytes, volume.mounted, volume.hostFolder};
    for (const VolumeFile& file : volume.files) {
        const os::DWORD attributes = (file.readOnly ? os::FILE_ATTRIBUTE_READONLY : 0u) |
                                     (file.system ? os::FILE_ATTRIBUTE_SYSTEM : 0u);
        config.files.push_back(os::sim::VolumeFile{file.path, file.sizeBytes, attributes});
    }
    return config;
}

std::string FoldedName(const std::string& name)
{
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return folded;
}

const Volume* FindVolume(const DeviceProfile& profile, const std::string& name)
{
    const std::string folded = FoldedName(name);
    for (const Volume& volume : profile.volumes) {
        if (FoldedName(volume.name) == folded) {
            return &volume;
        }
    }
    return nullptr;
}

ScreenSize ScreenSizeAt(const DeviceProfile& profile, int rotation)
{
    bool portrait = rotation == kRotation0 || rotation == kRotation180;
    return portrait ? ScreenSize{profile.screen.height, profile.screen.width} : profile.screen;
}

os::SYSTEMTIME ToSystemTime(const LocalDateTime& t)
{
    // Days since 1970-01-01 (a Thursday) of the civil date.
    int y = t.month <= 2 ? t.year - 1 : t.year;
    int era = y / 400;
    int yearOfEra = y - era * 400;
    int dayOfYear = (153 * (t.month + (t.month > 2 ? -3 : 9)) + 2) / 5 + t.day - 1;
    int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    long long days = static_cast<long long>(era) * 146097 + dayOfEra - 719468;
    auto word = [](int v) { return static_cast<os::WORD>(v); };
    return os::SYSTEMTIME{word(t.year), word(t.month), word(static_cast<int>((days % 7 + 11) % 7)),
                          word(t.day), word(t.hour), word(t.minute), word(t.second), 0};
}

}  // namespace sim
