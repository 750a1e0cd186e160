// The component runtime's per-process initialisation, which the program
// brackets its run with. Nothing here needs it yet; the count is kept so that
// an unbalanced pair shows.
#pragma once

#include "platform/base/types.h"

namespace os {

using HRESULT = LONG;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

HRESULT CoInitializeEx(void* reserved, DWORD flags);
void CoUninitialize();

namespace sim {
// How many CoInitializeEx calls are not yet balanced by CoUninitialize.
int ComInitCount();
}  // namespace sim

}  // namespace os
