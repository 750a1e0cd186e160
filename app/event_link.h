// Connects the event poll and the sounds of the sensing library to this
// window's recorder, settings and screen. Register after the recorder is
// attached, unregister before it is detached; both on the main window's thread.
#pragma once

void RegisterEventRecorderLink();
void UnregisterEventRecorderLink();
