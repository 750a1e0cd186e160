// CloseHandle's way to the modules that keep handles of their own kinds: the
// handle table says whose a value is.
#include "platform/devices/comm.h"
#include "platform/devices/internal/device_table.h"
#include "platform/files/internal/file_detail.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/kernel/internal/kernel_object.h"

namespace os::detail {

bool CloseOtherHandle(HANDLE handle)
{
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (IsLiveHandle(value, HandleKind::Comm)) return CloseComm(handle) != FALSE;
    if (IsLiveHandle(value, HandleKind::File)) return CloseFileHandle(handle);
    if (IsLiveHandle(value, HandleKind::Device)) return CloseDeviceHandle(handle);
    return false;
}

}  // namespace os::detail
