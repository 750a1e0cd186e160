#include "sim/status_source.h"

#include "recorder/mov.h"

namespace sim {

bool ReadRecorderActivity(os::HWND hwnd, RecorderActivity* activity)
{
    RecorderStatusView view;
    if (MOV_ReadStatus(hwnd, &view) != 1) return false;
    if (view.eventClip) {
        *activity = RecorderActivity::EventClip;
    } else if (view.recording) {
        *activity = view.paused ? RecorderActivity::Paused : RecorderActivity::Recording;
    } else if (view.armed) {
        *activity = RecorderActivity::Armed;
    } else {
        *activity = RecorderActivity::Stopped;
    }
    return true;
}

}  // namespace sim
