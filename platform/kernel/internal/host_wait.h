// For the platform layer only: brackets a blocking host call (a socket, a
// terminal, a serial device). While inside, the calling thread counts as
// waiting without a deadline, so the virtual clock may move on; it is woken
// from outside when the host call returns.
#pragma once

namespace os::detail {

class HostWaitScope {
public:
    explicit HostWaitScope(const char* what);
    ~HostWaitScope();
    HostWaitScope(const HostWaitScope&) = delete;
    HostWaitScope& operator=(const HostWaitScope&) = delete;
};

}  // namespace os::detail
