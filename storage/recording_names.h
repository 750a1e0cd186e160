// Which files on the card are ordinary recordings, the ones loop recording
// may delete. An ordinary clip is "HHMMSS_YYYYMMDD.avi" (lower-case
// extension) lying directly in a time folder
// "\<volume>\Ardvane\YYYYMMDD\HHMMSS"; everything else on the card (event
// clips, photos, GPS logs, files of other names or other folders) is
// protected and never deleted.
#pragma once

#include <string_view>

// 19 characters: six digits, "_", eight digits, ".avi".
bool IsRecordingFileName(std::string_view name);
// The recording tree's folder test: "\<volume>\Ardvane\<8 digits>\<6 digits>"
// with an optional "\Event" below and one more level under that; deeper
// paths pass without further checks. Empty components are not counted.
bool IsRecordingFolderPath(std::string_view path);
// A time folder itself: exactly "\<volume>\Ardvane\<8 digits>\<6 digits>".
bool IsTimeFolderPath(std::string_view path);
// The sort key of a recording name: its date digits then its time digits
// (YYYYMMDDHHMMSS), so that clips sort oldest first even across midnight.
unsigned long long RecordingAge(std::string_view name);
