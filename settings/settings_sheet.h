// The settings sheet: four pages over the settings record (storage,
// recording, event tagging, About), run modally over the main window.
//
// Opening clears the application's restart-recording flag and sets its
// sheet-open flag while the sheet runs. Each page fills its controls from
// the record when it is first shown; on closing, each page that was shown
// writes its controls back and saves the whole record, the last shown first.
// The storage page, always shown first and so closed last, sets the
// restart-recording flag when a recording-related setting changed since
// SnapshotRecordingSettings. Messages the pages show never close the sheet.
#pragma once

#include "platform/base/types.h"

// 1 unless the sheet could not be made.
int RunSettingsSheet(os::HINSTANCE resources, os::HWND mainWindow);
