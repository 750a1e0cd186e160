#include "sensing/record_sound.h"

#include "platform/base/trace.h"

int PlayRecordSound(os::HWND, int)
{
    // Will play the start or stop sound with the alarm sounds.
    os::Trace("PlayRecordSound: not built yet");
    return 0;
}
