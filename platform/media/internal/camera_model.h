// For the platform layer only: what the handset's camera can do, by model
// (the OEM text of the device profile, compared without case).
#pragma once

#include <string>

#include "platform/media/smi_camera.h"

namespace os::detail {

struct PropertyRange {
    bool supported = false;
    LONG min = 0;
    LONG max = 0;
    LONG step = 1;
    LONG deflt = 0;
    LONG flags = 0;  // the flags the property takes: auto and manual bits
};

struct CameraModel {
    int framesPerSecond = 30;
    SmiCameraCapabilitiesEx caps;
    PropertyRange procAmp[10];
    PropertyRange cameraControl[8];
    // The model focuses through camera-control property 3 (values 707, 708)
    // and flashes through property 7 instead of the maker's functions.
    bool focusThroughZoomProperty = false;
};

CameraModel ModelOfDevice();

}  // namespace os::detail
