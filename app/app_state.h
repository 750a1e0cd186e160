// The application state: one EventRecorderApp per process, created with the
// main window and kept as its user data (GWL_USERDATA), through which every
// operation that takes the main window reaches it. Process-wide values that
// exist before or beside the main window live here as globals.
#pragma once

#include <cstdint>

#include "platform/types.h"
#include "platform/window.h"
#include "settings/recorder_settings.h"
#include "storage/storage_state.h"

struct EventRecorderApp {
    uint32_t cmdMode = 0;  // the current screen mode; stays the first field
    RecorderSettings settings;
    // The recording-related settings as they were when a settings page opened.
    RecorderSettings savedSettings;
    StorageState storage;
};

// The application state the main window keeps; null before it is attached.
inline EventRecorderApp* AppFromWindow(os::HWND hwnd)
{
    return reinterpret_cast<EventRecorderApp*>(os::GetWindowLongW(hwnd, os::GWL_USERDATA));
}

// The per-language resource library, loaded at start-up.
inline os::HINSTANCE g_hResourceLibrary = nullptr;
