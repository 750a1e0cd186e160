// Inside the platform layer: writing into a message queue on behalf of a
// system service (the power manager) that holds no handle of its own.
#pragma once

#include <memory>

#include "platform/base/types.h"

namespace os::detail {

struct MsgQueue;

// The queue behind a handle; empty when the handle is not a queue.
std::weak_ptr<MsgQueue> QueueOfHandle(HANDLE handle);
// Adds a message without waiting; false when the queue is gone, full, or the
// message is above its maximum size.
bool PostToQueue(const std::weak_ptr<MsgQueue>& queue, const void* data, DWORD size);

}  // namespace os::detail
