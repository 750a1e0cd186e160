#include "app/event_link.h"

#include "app/app_state.h"
#include "app/cmd_run.h"
#include "app/resource_text.h"
#include "recorder/mov.h"
#include "sensing/event_recorder_link.h"
#include "sensing/sound_link.h"

namespace {

const RecorderSettings* Settings(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    return app != nullptr ? &app->settings : nullptr;
}

int CaptureState(os::HWND hwnd)
{
    const RecorderState* state = MOV_State(hwnd);
    return state != nullptr ? state->EventCaptureState.load() : 0;
}

// A tagged file goes to the "Event" folder at the next split.
int TakeEvent(os::HWND hwnd, const EvtTagRecord* tag)
{
    const int taken = MOV_TakeEvent(hwnd, tag);
    if (taken == kEventTaggedFile) EventTaggedFlag = 1;
    return taken;
}

int TakeDeferred(os::HWND hwnd)
{
    return MOV_TakeDeferredEvent(hwnd);
}

void ShowMessage(os::HWND hwnd, unsigned id, int ms)
{
    ShowScreenMessage(hwnd, ResourceText(id).c_str(), static_cast<uint32_t>(ms), 0, -1);
}

constexpr EventRecorderLink kLink{Settings, CaptureState, TakeEvent, TakeDeferred, ShowMessage};

RecorderSettings* SoundSettings(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    return app != nullptr ? &app->settings : nullptr;
}

// Only this thread starts and stops recordings: its own reads need no lock.
int Recording(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    return app != nullptr && app->recorder.status.recording != 0 ? 1 : 0;
}

constexpr SoundLink kSoundLink{SoundSettings, Recording};

}  // namespace

void RegisterEventRecorderLink()
{
    SetEventRecorderLink(&kLink);
    SetSoundLink(&kSoundLink);
}

void UnregisterEventRecorderLink()
{
    SetSoundLink(nullptr);
    SetEventRecorderLink(nullptr);
}
