// The event poll's way to the recorder: the application registers these
// functions, since the recorder links the sensing library and not the other
// way round. Every function is called on the main window's thread with the
// main window; the registered record must outlive its registration.
#pragma once

#include "platform/base/types.h"
#include "sensing/evt_tag_record.h"
#include "settings/recorder_settings.h"

struct EventRecorderLink {
    // The settings the poll reads (levels, EnableMovRecordWidthEvtTag, EvtTagSMSSend, EvtTagSMSRecvNum).
    const RecorderSettings* (*settings)(os::HWND);
    int (*captureState)(os::HWND);    // EventCaptureState: 3 while an event clip is written
    // The recorder's share of a decided event (returns 0 when it was deferred or not taken, 1 when an event clip
    // was started, 2 when the open file was tagged). The recorder fills videoFrame, sequence and elapsedSec of the
    // tag itself and keeps the deferred flag.
    int (*takeEvent)(os::HWND, const EvtTagRecord*);
    // A deferred event whose clip may start now (state left 3); 1 when one started, 0 otherwise.
    int (*takeDeferred)(os::HWND);
    // The main screen's transient message: resource string id, shown for ms.
    void (*showMessage)(os::HWND, unsigned id, int ms);
};

void SetEventRecorderLink(const EventRecorderLink* link);  // null unsets
