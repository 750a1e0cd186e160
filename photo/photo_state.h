// The still photo: one capture at a time, from the shutter to the finished
// JPEG in the "Photo" folder. Part of the application state; PhotoInit makes
// its lock, PhotoDeinit deletes it.
//
// Threads: TakePhoto runs on the main window's thread, FinishPhoto on the
// capture graph's event thread, or on the camera's streaming thread through
// StillReady for a JPEG still the camera made itself; all take the photo lock
// for the fields below. The finisher never draws: it posts
// WM_RECORDER_PHOTO_MESSAGE and the main window shows PhotoState::message;
// the still itself goes to the preview, which the paint shows.
#pragma once

#include <string>

#include "photo/exif_segment.h"
#include "platform/base/types.h"
#include "platform/kernel/sync.h"

// Posted to the main window when a photo was saved or could not be.
constexpr os::UINT WM_RECORDER_PHOTO_MESSAGE = 10545;
constexpr os::DWORD kPhotoMessageMs = 3000;
// A capture whose still has not arrived after this long is given up, so that
// a lost still does not refuse every later photo.
constexpr os::DWORD kStillWaitMs = 10000;

struct PhotoState {
    os::CRITICAL_SECTION lock;  // the photo lock
    bool lockMade = false;
    int capturing = 0;
    os::DWORD captureStartTick = 0;
    std::string target;          // the photo's path in the "Photo" folder
    int compressedStill = 0;     // the still pin delivers "IJPG" data
    os::SYSTEMTIME captureStart{};
    os::SYSTEMTIME captureEnd{};
    ExifIdentity identity;
    std::string message;         // the last save message, for the main window
    std::string saved;           // the path the last photo was saved at; empty when it was not
};

void PhotoInit(PhotoState* photo);
void PhotoDeinit(PhotoState* photo);
