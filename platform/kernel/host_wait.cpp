#include "platform/kernel/internal/host_wait.h"

#include "platform/kernel/internal/scheduler.h"

namespace os::detail {

HostWaitScope::HostWaitScope(const char* what)
{
    std::unique_lock<std::mutex> lk(Sched().mu);
    if (ThreadRec* self = Self()) Sched().BeginHostWait(lk, self, what);
}

HostWaitScope::~HostWaitScope()
{
    std::unique_lock<std::mutex> lk(Sched().mu);
    if (ThreadRec* self = Self()) Sched().EndHostWait(lk, self);
}

}  // namespace os::detail
