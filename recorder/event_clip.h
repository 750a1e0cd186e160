// The event clip of event-only recording: the buffered seconds before the
// event and the seconds after it, written into a new file in the "Event"
// folder by the event writer thread. The clip ends after EventTimeSec past
// the event, or early with what it has when the recorder is disarmed or no
// sample came for a second.
#pragma once

#include "recorder/recorder_state.h"

// Runs while EventCaptureState is 3; takes the recorder lock per node.
void RunEventClip(RecorderState* s);
