// For the platform layer only: the imaging factory, created by id
// (CoCreateInstance, media_classes.cpp).
#pragma once

#include "platform/media/com_types.h"

namespace os::detail {

CUnknown* NewImagingFactory(HRESULT* hr);

}  // namespace os::detail
