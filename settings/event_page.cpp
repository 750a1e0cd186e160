// Page 3 of the settings sheet: event tagging, its sensitivity, the alarm
// sound, and the accident SMS controls, which stay disabled and hidden: the
// page always confirms EvtTagSMSSend as 0. The two SMS edit fields are the
// page's own, subclassed for their input rules.
#include <algorithm>

#include "app/app_state.h"
#include "platform/base/text_encoding.h"
#include "platform/shell/shell.h"
#include "platform/windows/controls.h"
#include "sensing/event_detection.h"
#include "settings/settings_store.h"
#include "settings/sheet_pages.h"

namespace {

constexpr int kEventTagging = 1039;
constexpr int kSensitivityList = 1038;
constexpr int kAccidentSound = 1206;
constexpr int kSensitivityLabel = 1040;
constexpr int kSendSms = 1201;
constexpr int kSmsLabels[] = {1202, 1203};
constexpr int kNumberField = 1204;
constexpr int kTextField = 1205;

constexpr os::UINT kFirstLevelString = 1231;
constexpr int kLevels = 10;
constexpr int kDefaultLevel = 4;
constexpr int kMaxFieldChars = 260;
// The message text goes out as one SMS of the ANSI code page.
constexpr int kMaxMessageAnsiBytes = 49;
constexpr const char* kKorean = "Korean";

os::WNDPROC g_numberFieldProc = nullptr;
os::WNDPROC g_textFieldProc = nullptr;
os::HWND g_numberField = nullptr;
os::HWND g_textField = nullptr;

bool AllDigits(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool KoreanLanguage() { return SheetApp()->settings.Langauge == std::string_view(kKorean); }

os::LRESULT NumberFieldProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    switch (msg) {
    case os::WM_PASTE: return 0;
    case os::WM_SETFOCUS:
        if (KoreanLanguage()) os::SHSetImeMode(hwnd, os::SHIME_MODE_NUMBERS);
        os::SHSipPreference(hwnd, os::SIP_UP);
        break;
    case os::WM_KILLFOCUS: os::SHSipPreference(hwnd, os::SIP_DOWN); break;
    case os::WM_CHAR:
        if (wParam != os::VK_BACK) {
            const std::string before = os::GetWindowText(hwnd);
            const os::LRESULT result = os::CallWindowProcW(g_numberFieldProc, hwnd, msg, wParam, lParam);
            if (!AllDigits(os::GetWindowText(hwnd))) {
                os::SetWindowTextW(hwnd, before.c_str());
                os::SendMessageW(hwnd, os::EM_SETSEL, static_cast<os::WPARAM>(-1), -1);
            }
            return result;
        }
        break;
    default: break;
    }
    return os::CallWindowProcW(g_numberFieldProc, hwnd, msg, wParam, lParam);
}

// Bytes of the text in the ANSI code page; a text that will not convert counts as full.
int AnsiBytes(const std::string& text)
{
    if (text.empty()) return 0;
    std::u16string wide(static_cast<std::size_t>(text.size()) + 1, u'\0');
    const int units = os::MultiByteToWideChar(os::CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                              static_cast<int>(wide.size()));
    if (units == 0) return kMaxMessageAnsiBytes + 1;
    const int bytes = os::WideCharToMultiByte(os::CP_ACP, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
    return bytes == 0 ? kMaxMessageAnsiBytes + 1 : bytes;
}

os::LRESULT TextFieldProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    const bool adds = (msg == os::WM_CHAR && wParam != os::VK_BACK) || msg == os::WM_PASTE;
    if (adds && AnsiBytes(os::GetWindowText(hwnd)) > kMaxMessageAnsiBytes) return 0;
    return os::CallWindowProcW(g_textFieldProc, hwnd, msg, wParam, lParam);
}

os::HWND CreateField(os::HWND page, int id, int y, const char* text, os::WNDPROC proc, os::WNDPROC* previous)
{
    const bool korean = KoreanLanguage();
    os::HWND field = os::CreateWindowExW(0, "edit", text, os::WS_CHILD | os::WS_BORDER | os::ES_AUTOHSCROLL,
                                         korean ? 450 : 535, y, korean ? 230 : 250, 35, page,
                                         reinterpret_cast<os::HMENU>(static_cast<std::intptr_t>(id)),
                                         Sheet().resources, nullptr);
    if (field == nullptr) return nullptr;
    os::EnableWindow(field, os::FALSE);
    *previous = reinterpret_cast<os::WNDPROC>(os::SetWindowLongW(field, os::GWL_WNDPROC, reinterpret_cast<os::LONG_PTR>(proc)));
    return field;
}

void EnableTaggingControls(os::HWND page, bool enable)
{
    for (int id : {kSensitivityList, kAccidentSound, kSensitivityLabel}) EnableControl(page, id, enable);
}

void InitEventPage(os::HWND page)
{
    const RecorderSettings& s = SheetApp()->settings;
    InitSheetPage(page, &Sheet().event);
    const bool tagging = s.EnableMovRecordWidthEvtTag != 0;
    SetChecked(page, kEventTagging, tagging);
    for (int level = 0; level < kLevels; ++level) {
        AddListEntry(page, kSensitivityList, SheetText(kFirstLevelString + static_cast<os::UINT>(level)));
    }
    SelectListEntry(page, kSensitivityList, static_cast<int>(s.EventTagDetectLevelX));
    SetChecked(page, kAccidentSound, s.AccidentSound != 0);
    EnableTaggingControls(page, tagging);
    SetChecked(page, kSendSms, false);
    EnableControl(page, kSendSms, false);
    HideControl(page, kSendSms);
    for (int id : kSmsLabels) {
        EnableControl(page, id, false);
        HideControl(page, id);
    }
    os::MoveWindow(os::GetDlgItem(page, kAccidentSound), 13, 50, 200, 50, os::TRUE);
    os::MoveWindow(os::GetDlgItem(page, kSensitivityLabel), 13, 130, 100, 50, os::TRUE);
    os::MoveWindow(os::GetDlgItem(page, kSensitivityList), 150, 130, 350, 500, os::TRUE);
    g_numberField = CreateField(page, kNumberField, 15, s.EvtTagSMSRecvNum.c_str(), NumberFieldProc, &g_numberFieldProc);
    g_textField = CreateField(page, kTextField, 55, s.EvtTagSMSMsgText.c_str(), TextFieldProc, &g_textFieldProc);
    Sheet().event.initialised = 1;
}

void RestoreEventDefaults(os::HWND page)
{
    SetChecked(page, kEventTagging, true);
    EnableControl(page, kAccidentSound, true);
    EnableControl(page, kSensitivityLabel, true);
    EnableControl(page, kSensitivityList, true);
    SetChecked(page, kAccidentSound, true);
    os::SetDlgItemTextW(page, kTextField, "");
    os::SetDlgItemTextW(page, kNumberField, "");
    SelectListEntry(page, kSensitivityList, kDefaultLevel);
}

std::string FieldText(os::HWND field)
{
    std::string text;
    if (field != nullptr) os::SendMessageW(field, os::WM_GETTEXT, kMaxFieldChars, reinterpret_cast<os::LPARAM>(&text));
    return text;
}

void DestroyField(os::HWND* field, os::WNDPROC* previous)
{
    if (*field != nullptr && os::IsWindow(*field)) {
        os::SetWindowLongW(*field, os::GWL_WNDPROC, reinterpret_cast<os::LONG_PTR>(*previous));
        os::DestroyWindow(*field);
    }
    *field = nullptr;
    *previous = nullptr;
}

void WriteBackEventPage(os::HWND page)
{
    RecorderSettings& s = SheetApp()->settings;
    s.EnableMovRecordWidthEvtTag = IsChecked(page, kEventTagging) ? 1 : 0;
    const int level = ListSelection(page, kSensitivityList);
    if (level >= 0 && level < kLevels) {
        s.EventTagDetectLevelX = s.EventTagDetectLevelY = s.EventTagDetectLevelZ = static_cast<uint32_t>(level);
    }
    s.AccidentSound = IsChecked(page, kAccidentSound) ? 1 : 0;
    const std::string number = FieldText(g_numberField);
    s.EvtTagSMSSend = IsChecked(page, kSendSms) && !number.empty() ? 1 : 0;
    s.EvtTagSMSRecvNum.Assign(number);
    s.EvtTagSMSMsgText.Assign(FieldText(g_textField));
    SaveSettings(Sheet().mainWindow);
    ApplyShockLevels(s.EventTagDetectLevelX, s.EventTagDetectLevelY, s.EventTagDetectLevelZ);
}

}  // namespace

os::INT_PTR EventPageProc(os::HWND page, os::UINT msg, os::WPARAM wParam, os::LPARAM)
{
    switch (msg) {
    case os::WM_INITDIALOG: InitEventPage(page); return os::TRUE;
    case os::WM_COMMAND:
        if (HandleDoneCommand(page, wParam)) return os::TRUE;
        switch (os::LOWORD(wParam)) {
        case kDefaultsCommand: RestoreEventDefaults(page); return os::TRUE;
        case kEventTagging: EnableTaggingControls(page, IsChecked(page, kEventTagging)); return os::TRUE;
        default: return os::FALSE;
        }
    case os::WM_DESTROY:
        if (Sheet().event.initialised) WriteBackEventPage(page);
        DestroyField(&g_numberField, &g_numberFieldProc);
        DestroyField(&g_textField, &g_textFieldProc);
        DestroyPageMenuBar(&Sheet().event);
        return os::TRUE;
    default: return os::FALSE;
    }
}
