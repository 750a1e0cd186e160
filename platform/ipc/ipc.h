// Windows of other kestrava processes on the same device root. A process
// that listens publishes itself in "<root>/.ipc/<pid>" (the file holds the
// name of its abstract Unix socket); FindWindowW asks each published process
// in turn and PostMessageW/SendMessageW reach a found window through it.
// The listener is a host thread of the platform's own, outside the simulated
// phone: it never blocks in a platform wait, and hands messages to the
// window's thread like any other sender.
#pragma once

#include <string>

namespace os::sim {

// Where other processes are looked for; without it FindWindowW stays local.
void SetIpcRoot(const std::string& deviceRoot);
// Starts answering other processes; false with `error` set on failure.
bool StartIpcListener(std::string* error);
void StopIpcListener();

}  // namespace os::sim
