// The application state: one EventRecorderApp per process, created with the
// main window and kept as its user data (GWL_USERDATA), through which every
// operation that takes the main window reaches it. Process-wide values that
// exist before or beside the main window live here as globals.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "app/accident_alert.h"
#include "photo/photo_state.h"
#include "platform/registry/registry.h"
#include "platform/shell/shell.h"
#include "platform/kernel/sync.h"
#include "platform/base/types.h"
#include "platform/windows/window.h"
#include "recorder/recorder_state.h"
#include "sensing/gps_state.h"
#include "settings/recorder_settings.h"
#include "storage/space_state.h"
#include "storage/storage_state.h"
#include "ui/info_panel.h"
#include "ui/main_screen_images.h"
#include "ui/screen_table.h"

// A long-running worker with the start and stop protocol of the program's
// threads: created suspended, resumed, stopped through its flag (and stop
// event where it has one) with a bounded wait.
struct WorkerThread {
    os::HANDLE thread = nullptr;
    os::HANDLE stopEvent = nullptr;  // manual reset, where the worker has one
    os::HANDLE workEvent = nullptr;  // auto reset, where the worker has one
    std::atomic<bool> stop{false};
    bool running = false;
};

// The timed message the main screen shows over the picture.
struct ScreenMessage {
    int shown = 0;
    int kind = -1;          // -1 none (stays until replaced), 0 plain, 1 OK and Cancel, 4 two buttons
    int style = 0;
    int pressedButton = -1; // the message button under the last touch, or -1
    FixedText<260> text;
};

struct EventRecorderApp {
    uint32_t cmdMode = 0;  // the current screen mode; stays the first field
    uint32_t previousMode = 0;
    ScreenTable screens;
    MainScreenImages mainScreen;  // the skin's pictures, from CMD_Init to CMD_Deinit
    RecorderSettings settings;
    // The recording-related settings as they were when a settings page opened.
    RecorderSettings savedSettings;
    StorageState storage;

    int landscape = 0;        // 1 when the screen was wider than high at creation
    int resolutionClass = 0;  // 0: 320x320 or other, 1: 400x240, 2: 640x480, 3: 800x480
    os::CRITICAL_SECTION storageLock;  // the space-counter lock: the four counters below and their scan
    os::CRITICAL_SECTION screenLock;
    int recordingFileStatus = 2;  // 0: a file is open, 2: none
    uint32_t filedEvents = 0;
    int RecordMode = 0;          // 1 continuous, 2 event only; chosen when capture starts
    int previewOff = 0;          // the user switched the live preview off
    std::atomic<int> captureRunning{0};  // also set by the rotation watch
    int emergencyPressed = 0;    // a touch went down in the emergency area
    int infoPanelShown = 0;      // the information panel is open over the picture
    InfoPanelTouch infoPanelTouch = InfoPanelTouch::None;  // what the finger down means to the panel
    int hotKeyRegistered = 0;
    int settingsSheetOpen = 0;
    int restartRecording = 0;    // the settings sheet asks for the next file to use new settings
    ScreenMessage message;
    AccidentAlert accidentAlert;
    os::SHACTIVATEINFO activateInfo;
    int captureWidth = 0;
    int captureHeight = 0;
    int storageClass = 0;  // 0 usable, 1 volume too small, 2 quota cannot be met
    uint64_t freeSpaceBytes = 0;
    // The space counters of the recording volume, kept by space management.
    uint64_t UsableTotal = 0;
    uint64_t EvtTotal = 0;
    uint64_t EvtFree = 0;
    uint64_t AviTotal = 0;
    SpaceState space;
    int storageMaintenanceEnabled = 0;
    int captureDeviceError = 0;
    int onCall = 0;
    // The battery picture's cell, kept by the power thread: 0 on external
    // power, else 1 (80 % and more) to 4 (below 15 %).
    std::atomic<int> batteryLevel{0};
    int gpsScreenActive = 0;
    os::SYSTEMTIME startTime;

    std::atomic<os::HANDLE> powerQueue{nullptr};
    WorkerThread powerThread;
    os::HREGNOTIFY phoneStateNotification = nullptr;
    WorkerThread storageThread;
    void* imagingFactory = nullptr;
    GpsState gps;
    PhotoState photo;
    RecorderState recorder;  // attached to the main window for its whole life
};

// The application state the main window keeps; null before it is attached.
inline EventRecorderApp* AppFromWindow(os::HWND hwnd)
{
    return reinterpret_cast<EventRecorderApp*>(os::GetWindowLongW(hwnd, os::GWL_USERDATA));
}

// Process-wide values.
inline os::HINSTANCE g_hResourceLibrary = nullptr;  // the per-language resource library
inline os::HWND g_hMainWindow = nullptr;
inline os::HWND g_hAlertWindow = nullptr;           // "TarvoAlert"
inline os::HWND g_hAccSmsCancelWindow = nullptr;    // "TarvoAccSmsCancel"
inline std::string g_deviceModel;                   // the OEM information string, lower case
inline os::DWORD g_savedOpticalMouseMode = 0;
inline os::DWORD g_savedRotation = 0;
inline os::DWORD g_savedAutoOrientation = 0;
// The two above hold the user's settings from the first landscape turn.
inline std::atomic<bool> g_orientationSaved{false};
struct SerialReader;
inline SerialReader* g_gpsSerialReader = nullptr;
inline bool g_destroying = false;
inline bool g_waitCursorShown = false;
// The portrait alert is up: the toolbar is ignored. Set by the rotation watch.
inline std::atomic<bool> g_rotationAlert{false};
inline bool g_touchEnabled = false;      // set by the first paint; touches before it are ignored
inline bool g_recordingBlocked = false;  // the capture graph refuses new recordings
inline int EventTaggedFlag = 0;          // the open recording holds an event: file it at the split
inline WorkerThread g_rotationWatch;
