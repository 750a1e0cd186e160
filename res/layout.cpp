// Dialog, menu, accelerator and icon resources shared by all languages.
// Sizes are pixels of the 800x480 screen turned either way: landscape pages
// are 800 wide, portrait pages 480 wide; rows are 56 pixels apart.
#include "res/layout.h"

#include <array>

#include "res/resource_ids.h"

namespace kestrava::res {
namespace {

constexpr std::int32_t kRowHeight = 56;
constexpr std::int32_t kControlHeight = 44;
constexpr std::int32_t kMargin = 10;

// A label in the left half of row `row`; FieldAt places its control in the right half.
constexpr DialogControl LabelAt(std::int32_t pageWidth, int row, std::uint32_t textId,
                                std::uint32_t id = kNoControlId)
{
    return DialogControl{id, ControlKind::Label, textId, kMargin, kMargin + row * kRowHeight,
                         pageWidth / 2 - 2 * kMargin, kControlHeight};
}

constexpr DialogControl FieldAt(std::int32_t pageWidth, int row, std::uint32_t id, ControlKind kind,
                                std::uint32_t textId = 0)
{
    return DialogControl{id, kind, textId, pageWidth / 2, kMargin + row * kRowHeight,
                         pageWidth / 2 - kMargin, kControlHeight};
}

// A control in the left half of a row.
constexpr DialogControl LeftAt(std::int32_t pageWidth, int row, std::uint32_t id, ControlKind kind)
{
    return DialogControl{id, kind, 0, kMargin, kMargin + row * kRowHeight, pageWidth / 2 - 2 * kMargin,
                         kControlHeight};
}

// A control across the whole row.
constexpr DialogControl WideAt(std::int32_t pageWidth, int row, std::uint32_t id, ControlKind kind,
                               std::uint32_t textId)
{
    return DialogControl{id, kind, textId, kMargin, kMargin + row * kRowHeight, pageWidth - 2 * kMargin,
                         kControlHeight};
}

constexpr std::int32_t kLandscapeWidth = 800;
constexpr std::int32_t kLandscapeHeight = 420;
constexpr std::int32_t kPortraitWidth = 480;
constexpr std::int32_t kPortraitHeight = 740;

template <std::int32_t W>
constexpr std::array<DialogControl, 11> StoragePage()
{
    return {LabelAt(W, 0, IDS_DLG_STORAGE_VOLUME),
            FieldAt(W, 0, IDC_VOLUME_LIST, ControlKind::ComboBox),
            FieldAt(W, 1, IDC_FREE_SPACE, ControlKind::Text),
            LabelAt(W, 2, IDS_DLG_STORAGE_QUOTA),
            FieldAt(W, 2, IDC_QUOTA, ControlKind::ComboBox),
            LabelAt(W, 3, IDS_DLG_STORAGE_SCREEN_OFF),
            FieldAt(W, 3, IDC_SCREEN_OFF, ControlKind::ComboBox),
            LabelAt(W, 4, IDS_DLG_STORAGE_LANGUAGE),
            FieldAt(W, 4, IDC_LANGUAGE, ControlKind::ComboBox),
            LabelAt(W, 1, IDS_DLG_STORAGE_FREE),
            FieldAt(W, 5, IDC_DELETE_LEVEL, ControlKind::ComboBox)};
}

template <std::int32_t W>
constexpr std::array<DialogControl, 10> RecordingPage()
{
    return {WideAt(W, 0, IDC_RECORD_SOUND, ControlKind::CheckBox, IDS_DLG_RECORD_SOUND),
            WideAt(W, 1, IDC_SOUND_ON_CALL, ControlKind::CheckBox, IDS_DLG_SOUND_ON_CALL),
            LabelAt(W, 2, IDS_DLG_SPLIT_TIME),
            FieldAt(W, 2, IDC_SPLIT_TIME, ControlKind::ComboBox),
            LabelAt(W, 3, IDS_DLG_QUALITY),
            FieldAt(W, 3, IDC_QUALITY, ControlKind::ComboBox),
            LeftAt(W, 4, IDC_HIDDEN_1033, ControlKind::Text),
            FieldAt(W, 4, IDC_DELETE_LEVEL, ControlKind::ComboBox),
            LeftAt(W, 5, IDC_HIDDEN_1009, ControlKind::Text),
            FieldAt(W, 5, IDC_HIDDEN_1010, ControlKind::Text)};
}

template <std::int32_t W>
constexpr std::array<DialogControl, 7> EventPage()
{
    return {WideAt(W, 0, IDC_EVENT_TAGGING, ControlKind::CheckBox, IDS_DLG_EVENT_TAGGING),
            WideAt(W, 1, IDC_ACCIDENT_SOUND, ControlKind::CheckBox, IDS_DLG_ACCIDENT_SOUND),
            FieldAt(W, 2, IDC_SENSITIVITY_LABEL, ControlKind::Label, IDS_DLG_SENSITIVITY),
            FieldAt(W, 3, IDC_SENSITIVITY, ControlKind::ComboBox),
            WideAt(W, 4, IDC_SEND_SMS, ControlKind::CheckBox, IDS_DLG_SEND_SMS),
            LabelAt(W, 5, IDS_DLG_SMS_NUMBER, IDC_SMS_NUMBER_LABEL),
            LabelAt(W, 6, IDS_DLG_SMS_TEXT, IDC_SMS_TEXT_LABEL)};
}

constexpr std::array<DialogControl, 4> kAboutControls = {
    DialogControl{kNoControlId, ControlKind::Label, IDS_DLG_ABOUT_PRODUCT, 20, 40, 440, 44},
    DialogControl{IDC_ABOUT_VERSION, ControlKind::Text, 0, 20, 100, 440, 44},
    DialogControl{kNoControlId, ControlKind::Label, IDS_DLG_ABOUT_DESCRIPTION, 20, 160, 440, 88},
    DialogControl{IDC_HELP_BUTTON, ControlKind::Button, IDS_DLG_HELP, 20, 280, 200, 50},
};

constexpr auto kStorageLandscape = StoragePage<kLandscapeWidth>();
constexpr auto kStoragePortrait = StoragePage<kPortraitWidth>();
constexpr auto kRecordingLandscape = RecordingPage<kLandscapeWidth>();
constexpr auto kRecordingPortrait = RecordingPage<kPortraitWidth>();
constexpr auto kEventLandscape = EventPage<kLandscapeWidth>();
constexpr auto kEventPortrait = EventPage<kPortraitWidth>();

template <std::size_t N>
constexpr DialogTemplate Dialog(std::uint32_t id, std::uint32_t captionId, std::int32_t width,
                                std::int32_t height, const std::array<DialogControl, N>& controls)
{
    return DialogTemplate{id, captionId, width, height, controls.data(), static_cast<std::uint32_t>(N)};
}

constexpr MenuItem kDialogBarPopup[] = {
    {IDM_DEFAULTS, IDS_MENU_DEFAULTS, nullptr, 0},
};

constexpr MenuItem kDialogBarItems[] = {
    {IDM_DONE, IDS_MENU_DONE, nullptr, 0},
    {0, IDS_MENU_MENU, kDialogBarPopup, 1},
};

constexpr MenuItem kMainBarPopup[] = {
    {IDM_REC_PAUSE, IDS_MENU_PAUSE, nullptr, 0},
    {IDM_REC_STOP, IDS_MENU_STOP, nullptr, 0},
    {IDM_ABOUT, IDS_MENU_ABOUT, nullptr, 0},
};

constexpr MenuItem kMainBarItems[] = {
    {IDM_DONE, IDS_MENU_DONE, nullptr, 0},
    {0, IDS_MENU_MENU, kMainBarPopup, 3},
};

// The handset has no modifier keys: F1 opens the About dialog.
constexpr std::uint16_t kVirtualKeyF1 = 0x70;
constexpr AcceleratorEntry kMainAccelerators[] = {
    {kAccelVirtKey, kVirtualKeyF1, IDM_ABOUT},
};

// A 16x16 icon: a dark lens ring on a white body, with a red recording dot.
constexpr std::uint32_t kIconSize = 16;
constexpr std::array<std::uint32_t, kIconSize * kIconSize> MakeIconPixels()
{
    std::array<std::uint32_t, kIconSize * kIconSize> pixels{};
    for (std::uint32_t y = 0; y < kIconSize; ++y) {
        for (std::uint32_t x = 0; x < kIconSize; ++x) {
            const int dx = static_cast<int>(2 * x) - 15;
            const int dy = static_cast<int>(2 * y) - 15;
            const int d2 = dx * dx + dy * dy;  // squared distance from the centre, in half pixels
            std::uint32_t colour = 0x00000000;  // transparent outside the body
            if (d2 <= 15 * 15)
                colour = 0xFFFFFFFF;
            if (d2 <= 11 * 11)
                colour = 0xFF202830;
            if (d2 <= 5 * 5)
                colour = 0xFFD01818;
            pixels[y * kIconSize + x] = colour;
        }
    }
    return pixels;
}
constexpr auto kIconPixels = MakeIconPixels();

}  // namespace

const DialogTemplate kDialogs[] = {
    Dialog(IDD_ABOUT, IDS_DLG_ABOUT, kPortraitWidth, 400, kAboutControls),
    Dialog(IDD_STORAGE_PORTRAIT, IDS_DLG_STORAGE, kPortraitWidth, kPortraitHeight, kStoragePortrait),
    Dialog(IDD_RECORDING_PORTRAIT, IDS_DLG_RECORDING, kPortraitWidth, kPortraitHeight, kRecordingPortrait),
    Dialog(IDD_STORAGE_LANDSCAPE, IDS_DLG_STORAGE, kLandscapeWidth, kLandscapeHeight, kStorageLandscape),
    Dialog(IDD_RECORDING_LANDSCAPE, IDS_DLG_RECORDING, kLandscapeWidth, kLandscapeHeight, kRecordingLandscape),
    Dialog(IDD_EVENT_PORTRAIT, IDS_DLG_EVENT, kPortraitWidth, kPortraitHeight, kEventPortrait),
    Dialog(IDD_EVENT_LANDSCAPE, IDS_DLG_EVENT, kLandscapeWidth, kLandscapeHeight, kEventLandscape),
};
const std::uint32_t kDialogCount = sizeof(kDialogs) / sizeof(kDialogs[0]);

const MenuResource kMenus[] = {
    {IDM_DIALOG_BAR, kDialogBarItems, 2},
    {IDM_MAIN_BAR, kMainBarItems, 2},
};
const std::uint32_t kMenuCount = sizeof(kMenus) / sizeof(kMenus[0]);

const AcceleratorTable kAccelerators[] = {
    {IDA_MAIN, kMainAccelerators, 1},
};
const std::uint32_t kAcceleratorCount = sizeof(kAccelerators) / sizeof(kAccelerators[0]);

const IconResource kIcons[] = {
    {IDI_MAIN, kIconSize, kIconSize, kIconPixels.data()},
};
const std::uint32_t kIconCount = sizeof(kIcons) / sizeof(kIcons[0]);

}  // namespace kestrava::res
