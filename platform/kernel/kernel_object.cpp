#include "platform/kernel/internal/kernel_object.h"

#include <map>

namespace os::detail {

namespace {

struct HandleTable {
    std::map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
    std::uintptr_t next = 0x100;
};

HandleTable& Table()
{
    static HandleTable table;
    return table;
}

}  // namespace

void KernelObject::WakeWaiters()
{
    for (ThreadRec* t : waiters) Sched().Wake(t);
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object)
{
    HandleTable& table = Table();
    std::uintptr_t value = table.next;
    table.next += 4;
    if (table.next >= kKernelHandleLimit) table.next = 0x100;
    table.objects[value] = std::move(object);
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    if (reinterpret_cast<std::uintptr_t>(handle) == 0xFFFFFFFEu) {
        ThreadRec* self = Self();
        return self ? self->object : nullptr;
    }
    auto& objects = Table().objects;
    auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == objects.end() ? nullptr : it->second;
}

bool RemoveHandle(HANDLE handle)
{
    auto& objects = Table().objects;
    auto it = objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == objects.end()) return false;
    std::shared_ptr<KernelObject> object = std::move(it->second);
    objects.erase(it);
    object->closed = true;
    object->WakeWaiters();
    return true;
}

}  // namespace os::detail
