// CloseHandle's way to the modules that keep handles of their own kinds.
#include "platform/devices/comm.h"
#include "platform/files/internal/file_detail.h"
#include "platform/kernel/internal/kernel_object.h"

namespace os::detail {

bool CloseOtherHandle(HANDLE handle)
{
    if (IsCommHandle(handle)) return CloseComm(handle) != FALSE;
    return CloseFileHandle(handle);
}

}  // namespace os::detail
