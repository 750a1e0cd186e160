// The program's sounds: the start and stop sounds of recordings, GPS logs and
// event clips, the shutter and autofocus sounds of still photos, and the
// alarm of a tagged event. Every sound plays from a file of "\windows" and
// only while EnablePlaySound is 1. The variants (StartSound, EndSound,
// ShutterSound, AccidentSound) are read from the settings key at the moment
// of playing; a variant without a file plays nothing, and no sound is ever
// asked for by an empty name. Start, stop and autofocus sounds keep the
// caller until they end; the shutter and the alarm do not.
//
// Each returns 1 when a sound played, 0 otherwise.
#pragma once

#include <cstdint>
#include <string>

#include "platform/base/types.h"

// start: 1 for the start sound, 0 for the stop sound.
int PlayRecordSound(os::HWND hwnd, int start);
// Only while no recording runs.
int PlayShutterSound(os::HWND hwnd);
int PlayAutoFocusSound(os::HWND hwnd, int failed);
// Only while a recording runs and AccidentSound (re-read into the settings) is 1.
int PlayAccidentSound(os::HWND hwnd);

// The file a sound plays, by its variant, given which device files exist;
// empty when the variant has no file.
std::string RecordSoundFile(int start, uint32_t variant);
std::string ShutterSoundFile(uint32_t variant);
