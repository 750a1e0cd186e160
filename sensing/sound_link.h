// The sounds' way to the program's state: the application registers these
// functions, since sensing does not link the application. They may be called
// from the main window's thread and from the recorder's event writer (the
// start and stop sounds of an event clip); the registered record must
// outlive its registration. Without a link no sound plays.
#pragma once

#include "platform/base/types.h"
#include "settings/recorder_settings.h"

struct SoundLink {
    // The settings record: EnablePlaySound is read, AccidentSound re-read into it.
    RecorderSettings* (*settings)(os::HWND);
    // 1 while a recording runs (a continuous file is open); asked on the main
    // window's thread only, by the shutter and the alarm.
    int (*recording)(os::HWND);
};

void SetSoundLink(const SoundLink* link);  // null unsets
