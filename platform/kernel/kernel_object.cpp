#include "platform/kernel/internal/kernel_object.h"

#include "platform/kernel/internal/handle_table.h"

namespace os::detail {

namespace {

constexpr std::uintptr_t kCurrentThreadPseudoHandle = 0xFFFFFFFEu;

std::map<std::uintptr_t, std::shared_ptr<KernelHandle>>& Handles()
{
    static std::map<std::uintptr_t, std::shared_ptr<KernelHandle>> handles;
    return handles;
}

}  // namespace

std::map<std::string, std::weak_ptr<EventObject>>& NamedEvents()
{
    static std::map<std::string, std::weak_ptr<EventObject>> events;
    return events;
}

void KernelObject::WakeWaiters()
{
    for (ThreadRec* t : waiters) Sched().Wake(t);
}

HANDLE AddHandle(std::shared_ptr<KernelObject> object)
{
    const std::uintptr_t value = NewHandleValue(HandleKind::Kernel);
    Handles()[value] = std::make_shared<KernelHandle>(KernelHandle{std::move(object), false});
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelHandle> LookupKernelHandle(HANDLE handle)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value == kCurrentThreadPseudoHandle) {
        ThreadRec* self = Self();
        if (self == nullptr) return nullptr;
        return std::make_shared<KernelHandle>(KernelHandle{self->object, false});
    }
    auto& handles = Handles();
    const auto it = handles.find(value);
    return it == handles.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle)
{
    auto open = LookupKernelHandle(handle);
    return open ? open->object : nullptr;
}

bool RemoveHandle(HANDLE handle)
{
    auto& handles = Handles();
    const auto it = handles.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == handles.end()) return false;
    std::shared_ptr<KernelHandle> open = std::move(it->second);
    handles.erase(it);
    ReleaseHandleValue(reinterpret_cast<std::uintptr_t>(handle), HandleKind::Kernel);
    open->closed = true;
    open->object->WakeWaiters();
    return true;
}

void ResetKernelObjects()
{
    Handles().clear();
    NamedEvents().clear();
}

}  // namespace os::detail
