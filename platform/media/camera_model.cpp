#include "platform/media/internal/camera_model.h"

#include <strings.h>

#include "platform/devices/device.h"

namespace os::detail {

namespace {
bool Is(const std::string& model, const char* name) { return strcasecmp(model.c_str(), name) == 0; }

constexpr LONG kAutoManual = VideoProcAmp_Flags_Auto | VideoProcAmp_Flags_Manual;
constexpr LONG kManual = VideoProcAmp_Flags_Manual;
}  // namespace

CameraModel ModelOfDevice()
{
    const std::string model = sim::CurrentDeviceProfile().oemInfo;
    CameraModel m;
    const bool i900 = Is(model, "sgh-i900");
    const bool m490 = Is(model, "sch-m490") || Is(model, "sch-m495");
    m.framesPerSecond = i900 ? 24 : 30;
    m.focusThroughZoomProperty = i900;

    m.caps.autoFocus = i900 ? FALSE : TRUE;
    m.caps.iso = i900 ? FALSE : TRUE;
    m.caps.imageStabilization = m490 ? TRUE : FALSE;
    m.caps.wdr = m490 ? TRUE : FALSE;
    m.caps.flash = TRUE;
    m.caps.minIso = 100;
    m.caps.maxIso = 800;

    // Brightness in steps of 250 around 750; contrast, saturation and
    // sharpness on 0..100; white balance in kelvin; hue and gamma not offered.
    m.procAmp[0] = {true, -10000, 10000, 250, 750, kAutoManual};
    m.procAmp[1] = {true, 0, 100, 1, 50, kManual};
    m.procAmp[3] = {true, 0, 100, 1, 50, kManual};
    m.procAmp[4] = {true, 0, 100, 1, 50, kManual};
    m.procAmp[7] = {true, 2800, 6500, 100, 5000, kAutoManual};

    // Zoom in tenths: 1.0x to 4.0x, or 2.0x on the smaller sensors. The i900
    // also takes its focus commands (707 start, 708 hold) on this property.
    m.cameraControl[3] = m490 ? PropertyRange{true, 10, 20, 2, 10, kManual} : PropertyRange{true, 10, 40, 3, 10, kManual};
    m.cameraControl[4] = {true, -4, 4, 1, 0, kAutoManual};
    m.cameraControl[6] = {!i900, 0, 100, 1, 0, kAutoManual};
    m.cameraControl[7] = {i900, 1, 3, 1, 1, kManual};  // the i900's flash: 1 off, 3 on
    return m;
}

}  // namespace os::detail
