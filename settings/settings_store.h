// The settings store: the RecorderSettings record and its registry key,
// HKEY_CURRENT_USER "\Software\Holmbrek\Ardvane". Every operation opens the
// key afresh (creating it when missing) and closes it again. Operations that
// take the main window reach the record through its application state; they
// return 1 on success and 0 on failure.
//
// Load fills every field, taking its default when the value is missing or
// unreadable (fields without a default keep what they held); when the key can
// neither be opened nor created, nothing is touched. Save writes every stored
// field; single write failures are ignored. A stored text longer than its
// field is cut to the characters that fit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "settings/fixed_text.h"
#include "settings/recorder_settings.h"

// The settings key, opened for reading and writing, or null.
os::HKEY OpenSettingsKey();

// Both read whatever type is stored, and succeed only when the size query
// and the read do.
int ReadDwordValue(os::HKEY key, const char* name, uint32_t* field);
int ReadTextValue(os::HKEY key, const char* name, std::string* text);
template <std::size_t N>
int ReadStringValue(os::HKEY key, const char* name, FixedText<N>* field)
{
    std::string text;
    return ReadTextValue(key, name, &text) && field->Assign(text) ? 1 : 0;
}
int WriteDwordValue(os::HKEY key, const char* name, uint32_t value);
int WriteStringValue(os::HKEY key, const char* name, std::string_view text);

int LoadSettings(os::HWND mainWindow);
int SaveSettings(os::HWND mainWindow);

// Writes one stored number of the record under its own name (not
// MinFreeSpaceMB, which is never stored).
int WriteSettingDword(os::HWND mainWindow, uint32_t RecorderSettings::*field);
// EventTagDetectLevelX, Y and Z, always together.
int WriteDetectLevels(os::HWND mainWindow);
int WriteSelectDisk(os::HWND mainWindow);

// Keeps the recording-related fields before a settings page opens, and tells
// whether one that matters to a running recording changed since.
int SnapshotRecordingSettings(os::HWND mainWindow);
int RecordingSettingsChanged(os::HWND mainWindow);

int DefaultLanguage(FixedText<64>* buffer);
// The language that picks the resource library, read before the record
// exists: "Korean" when the value is missing or empty, "English" when the
// key cannot be opened or created (then 0 is returned).
int ReadLanguageSetting(std::string* language);
