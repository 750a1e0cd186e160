// The capture graph manager's steps shared between its files: the graph
// build and teardown, the command thread's commands, and small helpers for
// the platform's interfaces. Callers hold the command lock or run on the
// command thread.
#pragma once

#include "recorder/capture_graph.h"

// Holds the manager's command lock for a scope.
class CommandLock {
public:
    explicit CommandLock(CaptureGraphManager* m) : cs_(&m->commandLock) { os::EnterCriticalSection(cs_); }
    ~CommandLock() { os::LeaveCriticalSection(cs_); }
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

private:
    os::CRITICAL_SECTION* cs_;
};

// Builds the graph (all steps); on failure everything built is released.
os::HRESULT BuildGraph(CaptureGraphManager* m);
// Fills the step tables from the model and the device's current values.
void ApplyModelDefaults(CaptureGraphManager* m);
// Arms the capture streams and runs the graph.
os::HRESULT FinishGraph(CaptureGraphManager* m);
// Stops the graph, releases every interface and closes the camera.
void TearDownGraph(CaptureGraphManager* m);
// Runs, pauses or stops the graph through its control face.
enum class GraphState { Run, Stop };
os::HRESULT ControlGraph(CaptureGraphManager* m, GraphState state);
// Gives every filter the system clock and logs the pins.
void SetClockOnAllFilters(CaptureGraphManager* m);
os::HRESULT SetCaptureFormat(CaptureGraphManager* m);

// Commands 5 to 10 on the command thread.
os::HRESULT StartRecordingStreams(CaptureGraphManager* m);
os::HRESULT StopRecordingStreams(CaptureGraphManager* m);
os::HRESULT ResumeRecordingStreams(CaptureGraphManager* m);
os::HRESULT TriggerStill(CaptureGraphManager* m);

// Finds a pin of `filter` through the builder (category and type may be null).
os::IPin* FindGraphPin(CaptureGraphManager* m, os::IBaseFilter* filter, os::PIN_DIRECTION dir, const os::GUID* category,
                       const os::GUID* type);
// Releases and clears an interface pointer.
template <class T>
void ReleaseInterface(T** p)
{
    if (*p) {
        (*p)->Release();
        *p = nullptr;
    }
}
// Whether the device model is this one, compared without case.
bool IsModel(const CaptureGraphManager* m, const char* model);
