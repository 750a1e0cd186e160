// The event machinery: the pre-event buffer, the sensors the event poll
// reads, the two events and the event writer thread that writes the clips of
// event-only recording. Arming ties it to a recording; disarming finishes a
// clip in progress on the writer thread and waits for it (bounded).
#pragma once

#include "recorder/recorder_state.h"

// 1 when the buffer, the events and (in event-only mode) the writer exist.
int StartEventMachinery(RecorderState* s);
// Ends the writer (bounded wait) and frees the machinery; false when the
// writer did not end, in which case what it uses is left in place.
bool StopEventMachinery(RecorderState* s);
// Creates the writer thread when event-only recording needs it and there is none.
int EnsureEventWriter(RecorderState* s);
// Sets the sensors' thresholds from the settings' levels.
void ApplyShockSensitivity(RecorderState* s);
// Arming and disarming at the start and stop of a recording.
int ArmEvents(RecorderState* s);
void DisarmEvents(RecorderState* s);
// Buffers one sample for event-only recording; 1 when it could not be taken.
int BufferSample(RecorderState* s, const os::BYTE* data, int size, int kind, std::int64_t start, std::int64_t stop);
