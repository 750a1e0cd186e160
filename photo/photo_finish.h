// Taking a photo and finishing it. TakePhoto starts a capture into the
// temporary file; FinishPhoto, called when the still is written, adds the
// EXIF segment when the GPS position is valid (else, or when the source's
// head does not pass the check, the photo is saved unchanged), copies the
// result to the target path (the next free name when it is taken) and posts
// the save message. A photo that cannot be saved stays in the temporary
// folder and the message says so.
#pragma once

#include "photo/photo_state.h"
#include "platform/base/types.h"
#include "sensing/gps_state.h"

// The GGA position when the parser reports a valid one; positions that are
// not finite numbers count as none.
struct PhotoPosition {
    int valid = 0;
    double latitude = 0, longitude = 0, altitude = 0;
};

PhotoPosition ReadPhotoPosition(GpsState* gps);

// Starts a capture into kPhotoTempFile with target as the photo's path.
// 0 when a capture is in progress (and has not been given up) or the still
// could not be triggered; 1 when it was.
int TakePhoto(PhotoState* photo, os::HWND hwnd, const char* target);

// Finishes the still at tempPath for the capture in progress. 1 when the
// photo was saved (PhotoState::saved names it), 0 when not.
int FinishPhoto(PhotoState* photo, GpsState* gps, const char* tempPath, os::HWND hwnd);

// A JPEG still the camera made itself, for the capture in progress: shown in
// place of the live picture for the save message's time (when it decodes),
// written as a new kPhotoTempFile and finished as FinishPhoto does. When the
// file cannot be written none is left and the message says the photo was not
// saved. 0 also for a still nobody asked for, which is dropped.
int StillReady(PhotoState* photo, GpsState* gps, const os::BYTE* bytes, os::LONG length, os::HWND hwnd);

// The message text for a saved photo: "Lat.:%.2f, Lon.:%.2f\n Save %s", or
// "Save %s" without a position, the file name being the path's last part.
std::string PhotoSaveMessage(const PhotoPosition& position, const std::string& path);
