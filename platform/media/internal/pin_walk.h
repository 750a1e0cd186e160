// For the platform layer only: a walk over a filter's pins, each held while
// `f` looks at it. `f` may return bool: false ends the walk.
#pragma once

#include <type_traits>

#include "platform/media/media_interfaces.h"

namespace os::detail {

template <class F>
void ForEachPin(IBaseFilter* filter, F f)
{
    IEnumPins* pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return;
    IPin* pin = nullptr;
    bool more = true;
    while (more && pins->Next(1, &pin, nullptr) == S_OK) {
        if constexpr (std::is_void_v<decltype(f(pin))>) f(pin);
        else more = f(pin);
        pin->Release();
    }
    pins->Release();
}

}  // namespace os::detail
