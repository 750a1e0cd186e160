// Inside the platform layer: the state of an open serial port, shared by the
// port functions (comm_port.cpp) and the control functions (comm_control.cpp).
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/devices/comm.h"

namespace os::detail {

struct CommPort {
    std::string name;
    std::shared_ptr<sim::CommLine> line;  // null once unplugged
    bool canRead = false;
    bool canWrite = false;
    bool closed = false;
    DCB dcb;
    COMMTIMEOUTS timeouts;
    DWORD inQueueSize = 4096;
    std::deque<BYTE> received;
    DWORD errors = 0;
    DWORD mask = 0;
    DWORD pendingEvents = 0;
    unsigned maskChanges = 0;  // a WaitCommEvent in progress ends when this moves
    unsigned readAborts = 0;   // a ReadFile in progress ends when this moves
    HANDLE dataEvent = nullptr;  // manual reset, set while bytes are waiting
    HANDLE commEvent = nullptr;  // manual reset, set when WaitCommEvent has something to report
};

// Guards every port and the table of attached lines. Held only for short
// bookkeeping; never across a wait or a call into a CommLine.
std::mutex& CommMutex();
// The open port of a handle, or null with ERROR_INVALID_HANDLE set. Call with CommMutex held.
std::shared_ptr<CommPort> FindCommPortLocked(HANDLE handle);
// Re-evaluates the two events of a port. Call with CommMutex held.
void UpdateCommSignals(CommPort& port);

}  // namespace os::detail
