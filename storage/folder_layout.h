// The folder tree on the storage volume and the names of recordings:
//   \<SelectDisk>\Ardvane\YYYYMMDD\HHMMSS\[Event|Photo|GPS\]HHMMSS_YYYYMMDD.ext
// The date folder is the date when the folder is made; the time folder is the
// time of day of LaunchTime for the whole run; the file name is the local
// time at which the recording is named. Paths are at most 260 characters;
// an operation whose path would be longer fails with 0 and changes nothing.
#pragma once

#include <string>
#include <string_view>

#include "platform/base/types.h"
#include "storage/storage_state.h"

// The folder below the storage root that holds every recording.
constexpr const char* kRecordingFolder = "Ardvane";

// Recording kinds, and the subfolder of the time folder each goes to.
constexpr int kRecordingGps = 1;    // "GPS"
constexpr int kRecordingVideo = 4;  // none, or "Event" with the event flag
constexpr int kRecordingPhoto = 5;  // "Photo"

// Takes LaunchTime from the local clock; the first step of main-window creation.
void RecordLaunchTime(StorageState* storage);

// Forms StorageRoot ("\%s" of SelectDisk) and the recording root below it, and
// creates the recording root when it does not exist. 1 when it exists after.
int PrepareRecordingRoot(os::HWND hwnd);

// Makes today's date folder and the run's time folder below the recording
// root, stores TimeFolder, and for kinds 1 and 5 makes their "GPS" and
// "Photo" subfolders. A time
// folder that cannot be made is traced; 1 when the folders of the kind exist.
int PrepareTimeFolder(os::HWND hwnd, int kind);

// The full path of a new recording in baseFolder (normally TimeFolder) named
// after the current local time. Kind 4 also becomes the last recording: its
// folder is "%s\%s" of baseFolder and subfolder, which ends in a backslash
// when there is no subfolder. The folder is not created here. storage is the
// application state's (the caller reaches it through the main window).
int MakeRecordingPath(StorageState* storage, std::string_view baseFolder, int kind, std::string_view extension,
                      std::string* path, int eventFlag);

int GetLastRecording(const StorageState* storage, std::string* folder, std::string* name);

// The folder of the running program file, without a trailing backslash.
int GetModuleFolder(std::string* path);
