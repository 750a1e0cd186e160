#include "platform/kernel_object.h"

namespace os::detail {

bool CloseOtherHandle(HANDLE)
{
    return false;
}

}  // namespace os::detail
