// The device profile file. A parse either fails with an error naming the
// file, leaving the record as it was, or yields a whole valid record that
// does not depend on what the record held before and that reads back the
// same when written out as a profile file again.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

#include "fuzz/check.h"
#include "platform/files/file_sim.h"
#include "sim/json_reader.h"
#include "sim/profile.h"

namespace {

using sim::DeviceProfile;

constexpr char kFile[] = "phone.json";

// Far from any profile a file can give: languages may never be empty.
DeviceProfile Sentinel()
{
    DeviceProfile p;
    p.screen = {1, 2};
    p.rotation = 3;
    p.model = "left over";
    p.volumes.clear();
    p.startTime = sim::LocalDateTime{1, 1, 1, 1, 1, 1};
    p.languages.clear();
    p.gps = sim::GpsProfile{"X", {}, false, 99, -1e9, "left", "over"};
    p.camera = sim::CameraProfile{"left over", 5, sim::EncoderProfile{true, -7}, "left over"};
    p.accelerometer = sim::AccelerometerProfile{{1, 2, 3}, -1, 0, os::sim::AccelerometerFailure::Read, "left",
                                                sim::AccelerometerUnits::G, "over"};
    p.sounds = false;
    p.lostWrites = os::sim::LostWrites::Garbage;
    p.phone = sim::PhoneProfile{"left over", false, true};
    return p;
}

bool ValidName(const std::string& name, std::size_t maxChars)
{
    return !name.empty() && sim::json::CountChars(name) <= maxChars && name != "." && name != ".." &&
           name.find_first_of("\\/:*?\"<>|") == std::string::npos;
}

// Names are compared without ASCII case.
bool SameName(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

bool ValidTime(const sim::LocalDateTime& t)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.year < 1601 || t.year > 9999 || t.month < 1 || t.month > 12) {
        return false;
    }
    const bool leapDay = t.month == 2 && t.day == 29 && t.year % 4 == 0 && (t.year % 100 != 0 || t.year % 400 == 0);
    return t.day >= 1 && (t.day <= kDays[t.month - 1] || leapDay) && t.hour >= 0 && t.hour <= 23 &&
           t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 59;
}

bool ValidPort(const std::string& port)
{
    return port.size() >= 2 && port.size() <= 15 && port.back() == ':' &&
           std::all_of(port.begin(), port.end() - 1, [](char c) { return std::isalnum(static_cast<unsigned char>(c)); });
}

void CheckValid(const sim::GpsProfile& g)
{
    FUZZ_CHECK(ValidPort(g.port));
    FUZZ_CHECK(!g.route.empty());
    for (const sim::GpsWaypoint& w : g.route) {
        FUZZ_CHECK(w.latitude >= -90 && w.latitude <= 90 && w.longitude >= -180 && w.longitude <= 180);
        FUZZ_CHECK(w.speedKmh >= 1 && w.speedKmh <= 400);
    }
    FUZZ_CHECK(g.satellites >= 0 && g.satellites <= 12);
    FUZZ_CHECK(g.altitude >= -1000 && g.altitude <= 10000);
    FUZZ_CHECK(g.replay.empty() || g.hostDevice.empty());
}

// What a run needs of a card's files: paths below its root without "." or
// ".." that the file system takes as they are, and sizes that fit.
void CheckValid(const sim::Volume& v)
{
    std::uint64_t total = 0;
    for (const sim::VolumeFile& f : v.files) {
        FUZZ_CHECK(!f.path.empty() && f.path.front() != '\\' && f.path.front() != '/');
        std::size_t start = 0;
        for (std::size_t i = 0; i <= f.path.size(); ++i) {
            if (i < f.path.size() && f.path[i] != '\\' && f.path[i] != '/') {
                continue;
            }
            const std::string name = f.path.substr(start, i - start);
            FUZZ_CHECK(!name.empty() && name != "." && name != "..");
            start = i + 1;
        }
        FUZZ_CHECK(f.sizeBytes <= v.capacityBytes - total);
        total += f.sizeBytes;
    }
    std::size_t at = 0;
    std::string why;
    FUZZ_CHECK(os::sim::CheckVolumeFiles(sim::ToVolumeConfig(v), &at, &why));
}

void CheckValid(const DeviceProfile& p)
{
    FUZZ_CHECK(p.screen.height >= 1 && p.screen.width >= p.screen.height && p.screen.width <= 32767);
    FUZZ_CHECK(p.rotation == sim::kRotation0 || p.rotation == sim::kRotation90 || p.rotation == sim::kRotation180 ||
               p.rotation == sim::kRotation270);
    FUZZ_CHECK(p.autoOrientation == 0 || p.autoOrientation == 1);
    FUZZ_CHECK(!p.model.empty() && sim::json::CountChars(p.model) <= 255);
    FUZZ_CHECK(!p.manufacturer.empty() && sim::json::CountChars(p.manufacturer) <= 255);
    FUZZ_CHECK(p.freeMemoryBytes <= p.totalMemoryBytes && p.totalMemoryBytes <= UINT32_MAX);
    for (std::size_t i = 0; i < p.volumes.size(); ++i) {
        const sim::Volume& v = p.volumes[i];
        FUZZ_CHECK(ValidName(v.name, 64) && v.capacityBytes > 0 && v.capacityBytes <= INT64_MAX);
        CheckValid(v);
        for (std::size_t k = 0; k < i; ++k) {
            FUZZ_CHECK(!SameName(p.volumes[k].name, v.name));
        }
    }
    FUZZ_CHECK(!p.languages.empty());
    for (std::size_t i = 0; i < p.languages.size(); ++i) {
        FUZZ_CHECK(ValidName(p.languages[i], 31));
        for (std::size_t k = 0; k < i; ++k) {
            FUZZ_CHECK(!SameName(p.languages[k], p.languages[i]));
        }
    }
    FUZZ_CHECK(!p.startTime || ValidTime(*p.startTime));
    if (p.gps) {
        CheckValid(*p.gps);
    }
    FUZZ_CHECK(p.camera.openError <= 0);
    FUZZ_CHECK(p.camera.encoder.timeoutAtFrame >= -1 && p.camera.encoder.timeoutAtFrame <= INT32_MAX);
    const sim::AccelerometerProfile& a = p.accelerometer;
    FUZZ_CHECK(a.noise >= 0 && a.noise <= 32767 && a.countsPerG >= 1 && a.countsPerG <= 32767);
    FUZZ_CHECK(!a.replay.empty() || a.units == sim::AccelerometerUnits::Counts);
    const std::string& number = p.phone.number;
    const std::size_t digits = number.size() - (number.starts_with('+') ? 1 : 0);
    FUZZ_CHECK(digits >= 3 && digits <= 20);
    FUZZ_CHECK(number.find_first_not_of("0123456789", number.size() - digits) == std::string::npos);
}

const char* UnitsText(sim::AccelerometerUnits units)
{
    switch (units) {
    case sim::AccelerometerUnits::Counts: return "counts";
    case sim::AccelerometerUnits::MetresPerSecondSquared: return "m/s2";
    case sim::AccelerometerUnits::G: return "g";
    }
    return "";
}

const char* FailText(os::sim::AccelerometerFailure failure)
{
    switch (failure) {
    case os::sim::AccelerometerFailure::None: return "none";
    case os::sim::AccelerometerFailure::Open: return "open";
    case os::sim::AccelerometerFailure::Read: return "read";
    }
    return "";
}

std::string TimeText(const sim::LocalDateTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

// The profile as a file would give it, every key written out.
std::string Write(const DeviceProfile& p)
{
    nlohmann::ordered_json file;
    file["screen"] = {{"width", p.screen.width}, {"height", p.screen.height}};
    file["rotation"] = p.rotation;
    file["autoOrientation"] = p.autoOrientation;
    file["model"] = p.model;
    file["manufacturer"] = p.manufacturer;
    file["totalMemory"] = p.totalMemoryBytes;
    file["freeMemory"] = p.freeMemoryBytes;
    file["volumes"] = nlohmann::ordered_json::array();
    for (const sim::Volume& v : p.volumes) {
        nlohmann::ordered_json volume = {{"name", v.name}, {"capacity", v.capacityBytes}, {"mounted", v.mounted}};
        if (!v.hostFolder.empty()) {
            volume["hostFolder"] = v.hostFolder;
        }
        if (!v.files.empty()) {
            volume["files"] = nlohmann::ordered_json::array();
        }
        for (const sim::VolumeFile& f : v.files) {
            volume["files"].push_back(
                {{"path", f.path}, {"size", f.sizeBytes}, {"readOnly", f.readOnly}, {"system", f.system}});
        }
        file["volumes"].push_back(volume);
    }
    if (p.startTime) {
        file["startTime"] = TimeText(*p.startTime);
    }
    file["languages"] = p.languages;
    nlohmann::ordered_json camera = {{"encoder", {{"failOpen", p.camera.encoder.failOpen}}}};
    if (!p.camera.video.empty()) {
        camera["video"] = p.camera.video;
    }
    if (!p.camera.still.empty()) {
        camera["still"] = p.camera.still;
    }
    if (p.camera.openError != 0) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(p.camera.openError));
        camera["openError"] = code;
    }
    if (p.camera.encoder.timeoutAtFrame >= 0) {
        camera["encoder"]["timeoutAtFrame"] = p.camera.encoder.timeoutAtFrame;
    }
    file["camera"] = camera;
    const sim::AccelerometerProfile& a = p.accelerometer;
    nlohmann::ordered_json accel = {{"resting", {{"x", a.resting.x}, {"y", a.resting.y}, {"z", a.resting.z}}},
                                    {"noise", a.noise},
                                    {"countsPerG", a.countsPerG},
                                    {"fail", FailText(a.fail)}};
    if (!a.replay.empty()) {
        accel["replay"] = a.replay;
        accel["units"] = UnitsText(a.units);
    }
    if (!a.readLog.empty()) {
        accel["readLog"] = a.readLog;
    }
    file["accelerometer"] = accel;
    file["sounds"] = p.sounds;
    file["lostWrites"] = p.lostWrites == os::sim::LostWrites::Dropped ? "dropped"
                         : p.lostWrites == os::sim::LostWrites::Zeros ? "zeros"
                                                                       : "garbage";
    file["phone"] = {{"number", p.phone.number}, {"line", p.phone.line}, {"smsFails", p.phone.smsFails}};
    file["battery"] = {{"ac", p.battery.ac}, {"percent", p.battery.percent}};
    if (!p.gps) {
        file["gps"] = nullptr;
        return file.dump(2);
    }
    const sim::GpsProfile& g = *p.gps;
    nlohmann::ordered_json gps = {{"port", g.port}, {"route", nlohmann::ordered_json::array()}, {"loop", g.loop},
                                  {"satellites", g.satellites}, {"altitude", g.altitude}};
    for (const sim::GpsWaypoint& w : g.route) {
        gps["route"].push_back({{"lat", w.latitude}, {"lon", w.longitude}, {"speed", w.speedKmh}});
    }
    if (!g.replay.empty()) {
        gps["replay"] = g.replay;
    }
    if (!g.hostDevice.empty()) {
        gps["hostDevice"] = g.hostDevice;
    }
    file["gps"] = gps;
    return file.dump(2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const DeviceProfile sentinel = Sentinel();
    DeviceProfile profile = sentinel;
    std::string error = "untouched";
    if (!sim::ParseProfile(text, kFile, &profile, &error)) {
        FUZZ_CHECK(profile == sentinel);
        FUZZ_CHECK(error.starts_with(std::string(kFile) + ": ") && error.size() > sizeof kFile + 1);
        return 0;
    }
    FUZZ_CHECK(error == "untouched");
    CheckValid(profile);
    DeviceProfile fromDefault = sim::DefaultProfile();
    FUZZ_CHECK(sim::ParseProfile(text, kFile, &fromDefault, &error) && fromDefault == profile);
    DeviceProfile reread = sentinel;
    FUZZ_CHECK(sim::ParseProfile(Write(profile), kFile, &reread, &error) && reread == profile);
    return 0;
}
