#include "sensing/alarm_sound.h"

#include "platform/base/trace.h"

int PlayAlarmSound(os::HWND)
{
    // Will play the accident alarm chosen by AccidentSound.
    os::Trace("PlayAlarmSound: not built yet");
    return 0;
}
