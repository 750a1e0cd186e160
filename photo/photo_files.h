// The file steps of a finished photo: writing the copy with the EXIF segment
// and moving a file onto the storage card by copying it. Every write is
// checked; a copy that cannot be completed (a full card, a removed card) is
// deleted and its source kept, so a photo exists in one whole place at any
// time. Names of photos follow the recordings' scheme "HHMMSS_YYYYMMDD.jpg";
// a name already taken moves on to the next second.
#pragma once

#include <string>

#include "photo/exif_segment.h"
#include "platform/base/types.h"

// The temporary files, in a folder made when missing.
constexpr const char* kPhotoTempFolder = "\\temp";
constexpr const char* kPhotoTempFile = "\\temp\\kestrava_tmp.jpg";
constexpr const char* kPhotoExifTempFile = "\\temp\\kestrava_tmp2.jpg";
constexpr unsigned kPhotoCopyBlock = 0x20000;
constexpr int kPhotoNameAttempts = 60;

// 1 when the temporary folder exists (made here if needed).
int PreparePhotoTemp();

// Writes destination (created or replaced) as the source with the EXIF
// segment after its head. 0, with no destination left behind, when the
// source's head does not pass the check, a position is not finite, or any
// open, read or write fails.
int WriteExif(const ExifIdentity& identity, const os::SYSTEMTIME& time, const char* source, const char* destination,
              double latitude, double longitude, double altitude);

// Copies source to a new file at *destination, or at the next free name of
// the same scheme when that is taken (*destination then names it), and
// deletes the source. 0 when no name is free, the source cannot be read or a
// write fails: any partial copy is deleted and the source stays.
int MoveFileByCopy(const char* source, std::string* destination);

// The same path with the time part of "HHMMSS_YYYYMMDD.ext" one second
// later; 0, path unchanged, for a name of another form.
int NextPhotoName(std::string* path);
