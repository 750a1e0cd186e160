// The result codes every function of the handset maker's SDK returns (the
// camera and the optical mouse alike).
#pragma once

#include "platform/base/types.h"

namespace os {

using SMI_RESULT = DWORD;
constexpr SMI_RESULT SMI_SUCCESS = 0;
constexpr SMI_RESULT SMI_ERROR_INVALID_HANDLE = 1;
constexpr SMI_RESULT SMI_ERROR_NOT_SUPPORTED = 2;
constexpr SMI_RESULT SMI_ERROR_INVALID_PARAMETER = 3;
constexpr SMI_RESULT SMI_ERROR_DEVICE = 4;

}  // namespace os
