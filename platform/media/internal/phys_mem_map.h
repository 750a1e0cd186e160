// For the platform layer only: how a device (the codec) reaches physical
// memory by bus address.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/base/types.h"

namespace os::detail {

// The host address of bytes [phys, phys + size) when they lie wholly inside
// one live block; null otherwise (a stale or wild address is refused, never
// followed). Valid until that block is freed.
BYTE* PhysToVirt(DWORD phys, std::size_t size);

}  // namespace os::detail
