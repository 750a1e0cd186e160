// Windows of other kestrava processes on the same device root. A process
// that listens publishes itself in "<root>/.ipc/<pid>" (the file holds the
// name of its abstract Unix socket); FindWindowW asks each published process
// in turn and PostMessageW/SendMessageW reach a found window through it.
//
// Only processes of the same user are answered or asked (peer credentials
// of the socket). A process takes from others only the messages set with
// SetIpcAcceptedMessages, and only for its own top-level windows; anything
// else is refused and the sender's call fails with ERROR_ACCESS_DENIED.
// Failed remote calls set the last error: ERROR_BUSY when the other process
// serves as many connections as it takes, ERROR_TIMEOUT when it did not
// answer in time, ERROR_INVALID_WINDOW_HANDLE when the window or process is
// gone. A FindWindowW that finds nothing sets ERROR_BUSY or
// ERROR_ACCESS_DENIED when a process was busy or of another user.
//
// The listener is a host thread of the platform's own, outside the simulated
// phone, with one host thread per connection it serves: it never blocks in a
// platform wait, and hands messages to the window's thread like any other
// sender. A sender waits for its answer without handling messages sent to
// it, so sends across processes do not nest: a window that handles a message
// from another process must not send back to that process.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os::sim {

// Where other processes are looked for; without it FindWindowW stays local.
void SetIpcRoot(const std::string& deviceRoot);
// The messages other processes may post or send; none until set and none
// again after StopIpcListener. Each must carry plain numbers, never a
// pointer or a handle.
void SetIpcAcceptedMessages(std::vector<UINT> messages);
// Starts answering other processes; false with `error` set on failure.
bool StartIpcListener(std::string* error);
void StopIpcListener();

}  // namespace os::sim
