#include "platform/file_detail.h"
#include "platform/kernel_object.h"

namespace os::detail {

bool CloseOtherHandle(HANDLE handle)
{
    return CloseFileHandle(handle);
}

}  // namespace os::detail
