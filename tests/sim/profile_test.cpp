#include "sim/profile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tests/support/temp_folder.h"

namespace {

const std::string kSourceDir = KESTRAVA_SOURCE_DIR;

sim::DeviceProfile MustParse(const std::string& text)
{
    sim::DeviceProfile profile;
    std::string error;
    EXPECT_TRUE(sim::ParseProfile(text, "p.json", &profile, &error)) << error;
    return profile;
}

std::string ParseError(const std::string& text)
{
    sim::DeviceProfile profile;
    profile.model = "untouched";
    std::string error;
    EXPECT_FALSE(sim::ParseProfile(text, "p.json", &profile, &error)) << text;
    EXPECT_EQ(profile.model, "untouched") << "a failed parse must leave the output alone";
    return error;
}

TEST(DeviceProfile, BuiltInDefaultsDescribeAnAttachedLandscapeHandset)
{
    sim::DeviceProfile p = sim::DefaultProfile();
    EXPECT_EQ(p.screen, (sim::ScreenSize{800, 480}));
    EXPECT_EQ(p.rotation, sim::kRotation270);
    EXPECT_EQ(p.autoOrientation, 1);
    EXPECT_EQ(p.model, "SCH-M490");
    EXPECT_EQ(p.manufacturer, "SAMSUNG Electronics");
    EXPECT_GT(p.freeMemoryBytes, 10'485'760u);
    EXPECT_LE(p.freeMemoryBytes, p.totalMemoryBytes);
    ASSERT_EQ(p.volumes.size(), 1u);
    EXPECT_EQ(p.volumes[0], (sim::Volume{"Storage Card", 2'147'483'648u, true, ""}));
    EXPECT_FALSE(p.startTime.has_value());
    EXPECT_EQ(p.languages, (std::vector<std::string>{"English", "Korean"}));
}

TEST(DeviceProfile, ExampleFileMatchesTheBuiltInProfile)
{
    sim::DeviceProfile fromFile;
    std::string error;
    ASSERT_TRUE(sim::LoadProfile(kSourceDir + "/sim/profiles/default.json", &fromFile, &error)) << error;
    EXPECT_EQ(fromFile, sim::DefaultProfile());
}

TEST(DeviceProfile, FullProfileFillsEveryField)
{
    sim::DeviceProfile p = MustParse(R"({
      "description": "portrait start",
      "screen": {"width": 640, "height": 480},
      "rotation": 0,
      "autoOrientation": 0,
      "model": "SGH-i900",
      "manufacturer": "Samsung Electronics",
      "totalMemory": "4194303KB",
      "freeMemory": 9437184,
      "volumes": [
        {"name": "Storage Card", "capacity": "512MB", "mounted": false, "hostFolder": "/tmp/card"},
        {"name": "My Storage", "capacity": 1048576},
        {"name": "USB Disk", "capacity": "64KB", "mounted": true}
      ],
      "startTime": "2009-03-03T08:59:30",
      "languages": ["Korean"]
    })");
    EXPECT_EQ(p.screen, (sim::ScreenSize{640, 480}));
    EXPECT_EQ(p.rotation, 0);
    EXPECT_EQ(p.autoOrientation, 0);
    EXPECT_EQ(p.model, "SGH-i900");
    EXPECT_EQ(p.manufacturer, "Samsung Electronics");
    EXPECT_EQ(p.totalMemoryBytes, 4'294'966'272u);
    EXPECT_EQ(p.freeMemoryBytes, 9'437'184u);
    ASSERT_EQ(p.volumes.size(), 3u);
    EXPECT_EQ(p.volumes[0], (sim::Volume{"Storage Card", 536'870'912u, false, "/tmp/card"}));
    EXPECT_EQ(p.volumes[1], (sim::Volume{"My Storage", 1'048'576u, true, ""}));
    EXPECT_EQ(p.volumes[2], (sim::Volume{"USB Disk", 65'536u, true, ""}));
    EXPECT_EQ(p.startTime, (sim::LocalDateTime{2009, 3, 3, 8, 59, 30}));
    EXPECT_EQ(p.languages, std::vector<std::string>{"Korean"});
}

TEST(DeviceProfile, LeftOutKeysKeepTheDefaults)
{
    sim::DeviceProfile p = MustParse(R"({"model": "SCH-M480", "volumes": []})");
    sim::DeviceProfile expected = sim::DefaultProfile();
    expected.model = "SCH-M480";
    expected.volumes.clear();
    EXPECT_EQ(p, expected);
    EXPECT_EQ(MustParse("{}"), sim::DefaultProfile());
}

TEST(DeviceProfile, PortraitRotationsSwapTheReportedSides)
{
    sim::DeviceProfile p = sim::DefaultProfile();
    EXPECT_EQ(sim::ScreenSizeAt(p, sim::kRotation0), (sim::ScreenSize{480, 800}));
    EXPECT_EQ(sim::ScreenSizeAt(p, sim::kRotation90), (sim::ScreenSize{800, 480}));
    EXPECT_EQ(sim::ScreenSizeAt(p, sim::kRotation180), (sim::ScreenSize{480, 800}));
    EXPECT_EQ(sim::ScreenSizeAt(p, sim::kRotation270), (sim::ScreenSize{800, 480}));
}

TEST(DeviceProfile, StartTimeConvertsWithItsDayOfTheWeek)
{
    os::SYSTEMTIME st = sim::ToSystemTime(sim::LocalDateTime{2009, 3, 3, 8, 59, 30});
    EXPECT_EQ(st.wYear, 2009);
    EXPECT_EQ(st.wMonth, 3);
    EXPECT_EQ(st.wDay, 3);
    EXPECT_EQ(st.wHour, 8);
    EXPECT_EQ(st.wMinute, 59);
    EXPECT_EQ(st.wSecond, 30);
    EXPECT_EQ(st.wMilliseconds, 0);
    EXPECT_EQ(st.wDayOfWeek, 2);  // a Tuesday
    EXPECT_EQ(sim::ToSystemTime(sim::LocalDateTime{2000, 2, 29, 0, 0, 0}).wDayOfWeek, 2);
    EXPECT_EQ(sim::ToSystemTime(sim::LocalDateTime{1970, 1, 1, 0, 0, 0}).wDayOfWeek, 4);
    EXPECT_EQ(sim::ToSystemTime(sim::LocalDateTime{1601, 1, 1, 0, 0, 0}).wDayOfWeek, 1);
}

TEST(DeviceProfile, SyntaxErrorsGiveLineAndColumn)
{
    EXPECT_EQ(ParseError("{\n  \"model\": \"x\",\n}"),
              "p.json: line 3, column 1: syntax error while parsing object key - unexpected '}'; expected string "
              "literal");
    // The place is the character the parser stopped at; a multi-byte
    // character counts once.
    const std::pair<const char*, const char*> places[] = {
        {"{\n  \"rotation\": tru\n}", "p.json: line 2, column 18: "},
        {"{\"model\": \"\xc3\xa9\xc3\xa9\", x}", "p.json: line 1, column 17: "},
        {"", "p.json: line 1, column 1: "},
        {"{\"model\": \"x\"", "p.json: line 1, column 14: "},
    };
    for (const auto& [text, place] : places) {
        std::string error = ParseError(text);
        EXPECT_EQ(error.rfind(place, 0), 0u) << error;
    }
    EXPECT_EQ(ParseError("{\"freeMemory\": 1e999}"), "p.json: number overflow parsing '1e999'");
}

TEST(DeviceProfile, ContentErrorsNameTheField)
{
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"[]", "p.json: top level: expected an object"},
        {R"({"modle": "x"})",
         "p.json: modle: unknown key (expected one of: description, screen, rotation, autoOrientation, model, "
         "manufacturer, totalMemory, freeMemory, volumes, startTime, languages, gps, camera, accelerometer, sounds, "
         "lostWrites, phone, battery)"},
        {R"({"screen": {"width": 800, "hieght": 480}})",
         "p.json: screen.hieght: unknown key (expected one of: width, height)"},
        {R"({"screen": {"width": 800}})", "p.json: screen: missing key \"height\""},
        {R"({"screen": {"width": 480, "height": 800}})",
         "p.json: screen: give the landscape size (width not below height)"},
        {R"({"screen": {"width": "800", "height": 480}})", "p.json: screen.width: expected an integer from 1 to 32767"},
        {R"({"screen": {"width": 40000, "height": 480}})", "p.json: screen.width: out of range: must be from 1 to 32767"},
        {R"({"rotation": 3})", "p.json: rotation: must be 0, 1, 2 or 4 (0, 90, 180 or 270 degrees)"},
        {R"({"autoOrientation": 2})", "p.json: autoOrientation: out of range: must be from 0 to 1"},
        {R"({"model": ""})", "p.json: model: must not be empty"},
        {R"({"model": 490})", "p.json: model: expected a text"},
        {R"({"freeMemory": -1})", "p.json: freeMemory: out of range: must be from 0 to 9223372036854775807"},
        {R"({"totalMemory": "4GB"})", "p.json: totalMemory: more than the phone can report (4 GB less one byte)"},
        {R"({"totalMemory": "32MB", "freeMemory": "33MB"})", "p.json: freeMemory: more than totalMemory"},
        {R"({"freeMemory": "64 MB"})", "p.json: freeMemory: expected a size in bytes such as 2147483648, \"512MB\" or \"2GB\""},
        {R"({"totalMemory": "9999999999GB"})", "p.json: totalMemory: \"9999999999GB\" is too large"},
        {R"({"volumes": {}})", "p.json: volumes: expected a list"},
        {R"({"volumes": [{"name": "A", "capacity": "1GB"}, {"name": "B"}]})", "p.json: volumes[1]: missing key \"capacity\""},
        {R"({"volumes": [{"name": "A", "capacity": 0}]})", "p.json: volumes[0].capacity: must not be 0"},
        {R"({"volumes": [{"name": "A", "capacity": 1, "mounted": "yes"}]})",
         "p.json: volumes[0].mounted: expected true or false"},
        {R"({"volumes": [{"name": "A\\B", "capacity": 1}]})", "p.json: volumes[0].name: \"A\\B\" cannot be a folder name"},
        {R"({"volumes": [{"name": "Card", "capacity": 1}, {"name": "CARD", "capacity": 1}]})",
         "p.json: volumes[1].name: volume \"CARD\" given twice"},
        {R"({"startTime": "2009-03-03 08:59:30"})",
         "p.json: startTime: expected a local time such as \"2009-03-03T08:59:30\""},
        {R"({"startTime": "2009-02-29T08:59:30"})", "p.json: startTime: \"2009-02-29T08:59:30\" is not a valid date and time"},
        {R"({"startTime": "2009-03-03T24:00:00"})", "p.json: startTime: \"2009-03-03T24:00:00\" is not a valid date and time"},
        {R"({"languages": []})", "p.json: languages: at least one language is needed"},
        {R"({"languages": ["English", "english"]})", "p.json: languages[1]: language \"english\" given twice"},
        {R"({"model": "a", "model": "b"})", "p.json: model: key given twice"},
        {R"({"volumes": [{"name": "A", "capacity": 1}, {"name": "B", "capacity": 1, "capacity": 2}]})",
         "p.json: volumes[1].capacity: key given twice"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseError(c.text), c.error);
    }
}

TEST(DeviceProfile, LoadNamesTheFileItCannotReadOrParse)
{
    sim::DeviceProfile profile;
    std::string error;
    EXPECT_FALSE(sim::LoadProfile("/nonexistent/p.json", &profile, &error));
    EXPECT_EQ(error, "/nonexistent/p.json: cannot open: No such file or directory");
    EXPECT_FALSE(sim::LoadProfile(kSourceDir + "/sim/profiles", &profile, &error));
    EXPECT_EQ(error.rfind(kSourceDir + "/sim/profiles: cannot read", 0), 0u) << error;
    EXPECT_EQ(profile, sim::DeviceProfile{});
}

TEST(DeviceProfile, FindsVolumesWithoutCase)
{
    sim::DeviceProfile p = sim::DefaultProfile();
    ASSERT_NE(sim::FindVolume(p, "storage card"), nullptr);
    EXPECT_EQ(sim::FindVolume(p, "storage card")->name, "Storage Card");
    EXPECT_EQ(sim::FindVolume(p, "Storage"), nullptr);
}

}  // namespace

namespace {

TEST(DeviceProfileGps, BuiltInReceiverDrivesALoopOnCom4)
{
    const sim::DeviceProfile p = sim::DefaultProfile();
    ASSERT_TRUE(p.gps.has_value());
    EXPECT_EQ(p.gps->port, "COM4:");
    EXPECT_GE(p.gps->route.size(), 2u);
    EXPECT_TRUE(p.gps->loop);
    EXPECT_EQ(p.gps->satellites, 8);
    EXPECT_TRUE(p.gps->replay.empty());
    EXPECT_TRUE(p.gps->hostDevice.empty());
}

TEST(DeviceProfileGps, SectionReplacesTheBuiltInReceiverKeyByKey)
{
    sim::DeviceProfile p = MustParse(R"({"gps": {
        "port": "GPD1:",
        "route": [{"lat": -33.8568, "lon": 151.2153, "speed": 60}, {"lat": -33.8523, "lon": -151.2108}],
        "loop": false,
        "satellites": 4,
        "altitude": -12.5
    }})");
    ASSERT_TRUE(p.gps.has_value());
    EXPECT_EQ(p.gps->port, "GPD1:");
    ASSERT_EQ(p.gps->route.size(), 2u);
    EXPECT_EQ(p.gps->route[0], (sim::GpsWaypoint{-33.8568, 151.2153, 60}));
    EXPECT_EQ(p.gps->route[1], (sim::GpsWaypoint{-33.8523, -151.2108, 50})) << "speed left out: 50 km/h";
    EXPECT_FALSE(p.gps->loop);
    EXPECT_EQ(p.gps->satellites, 4);
    EXPECT_EQ(p.gps->altitude, -12.5);

    p = MustParse(R"({"gps": {"replay": "drive.log"}})");
    EXPECT_EQ(p.gps->replay, "drive.log");
    EXPECT_EQ(p.gps->route, sim::DefaultProfile().gps->route);
    p = MustParse(R"({"gps": {"hostDevice": "/dev/ttyUSB0"}})");
    EXPECT_EQ(p.gps->hostDevice, "/dev/ttyUSB0");
    EXPECT_FALSE(MustParse(R"({"gps": null})").gps.has_value()) << "null: a handset without GPS";
}

TEST(DeviceProfileGps, ContentErrorsNameTheField)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"({"gps": {"port": "COM 4:"}})",
         "p.json: gps.port: expected a port name such as \"COM4:\" (letters and digits, then a colon)"},
        {R"({"gps": {"port": "COM4"}})",
         "p.json: gps.port: expected a port name such as \"COM4:\" (letters and digits, then a colon)"},
        {R"({"gps": {"port": "COM4567890123456:"}})", "p.json: gps.port: longer than 15 characters"},
        {R"({"gps": {"route": []}})", "p.json: gps.route: at least one waypoint is needed"},
        {R"({"gps": {"route": [{"lat": 91, "lon": 0}]}})", "p.json: gps.route[0].lat: out of range: must be from -90 to 90"},
        {R"({"gps": {"route": [{"lat": 0, "lon": 0}, {"lat": 0}]}})", "p.json: gps.route[1]: missing key \"lon\""},
        {R"({"gps": {"route": [{"lat": 0, "lon": "east"}]}})", "p.json: gps.route[0].lon: expected a number from -180 to 180"},
        {R"({"gps": {"route": [{"lat": 0, "lon": 0, "speed": 0}]}})",
         "p.json: gps.route[0].speed: out of range: must be from 1 to 400"},
        {R"({"gps": {"route": [{"lat": 0, "lon": 0, "kmh": 5}]}})",
         "p.json: gps.route[0].kmh: unknown key (expected one of: lat, lon, speed)"},
        {R"({"gps": {"satellites": 13}})", "p.json: gps.satellites: out of range: must be from 0 to 12"},
        {R"({"gps": {"replay": "a.log", "hostDevice": "/dev/ttyS0"}})",
         "p.json: gps.hostDevice: give either replay or hostDevice, not both"},
        {R"({"gps": true})", "p.json: gps: expected an object"},
    };
    for (const auto& [text, error] : cases) {
        EXPECT_EQ(ParseError(text), error);
    }
}

TEST(DeviceProfileGps, RelativeReplayIsTakenFromTheProfilesFolder)
{
    testing_support::TempFolder folder;
    const std::string path = folder.Path() + "/phone.json";
    sim::DeviceProfile p;
    std::string error;
    std::ofstream(path) << R"({"gps": {"replay": "logs/drive.log"}})";
    ASSERT_TRUE(sim::LoadProfile(path, &p, &error)) << error;
    EXPECT_EQ(p.gps->replay, folder.Path() + "/logs/drive.log");
    std::ofstream(path) << R"({"gps": {"replay": "/data/drive.log"}})";
    ASSERT_TRUE(sim::LoadProfile(path, &p, &error)) << error;
    EXPECT_EQ(p.gps->replay, "/data/drive.log");
}

}  // namespace

namespace {

// "N12", "n12": built by appending, which GCC 12 at -O3 does not misread as
// overlapping copies as it does "N" + text.
std::string Name(char letter, std::size_t number)
{
    std::string name(1, letter);
    return name.append(std::to_string(number));
}

// A profile with `count` languages or volumes named N0, N1, ...; `repeat`
// (if any) is added last, to be found as a repetition of an earlier name.
std::string LongListProfile(const char* key, std::size_t count, const std::string& repeat)
{
    const bool volumes = std::string(key) == "volumes";
    std::string text = std::string("{\"") + key + "\": [";
    auto add = [&](const std::string& name, bool first) {
        if (!first) text += ",";
        text.append(volumes ? "{\"name\": \"" : "\"").append(name);
        text.append(volumes ? "\", \"capacity\": \"1MB\"}" : "\"");
    };
    for (std::size_t i = 0; i < count; ++i) add(Name('N', i), i == 0);
    if (!repeat.empty()) add(repeat, false);
    return text + "]}";
}

TEST(DeviceProfile, LongListsKeepEveryNameAndFindTheOneGivenTwice)
{
    struct Case {
        const char* key;
        std::size_t count;
    };
    for (const Case c : {Case{"languages", 200'000}, Case{"volumes", 20'000}}) {
        const std::string key = c.key;
        auto size = [&](const sim::DeviceProfile& p) { return key == "volumes" ? p.volumes.size() : p.languages.size(); };
        // N1 and N10, N2 and N20...: names that begin alike are different names.
        EXPECT_EQ(size(MustParse(LongListProfile(c.key, c.count, ""))), c.count) << key;
        const sim::DeviceProfile longer = MustParse(LongListProfile(c.key, c.count, Name('N', c.count)));
        EXPECT_EQ(size(longer), c.count + 1) << key;
        if (key == "volumes") {
            const sim::Volume* last = sim::FindVolume(longer, Name('n', c.count));
            ASSERT_NE(last, nullptr);
            EXPECT_EQ(last, &longer.volumes.back());
        }
        // The same name in other letters is the same name.
        const std::string again = Name('n', c.count / 2);
        const std::string error = ParseError(LongListProfile(c.key, c.count, again));
        EXPECT_EQ(error.rfind("p.json: " + key + "[" + std::to_string(c.count) + "]", 0), 0u) << error;
        EXPECT_NE(error.find("\"" + again + "\""), std::string::npos) << error;
    }
}

}  // namespace

namespace {

// A profile whose one volume holds the given files.
std::string CardWithFiles(const std::string& files, const std::string& capacity = "\"64MB\"")
{
    return R"({"volumes": [{"name": "Storage Card", "capacity": )" + capacity + R"(, "files": [)" + files + "]}]}";
}

TEST(DeviceProfile, VolumeFilesAreReadAndEveryBadOneIsRefusedAtItsPlace)
{
    const sim::DeviceProfile good = MustParse(CardWithFiles(R"(
        {"path": "Ardvane\\20090301\\080000\\080000_20090301.avi", "size": "30MB", "readOnly": true, "system": false},
        {"path": "Ardvane/20090301/Event/080030_20090301.avi", "size": 1048576, "system": true},
        {"path": "empty.txt", "size": 0},
        {"path": ")" + std::string(246, 'n') + R"(", "size": "34603008"})"));
    ASSERT_EQ(good.volumes.size(), 1u);
    EXPECT_EQ(good.volumes[0].files,
              (std::vector<sim::VolumeFile>{
                  {"Ardvane\\20090301\\080000\\080000_20090301.avi", 30 * sim::kMegabyte, true, false},
                  {"Ardvane/20090301/Event/080030_20090301.avi", sim::kMegabyte, false, true},
                  {"empty.txt", 0, false, false},
                  {std::string(246, 'n'), 33 * sim::kMegabyte, false, false}}))
        << "the sizes fill the card exactly, and \\Storage Card\\ and the long name make 260 characters";
    EXPECT_TRUE(MustParse(CardWithFiles("")).volumes[0].files.empty());
    // "files" before "capacity" in the volume still has its sum checked.
    const std::string filesFirst =
        R"({"volumes": [{"files": [{"path": "a", "size": "2MB"}], "name": "Small", "capacity": "1MB"}]})";

    struct Case {
        std::string text;
        std::string place;  // where the error points
    };
    const auto one = [](const std::string& file) { return CardWithFiles(file); };
    const Case cases[] = {
        {one(R"({"size": 1})"), "volumes[0].files[0]"},
        {one(R"({"path": "a"})"), "volumes[0].files[0]"},
        {one(R"({"path": "a", "size": 1, "readonly": true})"), "volumes[0].files[0].readonly"},
        {one(R"({"path": "a", "size": 1, "readOnly": "yes"})"), "volumes[0].files[0].readOnly"},
        {one(R"({"path": "a", "size": 1, "system": 1})"), "volumes[0].files[0].system"},
        {one(R"({"path": "a", "size": -1})"), "volumes[0].files[0].size"},
        {one(R"({"path": "a", "size": "30XB"})"), "volumes[0].files[0].size"},
        {one(R"({"path": 5, "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "\\Ardvane\\x.avi", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "/x.avi", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a\\\\b", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a/", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a\\.\\b", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "..\\b", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a/..", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a:b", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a\\b*", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a?", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "<a>", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a|b", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a\"b", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": "a\u0001b", "size": 1})"), "volumes[0].files[0].path"},
        {one(R"({"path": ")" + std::string(247, 'n') + R"(", "size": 1})"), "volumes[0].files[0].path"},
        {CardWithFiles(R"({"path": "Ardvane\\X.avi", "size": 1}, {"path": "ardvane/x.AVI", "size": 1})"),
         "volumes[0].files[1].path"},
        // Greek letters compare without case on the device too.
        {CardWithFiles(R"({"path": "ΑΡΧΕΙΟ", "size": 1}, {"path": "αρχειο", "size": 1})"), "volumes[0].files[1].path"},
        {CardWithFiles(R"({"path": "a", "size": 1}, {"path": "A\\b", "size": 1})"), "volumes[0].files[1].path"},
        {CardWithFiles(R"({"path": "a\\b\\c", "size": 1}, {"path": "A/B", "size": 1})"), "volumes[0].files[1].path"},
        {CardWithFiles(R"({"path": "a", "size": "40MB"}, {"path": "b", "size": "24MB"}, {"path": "c", "size": 1})"),
         "volumes[0].files"},
        {filesFirst, "volumes[0].files"},
        {R"({"volumes": [{"name": "Storage Card", "capacity": "1MB", "files": {}}]})", "volumes[0].files"},
    };
    for (const Case& c : cases) {
        sim::DeviceProfile profile = good;
        std::string error;
        EXPECT_FALSE(sim::ParseProfile(c.text, "p.json", &profile, &error)) << c.text;
        EXPECT_EQ(profile, good) << "a refused profile changes nothing: " << c.text;
        EXPECT_EQ(error.rfind("p.json: " + c.place + ": ", 0), 0u) << c.text << "\n" << error;
    }
    // Too many bytes for the card: the volume is named.
    EXPECT_NE(ParseError(filesFirst).find("\"Small\""), std::string::npos) << ParseError(filesFirst);
}

}  // namespace

namespace {

TEST(DeviceProfilePhone, SoundsAndPhoneSectionsAreReadKeyByKey)
{
    const sim::DeviceProfile defaults = MustParse("{}");
    EXPECT_TRUE(defaults.sounds);
    EXPECT_EQ(defaults.phone, sim::PhoneProfile{});
    EXPECT_TRUE(defaults.phone.line);
    EXPECT_FALSE(defaults.phone.smsFails);

    sim::DeviceProfile p = MustParse(R"({"sounds": false, "phone": {"number": "01099998888", "smsFails": true}})");
    EXPECT_FALSE(p.sounds);
    EXPECT_EQ(p.phone, (sim::PhoneProfile{"01099998888", true, true}));
    p = MustParse(R"({"phone": {"line": false}})");
    EXPECT_EQ(p.phone, (sim::PhoneProfile{"+821012345678", false, false}));
    EXPECT_EQ(p.battery, (sim::BatteryProfile{true, 100}));
    p = MustParse(R"({"battery": {"ac": false, "percent": 0}})");
    EXPECT_EQ(p.battery, (sim::BatteryProfile{false, 0}));
}

TEST(DeviceProfilePhone, ContentErrorsNameTheField)
{
    const std::string notANumber = "not a phone number (\"+\" and 3 to 20 digits, or the digits alone)";
    const std::pair<const char*, std::string> cases[] = {
        {R"({"sounds": "yes"})", "p.json: sounds: expected true or false"},
        {R"({"phone": true})", "p.json: phone: expected an object"},
        {R"({"phone": {"number": "+82 10 1234"}})", "p.json: phone.number: " + notANumber},
        {R"({"phone": {"number": "+"}})", "p.json: phone.number: " + notANumber},
        {R"({"phone": {"number": "12"}})", "p.json: phone.number: " + notANumber},
        {R"({"phone": {"number": "1+2345"}})", "p.json: phone.number: " + notANumber},
        {R"({"phone": {"number": "123456789012345678901"}})", "p.json: phone.number: " + notANumber},
        {R"({"phone": {"number": "+1234567890123456789012"}})", "p.json: phone.number: longer than 21 characters"},
        {R"({"phone": {"number": ""}})", "p.json: phone.number: must not be empty"},
        {R"({"phone": {"line": 1}})", "p.json: phone.line: expected true or false"},
        {R"({"phone": {"smsFail": true}})",
         "p.json: phone.smsFail: unknown key (expected one of: number, line, smsFails)"},
        {R"({"battery": {"percent": 101}})", "p.json: battery.percent: out of range: must be from 0 to 100"},
    };
    for (const auto& [text, error] : cases) {
        EXPECT_EQ(ParseError(text), error) << text;
    }
}

}  // namespace
