// Recording as the main window drives it: capture start and stop, the start
// and stop commands of the recording and GPS screens, the file split of
// timer 2, the settings command, and the storage check when a volume comes
// or goes. All of it runs on the main window's thread.
#pragma once

#include <cstdint>

#include "platform/base/types.h"

// Mode 4 with capture stopped: checks the storage class and the free space,
// starts capture and asks for the first recording.
void StartCaptureAndRecording(os::HWND hwnd);
// Marks capture running, repaints and runs the capture graph.
void RunCapture(os::HWND hwnd);
void StopCapture(os::HWND hwnd);

void OnRecStart(os::HWND hwnd);
void OnRecStop(os::HWND hwnd);
void OnRecPause(os::HWND hwnd);
// Stops the recording (with the stop sound when withSound is 1; release
// also frees the encoder's memory, as on power loss); a continuous file
// that closes is filed and counted as a split would.
void StopAndAccountRecording(os::HWND hwnd, int withSound, bool release);
// Timer 2: closes the current file and opens the next one.
void SplitRecordingFile(os::HWND hwnd);
void OnSettings(os::HWND hwnd);
// WM_DEVICECHANGE: ends the run when the recording volume is gone.
void CheckRecordingVolume(os::HWND hwnd);
