#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/registry.h"
#include "platform/windows/window.h"
#include "sim/profile.h"

namespace {

const std::string kSourceDir = KESTRAVA_SOURCE_DIR;

sim::Scenario MustParse(const std::string& text)
{
    sim::Scenario scenario;
    std::string error;
    EXPECT_TRUE(sim::ParseScenario(text, "s.json", &scenario, &error)) << error;
    return scenario;
}

std::string ParseError(const std::string& text)
{
    sim::Scenario scenario = sim::DefaultScenario();
    std::string error;
    EXPECT_FALSE(sim::ParseScenario(text, "s.json", &scenario, &error)) << text;
    EXPECT_EQ(scenario, sim::DefaultScenario()) << "a failed parse must leave the output alone";
    return error;
}

std::string WithEvent(const std::string& event)
{
    return R"({"events": [{"at": 0, "do": "resume"}, )" + event + "]}";
}

sim::ScenarioEvent Event(std::int64_t atMs, sim::EventKind kind, std::size_t source)
{
    sim::ScenarioEvent e;
    e.atMs = atMs;
    e.kind = kind;
    e.source = source;
    return e;
}

sim::ScenarioEvent ExitButton(std::int64_t atMs, std::size_t source)
{
    sim::ScenarioEvent e = Event(atMs, sim::EventKind::End, source);
    e.msg = os::WM_COMMAND;
    e.wParam = 40007;
    e.lParam = 7;
    return e;
}

TEST(Scenario, BuiltInScenarioRunsOneMinuteThenPressesExit)
{
    EXPECT_EQ(sim::DefaultScenario().events, std::vector<sim::ScenarioEvent>{ExitButton(60'000, 0)});
}

TEST(Scenario, ExampleFileMatchesTheBuiltInScenario)
{
    sim::Scenario fromFile;
    std::string error;
    ASSERT_TRUE(sim::LoadScenario(kSourceDir + "/sim/scenarios/default.json", &fromFile, &error)) << error;
    EXPECT_EQ(fromFile, sim::DefaultScenario());
}

TEST(Scenario, EveryKindOfEventParsesIntoItsRecord)
{
    sim::Scenario s = MustParse(R"({
      "description": "all kinds",
      "events": [
        {"at": 1, "do": "post", "msg": "WM_RECORDER_GPS_PORT_CLOSE"},
        {"at": "2s", "do": "send", "window": "TarvoAccSmsCancel", "msg": 10539, "wParam": "0x1", "lParam": -5},
        {"at": "3000ms", "do": "command", "id": "IDM_BUTTON", "lParam": 8},
        {"at": "4s", "do": "touch_down", "x": 130, "y": 60},
        {"at": "5s", "do": "touch_up", "x": 131, "y": 61},
        {"at": "6s", "do": "key_down", "vk": "VK_RETURN"},
        {"at": "7s", "do": "key_up", "vk": 227},
        {"at": "8s", "do": "unmount", "volume": "Storage Card"},
        {"at": "9s", "do": "mount", "volume": "Storage Card"},
        {"at": "10s", "do": "call_start"},
        {"at": "11s", "do": "call_end"},
        {"at": "12s", "do": "power_transition", "flags": "0x400000", "state": "unattended"},
        {"at": "13s", "do": "power_transition", "flags": "POWER_STATE_ON|POWER_STATE_BACKLIGHTON|POWER_STATE_PASSWORD"},
        {"at": "14s", "do": "resume"},
        {"at": "15s", "do": "power_info", "ac": false, "percent": 14},
        {"at": "16s", "do": "power_info", "ac": true},
        {"at": "17s", "do": "rotation", "value": 0},
        {"at": "18s", "do": "message_box", "answer": "cancel"},
        {"at": "19s", "do": "message_box", "answer": 6},
        {"at": "20s", "do": "dialog_command", "id": "IDCANCEL"},
        {"at": "21s", "do": "gps_fix_lost"},
        {"at": "22s", "do": "gps_fix_back"},
        {"at": "23s", "do": "gps_garbage"},
        {"at": "24s", "do": "gps_garbage", "bytes": 4096},
        {"at": "0:00:25", "do": "end"}
      ]
    })");
    using K = sim::EventKind;
    std::vector<sim::ScenarioEvent> expected;
    auto add = [&](K kind) -> sim::ScenarioEvent& {
        std::size_t n = expected.size();
        expected.push_back(Event(static_cast<std::int64_t>(n + 1) * 1000, kind, n));
        return expected.back();
    };
    add(K::PostMessage).msg = 10436;
    sim::ScenarioEvent& send = add(K::SendMessage);
    send.window = "TarvoAccSmsCancel";
    send.msg = 10539;
    send.wParam = 1;
    send.lParam = -5;
    sim::ScenarioEvent& command = add(K::Command);
    command.msg = os::WM_COMMAND;
    command.wParam = 40007;
    command.lParam = 8;
    sim::ScenarioEvent& down = add(K::TouchDown);
    down.x = 130;
    down.y = 60;
    sim::ScenarioEvent& up = add(K::TouchUp);
    up.x = 131;
    up.y = 61;
    add(K::KeyDown).vk = 13;
    add(K::KeyUp).vk = 227;
    add(K::Unmount).volume = "Storage Card";
    add(K::Mount).volume = "Storage Card";
    add(K::CallStart);
    add(K::CallEnd);
    sim::ScenarioEvent& unattended = add(K::PowerTransition);
    unattended.powerFlags = 0x400000;
    unattended.powerState = "unattended";
    add(K::PowerTransition).powerFlags = 0x12010000;
    add(K::Resume);
    sim::ScenarioEvent& battery = add(K::PowerInfo);
    battery.batteryPercent = 14;
    sim::ScenarioEvent& mains = add(K::PowerInfo);
    mains.onAc = true;
    mains.batteryPercent = 100;
    add(K::Rotation).rotation = 0;
    add(K::MessageBoxAnswer).answer = sim::kAnswerCancel;
    add(K::MessageBoxAnswer).answer = sim::kAnswerYes;
    sim::ScenarioEvent& dialog = add(K::DialogCommand);
    dialog.msg = os::WM_COMMAND;
    dialog.wParam = 2;
    add(K::GpsFixLost);
    add(K::GpsFixBack);
    add(K::GpsGarbage).garbageBytes = 64;
    add(K::GpsGarbage).garbageBytes = 4096;
    expected.push_back(ExitButton(25'000, expected.size()));
    ASSERT_EQ(s.events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s.events[i], expected[i]) << "event " << i;
    }
}

TEST(Scenario, EventsAreSortedByTimeKeepingFileOrderForEqualTimes)
{
    // Enough events that a sort which is not stable would show it.
    const std::int64_t times[] = {2, 1, 2, 0, 1};
    std::string text = R"({"events": [)";
    for (std::size_t i = 0; i < 40; ++i) {
        text += (i == 0 ? "" : ", ") + std::string(R"({"do": "resume", "at": ")") +
                std::to_string(times[i % 5] * 1000) + R"(ms"})";
    }
    sim::Scenario s = MustParse(text + "]}");
    ASSERT_EQ(s.events.size(), 40u);
    std::size_t n = 0;
    for (std::int64_t t = 0; t <= 2; ++t) {
        for (std::size_t i = 0; i < 40; ++i) {
            if (times[i % 5] == t) {
                EXPECT_EQ(s.events[n].source, i) << "position " << n;
                EXPECT_EQ(s.events[n].atMs, t * 1000);
                ++n;
            }
        }
    }
}

TEST(Scenario, PressesBecomeDownAndUpAfterTheirHoldTime)
{
    sim::Scenario s = MustParse(R"({"events": [
        {"at": "1s", "do": "tap", "x": 10, "y": 20},
        {"at": "1050ms", "do": "call_start"},
        {"at": "3s", "do": "key", "vk": 13, "hold": "2s"},
        {"at": "4s", "do": "tap", "x": 1, "y": 2, "hold": "0ms"}
    ]})");
    using K = sim::EventKind;
    std::vector<std::pair<std::int64_t, K>> seen;
    for (const sim::ScenarioEvent& e : s.events) {
        seen.emplace_back(e.atMs, e.kind);
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::int64_t, K>>{{1000, K::TouchDown},
                                                             {1050, K::CallStart},
                                                             {1100, K::TouchUp},
                                                             {3000, K::KeyDown},
                                                             {4000, K::TouchDown},
                                                             {4000, K::TouchUp},
                                                             {5000, K::KeyUp}}));
    EXPECT_EQ(s.events[2].x, 10);
    EXPECT_EQ(s.events[2].y, 20);
    EXPECT_EQ(s.events[2].source, 0u);
    EXPECT_EQ(s.events[6].vk, 13u);
}

TEST(Scenario, SyntaxErrorsGiveLineAndColumn)
{
    EXPECT_EQ(ParseError("{\"events\": [\n  {\"at\": 1, \"do\": \"end\"}\n  {\"at\": 2}\n]}"),
              "s.json: line 3, column 3: syntax error while parsing array - unexpected '{'; expected ']'");
}

TEST(Scenario, ContentErrorsNameTheEventAndField)
{
    struct Case {
        std::string text;
        const char* error;
    };
    const Case cases[] = {
        {R"({"description": "no events"})", "s.json: top level: missing key \"events\""},
        {R"({"events": [], "evnts": []})", "s.json: evnts: unknown key (expected one of: description, events)"},
        {WithEvent("3"), "s.json: events[1]: expected an object"},
        {WithEvent(R"({"at": 1})"), "s.json: events[1]: missing key \"do\""},
        {WithEvent(R"({"do": "end"})"), "s.json: events[1]: missing key \"at\""},
        {WithEvent(R"({"at": 1, "do": "explode"})"),
         "s.json: events[1].do: unknown event \"explode\" (expected one of: post, send, command, tap, touch_down, "
         "touch_up, key, key_down, key_up, mount, unmount, call_start, call_end, power_transition, resume, "
         "power_info, rotation, message_box, dialog_command, gps_fix_lost, gps_fix_back, gps_garbage, camera_stall, "
         "mic_stall, encoder_timeout, shock, screenshot, photo, choose, check, type, menu_command, sheet_page, "
         "registry, fill, power_cut, end)"},
        {WithEvent(R"({"at": 1, "do": 5})"), nullptr},
        {WithEvent(R"({"at": 1, "do": "screenshot", "file": "../up.png"})"),
         "s.json: events[1].file: not a file name ending in \".png\" (letters, digits, '-', '_' and '.')"},
        {WithEvent(R"({"at": 1, "do": "screenshot", "file": "shot.jpg"})"),
         "s.json: events[1].file: not a file name ending in \".png\" (letters, digits, '-', '_' and '.')"},
        {WithEvent(R"({"at": "1.5s", "do": "end"})"),
         "s.json: events[1].at: bad duration \"1.5s\" (write 90, 90s, 1500ms, 10m, 1h or 0:01:30)"},
        {WithEvent(R"({"at": -1, "do": "end"})"), "s.json: events[1].at: out of range: must be from 0 to 9223372036854"},
        {WithEvent(R"({"at": true, "do": "end"})"),
         "s.json: events[1].at: expected a time such as 90, \"90s\", \"1500ms\", \"10m\", \"1h\" or \"0:01:30\""},
        {WithEvent(R"({"at": 1, "do": "tap", "x": 5, "z": 1})"),
         "s.json: events[1].z: unknown key (expected one of: at, do, x, y, hold)"},
        {WithEvent(R"({"at": 1, "do": "touch_down", "x": 5})"), "s.json: events[1]: missing key \"y\""},
        {WithEvent(R"({"at": 1, "do": "touch_up", "x": 5, "y": 40000})"),
         "s.json: events[1].y: out of range: must be from 0 to 32767"},
        {WithEvent(R"({"at": 1, "do": "tap", "x": 5, "y": 1.5})"), "s.json: events[1].y: expected an integer from 0 to 32767"},
        {WithEvent(R"({"at": 1, "do": "post", "msg": "WM_CLOZE"})"),
         "s.json: events[1].msg: \"WM_CLOZE\" is not a number or a known name"},
        {WithEvent(R"({"at": 1, "do": "post", "msg": 16, "lParam": 5000000000})"),
         "s.json: events[1].lParam: out of range: must be from -2147483648 to 4294967295"},
        {WithEvent(R"({"at": 1, "do": "command", "id": "0x10000"})"),
         "s.json: events[1].id: \"0x10000\" is out of range: must be from 0 to 65535"},
        {WithEvent(R"({"at": 1, "do": "send", "msg": 16, "window": ""})"), "s.json: events[1].window: must not be empty"},
        {WithEvent(R"({"at": 1, "do": "key_down", "vk": 0})"), "s.json: events[1].vk: out of range: must be from 1 to 254"},
        {WithEvent(R"({"at": 1, "do": "mount"})"), "s.json: events[1]: missing key \"volume\""},
        {WithEvent(R"({"at": 1, "do": "call_start", "number": "123"})"),
         "s.json: events[1].number: unknown key (expected one of: at, do)"},
        {WithEvent(R"({"at": 1, "do": "power_transition", "state": "on"})"), "s.json: events[1]: missing key \"flags\""},
        {WithEvent(R"({"at": 1, "do": "power_transition", "flags": 0, "state": "back light"})"),
         "s.json: events[1].state: a power state name has only ASCII letters, digits, '_' and '-'"},
        {WithEvent(R"({"at": 1, "do": "power_info", "ac": false, "percent": 101})"),
         "s.json: events[1].percent: out of range: must be from 0 to 100"},
        {WithEvent(R"({"at": 1, "do": "rotation", "value": 3})"),
         "s.json: events[1].value: must be 0, 1, 2 or 4 (0, 90, 180 or 270 degrees)"},
        {WithEvent(R"({"at": 1, "do": "message_box", "answer": "maybe"})"),
         "s.json: events[1].answer: expected \"ok\", \"cancel\", \"yes\", \"no\" or a number from 1 to 11"},
        {WithEvent(R"({"at": 1, "do": "message_box", "answer": 12})"),
         "s.json: events[1].answer: expected \"ok\", \"cancel\", \"yes\", \"no\" or a number from 1 to 11"},
        {WithEvent(R"({"at": 1, "do": "dialog_command"})"), "s.json: events[1]: missing key \"id\""},
        {WithEvent(R"({"at": 1, "do": "dialog_command", "id": 1, "lParam": 5})"),
         "s.json: events[1].lParam: unknown key (expected one of: at, do, id)"},
        {WithEvent(R"({"at": 1, "do": "dialog_command", "id": 65536})"),
         "s.json: events[1].id: out of range: must be from 0 to 65535"},
        {WithEvent(R"({"at": 1, "do": "gps_garbage", "bytes": 0})"),
         "s.json: events[1].bytes: out of range: must be from 1 to 4096"},
        {WithEvent(R"({"at": 1, "do": "gps_fix_lost", "for": "10s"})"),
         "s.json: events[1].for: unknown key (expected one of: at, do)"},
        {WithEvent(R"({"at": 1, "do": "end", "at": 2})"), "s.json: events[1].at: key given twice"},
        {WithEvent(R"({"at": "2562047788h", "do": "tap", "x": 1, "y": 1, "hold": "1h"})"),
         "s.json: events[1].hold: the release would come after the latest device time"},
    };
    for (const Case& c : cases) {
        std::string error = ParseError(c.text);
        if (c.error != nullptr) {
            EXPECT_EQ(error, c.error);
        } else {
            EXPECT_EQ(error.rfind("s.json: events[1].do: unknown event 5 ", 0), 0u) << error;
        }
    }
}

TEST(Scenario, VolumesMustBeThoseOfTheProfile)
{
    sim::Scenario s = MustParse(R"({"events": [
        {"at": 1, "do": "unmount", "volume": "storage card"},
        {"at": 2, "do": "mount", "volume": "SD"}
    ]})");
    std::string error;
    EXPECT_FALSE(sim::CheckScenarioVolumes(s, sim::DefaultProfile(), "s.json", &error));
    EXPECT_EQ(error, "s.json: events[1].volume: no volume \"SD\" in the profile");
    s.events.pop_back();
    EXPECT_TRUE(sim::CheckScenarioVolumes(s, sim::DefaultProfile(), "s.json", &error));
}

TEST(Scenario, RegistryAndFillEventsReadTheirValuesAndRefuseBadOnesAtTheirPlace)
{
    const sim::Scenario s = MustParse(R"({"events": [
        {"at": "10s", "do": "registry", "name": "SplitTimeSec", "dword": 60},
        {"at": "10s", "do": "registry", "name": "SelectDisk", "string": "Storage Card"},
        {"at": 0, "do": "registry", "string": "x", "name": "Langauge"},
        {"at": "1m", "do": "registry", "name": "FreeSpaceMB", "dword": 4294967295},
        {"at": "20s", "do": "fill", "volume": "Storage Card", "bytes": "1500MB"},
        {"at": "21s", "do": "fill", "volume": "Storage Card", "bytes": 4096},
        {"at": "22s", "do": "fill", "volume": "Storage Card", "bytes": "0"}
    ]})");
    ASSERT_EQ(s.events.size(), 7u);
    auto registry = [](std::int64_t atMs, std::size_t source, const char* name, os::DWORD type, os::DWORD dword,
                       const char* text) {
        sim::ScenarioEvent e = Event(atMs, sim::EventKind::Registry, source);
        e.valueName = name;
        e.valueType = type;
        e.dword = dword;
        e.text = text;
        return e;
    };
    auto fill = [](std::int64_t atMs, std::size_t source, std::uint64_t bytes) {
        sim::ScenarioEvent e = Event(atMs, sim::EventKind::Fill, source);
        e.volume = "Storage Card";
        e.fillBytes = bytes;
        return e;
    };
    const std::vector<sim::ScenarioEvent> expected = {
        registry(0, 2, "Langauge", os::REG_SZ, 0, "x"),
        registry(10'000, 0, "SplitTimeSec", os::REG_DWORD, 60, ""),
        registry(10'000, 1, "SelectDisk", os::REG_SZ, 0, "Storage Card"),
        fill(20'000, 4, 1500ull << 20),
        fill(21'000, 5, 4096),
        fill(22'000, 6, 0),
        registry(60'000, 3, "FreeSpaceMB", os::REG_DWORD, UINT32_MAX, ""),
    };
    EXPECT_EQ(s.events, expected);

    // Each refusal names the event, and the key where one is at fault.
    struct Case {
        std::string event;
        const char* place;
    };
    const std::string longName(256, 'n');
    const Case refused[] = {
        {R"({"at": 1, "do": "registry", "name": "SplitTimeSec"})", "events[1]: "},
        {R"({"at": 1, "do": "registry", "dword": 5})", "events[1]: "},
        {R"({"at": 1, "do": "registry", "name": "A", "dword": 1, "string": "1"})", "events[1].string: "},
        {R"({"at": 1, "do": "registry", "name": "A", "qword": 1})", "events[1].qword: "},
        {R"({"at": 1, "do": "registry", "name": "A", "binary": "00ff"})", "events[1].binary: "},
        {R"({"at": 1, "do": "registry", "name": "A", "dword": "sixty"})", "events[1].dword: "},
        {R"({"at": 1, "do": "registry", "name": "A", "dword": -1})", "events[1].dword: "},
        {R"({"at": 1, "do": "registry", "name": "A", "dword": 4294967296})", "events[1].dword: "},
        {R"({"at": 1, "do": "registry", "name": "A", "string": 5})", "events[1].string: "},
        {R"({"at": 1, "do": "registry", "name": "A", "string": ""})", "events[1].string: "},
        {R"({"at": 1, "do": "registry", "name": 7, "dword": 1})", "events[1].name: "},
        {R"({"at": 1, "do": "registry", "name": ")" + longName + R"(", "dword": 1})", "events[1].name: "},
        {R"({"at": 1, "do": "fill", "volume": "Storage Card"})", "events[1]: "},
        {R"({"at": 1, "do": "fill", "bytes": "1MB"})", "events[1]: "},
        {R"({"at": 1, "do": "fill", "volume": "Storage Card", "bytes": "1.5GB"})", "events[1].bytes: "},
        {R"({"at": 1, "do": "fill", "volume": "Storage Card", "bytes": -5})", "events[1].bytes: "},
        {R"({"at": 1, "do": "fill", "volume": "Storage Card", "bytes": "9999999999GB"})", "events[1].bytes: "},
        {R"({"at": 1, "do": "fill", "volume": "Storage Card", "bytes": true})", "events[1].bytes: "},
        {R"({"at": 1, "do": "fill", "volume": "", "bytes": 1})", "events[1].volume: "},
    };
    for (const Case& c : refused) {
        const std::string error = ParseError(WithEvent(c.event));
        EXPECT_EQ(error.rfind(std::string("s.json: ") + c.place, 0), 0u) << c.event << "\n" << error;
        EXPECT_GT(error.size(), std::string("s.json: ").size() + std::string(c.place).size()) << "says why: " << c.event;
    }
}

TEST(Scenario, ShockReadsItsPeakAndDurationAndRefusesBadOnesAtTheirPlace)
{
    const sim::Scenario s = MustParse(R"({"events": [
        {"at": "4s", "do": "shock", "x": 3000, "y": -32768, "z": 32767, "duration": "150ms"},
        {"at": 2, "do": "shock", "z": -1, "y": 0, "x": 0, "duration": 1}
    ]})");
    auto shock = [](std::int64_t atMs, std::size_t source, int x, int y, int z, std::int64_t durationMs) {
        sim::ScenarioEvent e = Event(atMs, sim::EventKind::Shock, source);
        e.x = x;
        e.y = y;
        e.z = z;
        e.durationMs = durationMs;
        return e;
    };
    EXPECT_EQ(s.events, (std::vector<sim::ScenarioEvent>{shock(2000, 1, 0, 0, -1, 1000),
                                                          shock(4000, 0, 3000, -32768, 32767, 150)}));
    struct Case {
        std::string event;
        const char* place;
    };
    const Case refused[] = {
        {R"({"at": 1, "do": "shock", "x": 1, "y": 1, "z": 1})", "events[1]: "},
        {R"({"at": 1, "do": "shock", "x": 1, "y": 1, "duration": 1})", "events[1]: "},
        {R"({"at": 1, "do": "shock", "x": 32768, "y": 1, "z": 1, "duration": 1})", "events[1].x: "},
        {R"({"at": 1, "do": "shock", "x": 1, "y": -32769, "z": 1, "duration": 1})", "events[1].y: "},
        {R"({"at": 1, "do": "shock", "x": 1, "y": 1, "z": 1.5, "duration": 1})", "events[1].z: "},
        {R"({"at": 1, "do": "shock", "x": 1, "y": 1, "z": 1, "duration": 0})", "events[1].duration: "},
        {R"({"at": 1, "do": "shock", "x": 1, "y": 1, "z": 1, "duration": "0ms"})", "events[1].duration: "},
        {R"({"at": 1, "do": "shock", "x": 1, "y": 1, "z": 1, "duration": "soon"})", "events[1].duration: "},
        {R"({"at": 1, "do": "shock", "x": 1, "y": 1, "z": 1, "duration": 1, "g": 2})", "events[1].g: "},
    };
    for (const Case& c : refused) {
        const std::string error = ParseError(WithEvent(c.event));
        EXPECT_EQ(error.rfind(std::string("s.json: ") + c.place, 0), 0u) << c.event << "\n" << error;
        EXPECT_GT(error.size(), std::string("s.json: ").size() + std::string(c.place).size()) << "says why: " << c.event;
    }
}

TEST(Scenario, FilledVolumesMustBeTheProfilesAndHaveACapacity)
{
    sim::DeviceProfile profile = sim::DefaultProfile();
    profile.volumes.push_back(sim::Volume{"Host Disk", 0, true, ""});
    std::string error;
    EXPECT_TRUE(sim::CheckScenarioVolumes(MustParse(WithEvent(R"({"at": 1, "do": "fill", "volume": "storage card", "bytes": 1})")),
                                          profile, "s.json", &error))
        << error;
    for (const char* volume : {"SD", "Host Disk"}) {
        const sim::Scenario s =
            MustParse(WithEvent(R"({"at": 1, "do": "fill", "bytes": 1, "volume": ")" + std::string(volume) + "\"}"));
        EXPECT_FALSE(sim::CheckScenarioVolumes(s, profile, "s.json", &error)) << volume;
        EXPECT_EQ(error.rfind("s.json: events[1].volume: ", 0), 0u) << error;
        EXPECT_NE(error.find(volume), std::string::npos) << error;
    }
}

TEST(Scenario, EveryExampleFileLoadsAndFitsTheBuiltInProfile)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSourceDir + "/sim/scenarios")) {
        sim::Scenario scenario;
        std::string error;
        const std::string path = entry.path().string();
        EXPECT_TRUE(sim::LoadScenario(path, &scenario, &error)) << error;
        EXPECT_TRUE(sim::CheckScenarioVolumes(scenario, sim::DefaultProfile(), path, &error)) << error;
        EXPECT_FALSE(scenario.events.empty()) << path;
        ++files;
    }
    EXPECT_GE(files, 8);
}

TEST(Scenario, LoadNamesTheFileItCannotRead)
{
    sim::Scenario scenario;
    std::string error;
    EXPECT_FALSE(sim::LoadScenario("/nonexistent/s.json", &scenario, &error));
    EXPECT_EQ(error, "/nonexistent/s.json: cannot open: No such file or directory");
}

}  // namespace
