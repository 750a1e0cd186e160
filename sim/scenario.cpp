#include "sim/scenario.h"

#include <algorithm>
#include <cctype>
#include <unordered_set>

#include "platform/registry/registry.h"
#include "platform/windows/window.h"
#include "sim/duration.h"
#include "sim/json_reader.h"
#include "sim/profile.h"
#include "sim/symbols.h"
#include "sim/text_file.h"

namespace sim {
namespace {

using json::Field;
using json::Value;
using Path = const std::string&;

constexpr std::int64_t kDefaultHoldMs = 100;
constexpr std::size_t kMaxNameChars = 64;
// Power state names are short ASCII words ("on", "backlightoff"), so that any
// power broadcast record can carry them.
constexpr std::size_t kMaxPowerStateChars = 64;
constexpr std::int64_t kMaxCoordinate = 32767;
constexpr int kDefaultGarbageBytes = 64;
constexpr std::int64_t kMaxGarbageBytes = 4096;
// The phone's registry keeps value names of up to 255 characters.
constexpr std::size_t kMaxValueNameChars = 255;
constexpr std::size_t kMaxRegistryTextChars = 4096;
// Lists and sheets of the phone's dialogs are short; a typed text is what an edit field holds.
constexpr std::int64_t kMaxListEntry = 1023;
constexpr std::int64_t kMaxSheetPage = 63;
constexpr std::size_t kMaxTypedChars = 260;

// An event as read, before a press becomes its two halves.
struct Draft {
    ScenarioEvent event;
    std::int64_t holdMs = kDefaultHoldMs;
    // What is wrong with the event as a whole once its fields are read; empty when nothing.
    std::string (*problem)(const Draft&) = nullptr;
};

// An integer, or a text of numbers and names (see symbols.h).
bool ReadValue(const Value& value, Path path, std::int64_t min, std::int64_t max, std::int64_t* out,
               std::string* error)
{
    if (value.is_number_integer()) {
        return json::ReadInteger(value, path, min, max, out, error);
    }
    if (!value.is_string()) {
        return json::Fail(path, "expected a number or a name such as \"WM_CLOSE\"", error);
    }
    std::string why;
    return ParseValueText(value.get<std::string>(), min, max, out, &why) || json::Fail(path, why, error);
}

template <typename T>
Field ValueField(const char* key, bool required, std::int64_t min, std::int64_t max, T* target)
{
    return Field{key, required, [=](const Value& v, Path path, std::string* e) {
                     std::int64_t value = 0;
                     if (!ReadValue(v, path, min, max, &value, e)) {
                         return false;
                     }
                     *target = static_cast<T>(value);
                     return true;
                 }};
}

// Seconds as a number, or a duration text.
bool ReadTime(const Value& value, Path path, std::int64_t* ms, std::string* error)
{
    if (value.is_number_integer()) {
        std::int64_t seconds = 0;
        if (!json::ReadInteger(value, path, 0, kMaxDurationMs / 1000, &seconds, error)) {
            return false;
        }
        *ms = seconds * 1000;
        return true;
    }
    if (!value.is_string()) {
        return json::Fail(path, "expected a time such as 90, \"90s\", \"1500ms\", \"10m\", \"1h\" or \"0:01:30\"",
                          error);
    }
    std::string why;
    return ParseDuration(value.get<std::string>(), ms, &why) || json::Fail(path, why, error);
}

Field TimeField(const char* key, bool required, std::int64_t* ms)
{
    return Field{key, required, [ms](const Value& v, Path path, std::string* e) { return ReadTime(v, path, ms, e); }};
}

template <typename T>
Field IntField(const char* key, bool required, std::int64_t min, std::int64_t max, T* target)
{
    return Field{key, required, [=](const Value& v, Path path, std::string* e) {
                     std::int64_t value = 0;
                     if (!json::ReadInteger(v, path, min, max, &value, e)) {
                         return false;
                     }
                     *target = static_cast<T>(value);
                     return true;
                 }};
}

Field TextField(const char* key, bool required, std::size_t maxChars, std::string* target)
{
    return Field{key, required, [=](const Value& v, Path path, std::string* e) {
                     return json::ReadText(v, path, maxChars, target, e);
                 }};
}

std::vector<Field> MessageFields(Draft& d)
{
    ScenarioEvent& e = d.event;
    return {TextField("window", false, kMaxNameChars, &e.window), ValueField("msg", true, 0, UINT32_MAX, &e.msg),
            ValueField("wParam", false, 0, UINT32_MAX, &e.wParam),
            ValueField("lParam", false, INT32_MIN, UINT32_MAX, &e.lParam)};
}

std::vector<Field> CommandFields(Draft& d)
{
    d.event.msg = os::WM_COMMAND;
    return {ValueField("id", true, 0, 0xFFFF, &d.event.wParam),
            ValueField("lParam", false, INT32_MIN, UINT32_MAX, &d.event.lParam)};
}

std::vector<Field> PointFields(Draft& d)
{
    return {IntField("x", true, 0, kMaxCoordinate, &d.event.x), IntField("y", true, 0, kMaxCoordinate, &d.event.y)};
}

std::vector<Field> DialogCommandFields(Draft& d)
{
    d.event.msg = os::WM_COMMAND;
    return {ValueField("id", true, 0, 0xFFFF, &d.event.wParam)};
}

// Control and command ids are 16-bit, as WM_COMMAND carries them.
Field ControlField(const char* key, Draft& d) { return ValueField(key, true, 0, 0xFFFF, &d.event.control); }

std::vector<Field> ChooseFields(Draft& d)
{
    return {ControlField("control", d), IntField("entry", true, 0, kMaxListEntry, &d.event.entry)};
}

std::vector<Field> CheckFields(Draft& d)
{
    bool* checked = &d.event.checked;
    return {ControlField("control", d), Field{"checked", true, [checked](const Value& v, Path path, std::string* e) {
                                                  return json::ReadBool(v, path, checked, e);
                                              }}};
}

std::vector<Field> TypeFields(Draft& d)
{
    bool* paste = &d.event.paste;
    return {ControlField("control", d), TextField("text", true, kMaxTypedChars, &d.event.text),
            Field{"paste", false, [paste](const Value& v, Path path, std::string* e) {
                      return json::ReadBool(v, path, paste, e);
                  }}};
}

std::vector<Field> MenuCommandFields(Draft& d) { return {ControlField("id", d)}; }

std::vector<Field> SheetPageFields(Draft& d) { return {IntField("page", true, 0, kMaxSheetPage, &d.event.entry)}; }

std::vector<Field> TapFields(Draft& d)
{
    std::vector<Field> fields = PointFields(d);
    fields.push_back(TimeField("hold", false, &d.holdMs));
    return fields;
}

std::vector<Field> KeyFields(Draft& d)
{
    return {ValueField("vk", true, 1, 254, &d.event.vk)};
}

std::vector<Field> KeyPressFields(Draft& d)
{
    return {ValueField("vk", true, 1, 254, &d.event.vk), TimeField("hold", false, &d.holdMs)};
}

std::vector<Field> VolumeFields(Draft& d)
{
    return {TextField("volume", true, kMaxNameChars, &d.event.volume)};
}

std::vector<Field> NoFields(Draft&)
{
    return {};
}

bool ReadPowerStateName(const Value& value, Path path, std::string* out, std::string* error)
{
    std::string name;
    if (!json::ReadText(value, path, kMaxPowerStateChars, &name, error)) {
        return false;
    }
    bool word = std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
    if (!word) {
        return json::Fail(path, "a power state name has only ASCII letters, digits, '_' and '-'", error);
    }
    *out = name;
    return true;
}

std::vector<Field> PowerTransitionFields(Draft& d)
{
    std::string* state = &d.event.powerState;
    return {ValueField("flags", true, 0, UINT32_MAX, &d.event.powerFlags),
            Field{"state", false, [state](const Value& v, Path path, std::string* e) {
                      return ReadPowerStateName(v, path, state, e);
                  }}};
}

std::vector<Field> PowerInfoFields(Draft& d)
{
    ScenarioEvent& e = d.event;
    e.batteryPercent = 100;
    return {Field{"ac", true, [&e](const Value& v, Path path, std::string* err) { return json::ReadBool(v, path, &e.onAc, err); }},
            IntField("percent", false, 0, 100, &e.batteryPercent)};
}

std::vector<Field> RotationFields(Draft& d)
{
    int* rotation = &d.event.rotation;
    return {Field{"value", true, [rotation](const Value& v, Path path, std::string* e) {
                      std::int64_t value = 0;
                      if (!json::ReadInteger(v, path, 0, kRotation270, &value, e)) {
                          return false;
                      }
                      if (value == 3) {
                          return json::Fail(path, "must be 0, 1, 2 or 4 (0, 90, 180 or 270 degrees)", e);
                      }
                      *rotation = static_cast<int>(value);
                      return true;
                  }}};
}

bool ReadAnswer(const Value& value, Path path, int* out, std::string* error)
{
    static constexpr std::pair<const char*, int> kNames[] = {
        {"ok", kAnswerOk}, {"cancel", kAnswerCancel}, {"yes", kAnswerYes}, {"no", kAnswerNo}};
    if (value.is_string()) {
        for (const auto& [name, answer] : kNames) {
            if (value.get<std::string>() == name) {
                *out = answer;
                return true;
            }
        }
    }
    std::int64_t number = 0;
    if (!value.is_number_integer() || !json::ReadInteger(value, path, 1, 11, &number, error)) {
        return json::Fail(path, "expected \"ok\", \"cancel\", \"yes\", \"no\" or a number from 1 to 11", error);
    }
    *out = static_cast<int>(number);
    return true;
}

std::vector<Field> AnswerFields(Draft& d)
{
    int* answer = &d.event.answer;
    return {Field{"answer", true, [answer](const Value& v, Path path, std::string* e) { return ReadAnswer(v, path, answer, e); }}};
}

std::vector<Field> GarbageFields(Draft& d)
{
    d.event.garbageBytes = kDefaultGarbageBytes;
    return {IntField("bytes", false, 1, kMaxGarbageBytes, &d.event.garbageBytes)};
}

std::vector<Field> StallFields(Draft& d)
{
    std::int64_t* duration = &d.event.durationMs;
    return {Field{"duration", true, [duration](const Value& v, Path path, std::string* e) {
                      std::int64_t ms = 0;
                      if (!ReadTime(v, path, &ms, e)) {
                          return false;
                      }
                      if (ms == 0) {
                          return json::Fail(path, "a stall must last longer than 0", e);
                      }
                      *duration = ms;
                      return true;
                  }}};
}

std::vector<Field> ShockFields(Draft& d)
{
    ScenarioEvent& e = d.event;
    return {IntField("x", true, INT16_MIN, INT16_MAX, &e.x), IntField("y", true, INT16_MIN, INT16_MAX, &e.y),
            IntField("z", true, INT16_MIN, INT16_MAX, &e.z),
            Field{"duration", true, [&e](const Value& v, Path path, std::string* err) {
                      std::int64_t ms = 0;
                      if (!ReadTime(v, path, &ms, err)) {
                          return false;
                      }
                      if (ms == 0) {
                          return json::Fail(path, "a shock must last longer than 0", err);
                      }
                      e.durationMs = ms;
                      return true;
                  }}};
}

std::string RegistryProblem(const Draft& d)
{
    return d.event.valueType == 0 ? "give the value as \"dword\" or as \"string\"" : "";
}

// The value's type is the key that gives it, and only one may.
Field RegistryDataField(const char* key, os::DWORD type, Draft& d)
{
    ScenarioEvent* e = &d.event;
    return Field{key, false, [e, type](const Value& v, Path path, std::string* err) {
                     if (e->valueType != 0) {
                         return json::Fail(path, "give either \"dword\" or \"string\", not both", err);
                     }
                     std::int64_t number = 0;
                     const bool ok = type == os::REG_DWORD ? json::ReadInteger(v, path, 0, UINT32_MAX, &number, err)
                                                           : json::ReadText(v, path, kMaxRegistryTextChars, &e->text, err);
                     if (!ok) return false;
                     e->dword = static_cast<os::DWORD>(number);
                     e->valueType = type;
                     return true;
                 }};
}

std::vector<Field> RegistryFields(Draft& d)
{
    d.problem = RegistryProblem;
    return {TextField("name", true, kMaxValueNameChars, &d.event.valueName),
            RegistryDataField("dword", os::REG_DWORD, d), RegistryDataField("string", os::REG_SZ, d)};
}

std::vector<Field> FillFields(Draft& d)
{
    std::uint64_t* bytes = &d.event.fillBytes;
    return {TextField("volume", true, kMaxNameChars, &d.event.volume),
            Field{"bytes", true, [bytes](const Value& v, Path path, std::string* e) { return json::ReadSize(v, path, bytes, e); }}};
}

// A plain file name for the screenshot folder: letters, digits, '-', '_'
// and '.', not starting with '.', ending in ".png".
bool ReadScreenshotName(const Value& v, Path path, std::string* out, std::string* e)
{
    std::string name;
    if (!json::ReadText(v, path, 64, &name, e)) return false;
    const bool plain = std::all_of(name.begin(), name.end(), [](unsigned char c) {
        return std::isalnum(c) != 0 || c == '-' || c == '_' || c == '.';
    });
    if (!plain || name.front() == '.' || name.size() < 5 || !name.ends_with(".png")) {
        return json::Fail(path, "not a file name ending in \".png\" (letters, digits, '-', '_' and '.')", e);
    }
    *out = name;
    return true;
}

std::vector<Field> ScreenshotFields(Draft& d)
{
    std::string* text = &d.event.text;
    return {Field{"file", true, [text](const Value& v, Path path, std::string* e) {
                      return ReadScreenshotName(v, path, text, e);
                  }}};
}

// The exit button's command.
void SetEndMessage(ScenarioEvent* e)
{
    e->msg = os::WM_COMMAND;
    e->wParam = static_cast<os::WPARAM>(kIdmButton);
    e->lParam = static_cast<os::LPARAM>(kExitButton);
}

std::vector<Field> EndFields(Draft& d)
{
    SetEndMessage(&d.event);
    return {};
}

struct EventKindRow {
    const char* name;
    EventKind kind;
    std::vector<Field> (*fields)(Draft&);
    bool press;  // becomes the kind and its release after "hold"
};

constexpr EventKindRow kKinds[] = {
    {"post", EventKind::PostMessage, MessageFields, false},
    {"send", EventKind::SendMessage, MessageFields, false},
    {"command", EventKind::Command, CommandFields, false},
    {"tap", EventKind::TouchDown, TapFields, true},
    {"touch_down", EventKind::TouchDown, PointFields, false},
    {"touch_up", EventKind::TouchUp, PointFields, false},
    {"key", EventKind::KeyDown, KeyPressFields, true},
    {"key_down", EventKind::KeyDown, KeyFields, false},
    {"key_up", EventKind::KeyUp, KeyFields, false},
    {"mount", EventKind::Mount, VolumeFields, false},
    {"unmount", EventKind::Unmount, VolumeFields, false},
    {"call_start", EventKind::CallStart, NoFields, false},
    {"call_end", EventKind::CallEnd, NoFields, false},
    {"power_transition", EventKind::PowerTransition, PowerTransitionFields, false},
    {"resume", EventKind::Resume, NoFields, false},
    {"power_info", EventKind::PowerInfo, PowerInfoFields, false},
    {"rotation", EventKind::Rotation, RotationFields, false},
    {"message_box", EventKind::MessageBoxAnswer, AnswerFields, false},
    {"dialog_command", EventKind::DialogCommand, DialogCommandFields, false},
    {"gps_fix_lost", EventKind::GpsFixLost, NoFields, false},
    {"gps_fix_back", EventKind::GpsFixBack, NoFields, false},
    {"gps_garbage", EventKind::GpsGarbage, GarbageFields, false},
    {"camera_stall", EventKind::CameraStall, StallFields, false},
    {"mic_stall", EventKind::MicStall, StallFields, false},
    {"encoder_timeout", EventKind::EncoderTimeout, NoFields, false},
    {"shock", EventKind::Shock, ShockFields, false},
    {"screenshot", EventKind::Screenshot, ScreenshotFields, false},
    {"photo", EventKind::Photo, NoFields, false},
    {"choose", EventKind::Choose, ChooseFields, false},
    {"check", EventKind::Check, CheckFields, false},
    {"type", EventKind::Type, TypeFields, false},
    {"menu_command", EventKind::MenuCommand, MenuCommandFields, false},
    {"sheet_page", EventKind::SheetPage, SheetPageFields, false},
    {"registry", EventKind::Registry, RegistryFields, false},
    {"fill", EventKind::Fill, FillFields, false},
    {"power_cut", EventKind::PowerCut, NoFields, false},
    {"end", EventKind::End, EndFields, false},
};

const EventKindRow* FindKind(const Value& name)
{
    for (const EventKindRow& row : kKinds) {
        if (name.is_string() && name.get<std::string>() == row.name) {
            return &row;
        }
    }
    return nullptr;
}

std::string KindNames()
{
    std::string names;
    for (const EventKindRow& row : kKinds) {
        names += (names.empty() ? "" : ", ") + std::string(row.name);
    }
    return names;
}

// Appends the event at `path` (the index-th of the file) to *out.
bool ReadEvent(const Value& value, Path path, std::size_t index, std::vector<ScenarioEvent>* out, std::string* error)
{
    if (!value.is_object()) {
        return json::Fail(path, "expected an object", error);
    }
    if (!value.contains("do")) {
        return json::Fail(path, "missing key \"do\"", error);
    }
    const EventKindRow* row = FindKind(value["do"]);
    if (row == nullptr) {
        return json::Fail(json::Member(path, "do"), "unknown event " + value["do"].dump() + " (expected one of: " + KindNames() + ")",
                          error);
    }
    Draft draft;
    draft.event.kind = row->kind;
    draft.event.source = index;
    std::vector<Field> fields = row->fields(draft);
    fields.insert(fields.begin(), {TimeField("at", true, &draft.event.atMs),
                                   Field{"do", true, [](const Value&, Path, std::string*) { return true; }}});
    if (!json::ReadObject(value, path, fields, error)) {
        return false;
    }
    if (const std::string why = draft.problem ? draft.problem(draft) : ""; !why.empty()) {
        return json::Fail(path, why, error);
    }
    out->push_back(draft.event);
    if (row->press) {
        if (draft.event.atMs > kMaxDurationMs - draft.holdMs) {
            return json::Fail(json::Member(path, "hold"), "the release would come after the latest device time", error);
        }
        ScenarioEvent release = draft.event;
        release.kind = row->kind == EventKind::TouchDown ? EventKind::TouchUp : EventKind::KeyUp;
        release.atMs += draft.holdMs;
        out->push_back(release);
    }
    return true;
}

bool ReadScenario(const Value& document, std::vector<ScenarioEvent>* out, std::string* error)
{
    auto readEvents = [out](const Value& v, Path path, std::string* e) {
        std::size_t index = 0;
        return json::ReadArray(v, path, [&](const Value& item, Path itemPath, std::string* err) {
            return ReadEvent(item, itemPath, index++, out, err);
        }, e);
    };
    auto readDescription = [](const Value& v, Path path, std::string* e) { return json::ReadDescription(v, path, e); };
    return json::ReadObject(document, "", {Field{"description", false, readDescription}, Field{"events", true, readEvents}},
                            error);
}

}  // namespace

Scenario DefaultScenario()
{
    ScenarioEvent end;
    end.atMs = 60'000;
    end.kind = EventKind::End;
    SetEndMessage(&end);
    return Scenario{{end}};
}

bool ParseScenario(const std::string& text, const std::string& fileName, Scenario* out, std::string* error)
{
    Value document;
    std::string why;
    std::vector<ScenarioEvent> events;
    if (!json::ParseDocument(text, &document, &why) || !ReadScenario(document, &events, &why)) {
        *error = fileName + ": " + why;
        return false;
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.atMs < b.atMs; });
    out->events = std::move(events);
    return true;
}

bool LoadScenario(const std::string& path, Scenario* out, std::string* error)
{
    std::string text;
    std::string why;
    if (!ReadTextFile(path, kMaxInputFileBytes, &text, &why)) {
        *error = path + ": " + why;
        return false;
    }
    return ParseScenario(text, path, out, error);
}

bool CheckScenarioVolumes(const Scenario& scenario, const DeviceProfile& profile, const std::string& fileName,
                          std::string* error)
{
    std::unordered_set<std::string> volumes;
    std::unordered_set<std::string> withCapacity;
    for (const Volume& v : profile.volumes) {
        volumes.insert(FoldedName(v.name));
        if (v.capacityBytes > 0) withCapacity.insert(FoldedName(v.name));
    }
    for (const ScenarioEvent& e : scenario.events) {
        const bool usesVolume = e.kind == EventKind::Mount || e.kind == EventKind::Unmount || e.kind == EventKind::Fill;
        std::string why;
        if (usesVolume && !volumes.contains(FoldedName(e.volume))) {
            why = "no volume \"" + e.volume + "\" in the profile";
        } else if (e.kind == EventKind::Fill && !withCapacity.contains(FoldedName(e.volume))) {
            // Without a capacity the volume reports the host disk, which a fill cannot take from.
            why = "volume \"" + e.volume + "\" has no capacity in the profile, so it cannot be filled";
        }
        if (!why.empty()) {
            *error = fileName + ": " + json::Member(json::Element("events", e.source), "volume") + ": " + why;
            return false;
        }
    }
    return true;
}

}  // namespace sim
