// The scenario file. A parse either fails with an error naming the file,
// leaving the scenario as it was, or yields events that do not depend on what
// the scenario held before: in time order (file order at equal times), each
// within the ranges of its kind and with the fields its kind does not name
// left empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/check.h"
#include "platform/registry/registry.h"
#include "platform/windows/window.h"
#include "sim/duration.h"
#include "sim/json_reader.h"
#include "sim/scenario.h"
#include "sim/symbols.h"

namespace {

using sim::EventKind;
using sim::Scenario;
using sim::ScenarioEvent;

constexpr char kFile[] = "drive.json";

Scenario Sentinel()
{
    ScenarioEvent e;
    e.atMs = -1;
    e.kind = EventKind::Rotation;
    e.rotation = 3;
    e.window = "left over";
    return Scenario{{e}};
}

// The event with only the fields its kind names.
ScenarioEvent Meaningful(const ScenarioEvent& e)
{
    ScenarioEvent m;
    m.atMs = e.atMs;
    m.kind = e.kind;
    m.source = e.source;
    switch (e.kind) {
    case EventKind::PostMessage:
    case EventKind::SendMessage:
        m.window = e.window;
        [[fallthrough]];
    case EventKind::Command:
    case EventKind::End:
        m.lParam = e.lParam;
        [[fallthrough]];
    case EventKind::DialogCommand:
        m.msg = e.msg;
        m.wParam = e.wParam;
        break;
    case EventKind::TouchDown:
    case EventKind::TouchUp:
        m.x = e.x;
        m.y = e.y;
        break;
    case EventKind::KeyDown:
    case EventKind::KeyUp:
        m.vk = e.vk;
        break;
    case EventKind::Mount:
    case EventKind::Unmount:
        m.volume = e.volume;
        break;
    case EventKind::PowerTransition:
        m.powerFlags = e.powerFlags;
        m.powerState = e.powerState;
        break;
    case EventKind::PowerInfo:
        m.onAc = e.onAc;
        m.batteryPercent = e.batteryPercent;
        break;
    case EventKind::Rotation:
        m.rotation = e.rotation;
        break;
    case EventKind::MessageBoxAnswer:
        m.answer = e.answer;
        break;
    case EventKind::GpsGarbage:
        m.garbageBytes = e.garbageBytes;
        break;
    case EventKind::CameraStall:
    case EventKind::MicStall:
        m.durationMs = e.durationMs;
        break;
    case EventKind::Shock:
        m.x = e.x;
        m.y = e.y;
        m.z = e.z;
        m.durationMs = e.durationMs;
        break;
    case EventKind::Registry:
        m.valueName = e.valueName;
        m.valueType = e.valueType;
        if (e.valueType == os::REG_DWORD) m.dword = e.dword;
        if (e.valueType == os::REG_SZ) m.text = e.text;
        break;
    case EventKind::Fill:
        m.volume = e.volume;
        m.fillBytes = e.fillBytes;
        break;
    case EventKind::Screenshot:
        m.text = e.text;
        break;
    case EventKind::Choose:
        m.control = e.control;
        m.entry = e.entry;
        break;
    case EventKind::Check:
        m.control = e.control;
        m.checked = e.checked;
        break;
    case EventKind::Type:
        m.control = e.control;
        m.text = e.text;
        m.paste = e.paste;
        break;
    case EventKind::MenuCommand:
        m.control = e.control;
        break;
    case EventKind::SheetPage:
        m.entry = e.entry;
        break;
    case EventKind::EncoderTimeout:
    case EventKind::PowerCut:
    case EventKind::Photo:
    case EventKind::CallStart:
    case EventKind::CallEnd:
    case EventKind::Resume:
    case EventKind::GpsFixLost:
    case EventKind::GpsFixBack:
        break;
    }
    return m;
}

bool PowerStateName(const std::string& name)
{
    return sim::json::CountChars(name) <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                      c == '-';
           });
}

void CheckKindRanges(const ScenarioEvent& e)
{
    const bool lParamFits = e.lParam >= INT32_MIN && e.lParam <= static_cast<os::LPARAM>(UINT32_MAX);
    switch (e.kind) {
    case EventKind::PostMessage:
    case EventKind::SendMessage:
        FUZZ_CHECK(sim::json::CountChars(e.window) <= 64 && e.wParam <= UINT32_MAX && lParamFits);
        break;
    case EventKind::Command:
        FUZZ_CHECK(e.msg == os::WM_COMMAND && e.wParam <= 0xFFFF && lParamFits);
        break;
    case EventKind::DialogCommand:
        FUZZ_CHECK(e.msg == os::WM_COMMAND && e.wParam <= 0xFFFF);
        break;
    case EventKind::End:
        FUZZ_CHECK(e.msg == os::WM_COMMAND && e.wParam == static_cast<os::WPARAM>(sim::kIdmButton) &&
                   e.lParam == sim::kExitButton);
        break;
    case EventKind::TouchDown:
    case EventKind::TouchUp:
        FUZZ_CHECK(e.x >= 0 && e.x <= 32767 && e.y >= 0 && e.y <= 32767);
        break;
    case EventKind::KeyDown:
    case EventKind::KeyUp:
        FUZZ_CHECK(e.vk >= 1 && e.vk <= 254);
        break;
    case EventKind::Mount:
    case EventKind::Unmount:
        FUZZ_CHECK(!e.volume.empty() && sim::json::CountChars(e.volume) <= 64);
        break;
    case EventKind::PowerTransition:
        FUZZ_CHECK(PowerStateName(e.powerState));
        break;
    case EventKind::PowerInfo:
        FUZZ_CHECK(e.batteryPercent >= 0 && e.batteryPercent <= 100);
        break;
    case EventKind::Rotation:
        FUZZ_CHECK(e.rotation == 0 || e.rotation == 1 || e.rotation == 2 || e.rotation == 4);
        break;
    case EventKind::MessageBoxAnswer:
        FUZZ_CHECK(e.answer >= 1 && e.answer <= 11);
        break;
    case EventKind::GpsGarbage:
        FUZZ_CHECK(e.garbageBytes >= 1 && e.garbageBytes <= 4096);
        break;
    case EventKind::CameraStall:
    case EventKind::MicStall:
        FUZZ_CHECK(e.durationMs >= 1 && e.durationMs <= sim::kMaxDurationMs);
        break;
    case EventKind::Shock:
        FUZZ_CHECK(e.x >= INT16_MIN && e.x <= INT16_MAX && e.y >= INT16_MIN && e.y <= INT16_MAX &&
                   e.z >= INT16_MIN && e.z <= INT16_MAX);
        FUZZ_CHECK(e.durationMs >= 1 && e.durationMs <= sim::kMaxDurationMs);
        break;
    case EventKind::Registry:
        FUZZ_CHECK(!e.valueName.empty() && sim::json::CountChars(e.valueName) <= 255);
        FUZZ_CHECK(e.valueType == os::REG_DWORD || (e.valueType == os::REG_SZ && !e.text.empty() &&
                                                    sim::json::CountChars(e.text) <= 4096));
        break;
    case EventKind::Fill:
        FUZZ_CHECK(!e.volume.empty() && sim::json::CountChars(e.volume) <= 64);
        FUZZ_CHECK(e.fillBytes <= static_cast<std::uint64_t>(INT64_MAX));
        break;
    case EventKind::Screenshot:
        // A plain name inside the screenshot folder, never a path out of it.
        FUZZ_CHECK(e.text.size() >= 5 && e.text.size() <= 64 && e.text.ends_with(".png") && e.text.front() != '.');
        FUZZ_CHECK(e.text.find('/') == std::string::npos && e.text.find('\\') == std::string::npos);
        break;
    case EventKind::Choose:
        FUZZ_CHECK(e.control <= 0xFFFF && e.entry >= 0 && e.entry <= 1023);
        break;
    case EventKind::Check:
    case EventKind::MenuCommand:
        FUZZ_CHECK(e.control <= 0xFFFF);
        break;
    case EventKind::Type:
        FUZZ_CHECK(e.control <= 0xFFFF && sim::json::CountChars(e.text) <= 260);
        break;
    case EventKind::SheetPage:
        FUZZ_CHECK(e.entry >= 0 && e.entry <= 63);
        break;
    case EventKind::EncoderTimeout:
    case EventKind::PowerCut:
    case EventKind::Photo:
    case EventKind::CallStart:
    case EventKind::CallEnd:
    case EventKind::Resume:
    case EventKind::GpsFixLost:
    case EventKind::GpsFixBack:
        break;
    }
}

void CheckValid(const Scenario& scenario)
{
    for (std::size_t i = 0; i < scenario.events.size(); ++i) {
        const ScenarioEvent& e = scenario.events[i];
        FUZZ_CHECK(e.atMs >= 0 && e.atMs <= sim::kMaxDurationMs);
        FUZZ_CHECK(e.source < scenario.events.size());
        if (i > 0) {
            const ScenarioEvent& before = scenario.events[i - 1];
            FUZZ_CHECK(before.atMs < e.atMs || (before.atMs == e.atMs && before.source <= e.source));
        }
        FUZZ_CHECK(Meaningful(e) == e);
        CheckKindRanges(e);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Scenario sentinel = Sentinel();
    Scenario scenario = sentinel;
    std::string error = "untouched";
    if (!sim::ParseScenario(text, kFile, &scenario, &error)) {
        FUZZ_CHECK(scenario == sentinel);
        FUZZ_CHECK(error.starts_with(std::string(kFile) + ": ") && error.size() > sizeof kFile + 1);
        return 0;
    }
    FUZZ_CHECK(error == "untouched");
    CheckValid(scenario);
    Scenario fromEmpty;
    FUZZ_CHECK(sim::ParseScenario(text, kFile, &fromEmpty, &error) && fromEmpty == scenario);
    return 0;
}
