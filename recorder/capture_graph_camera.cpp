// The camera's settings: the step tables of the proc-amp and camera-control
// properties, flips, and the handset maker's camera functions (autofocus,
// ISO, stabilisation, wide dynamic range, flash) with the model differences.
#include <algorithm>
#include <cstdio>

#include "platform/base/trace.h"
#include "recorder/capture_graph_steps.h"

namespace {

constexpr char kModelI900[] = "sgh-i900";

constexpr const char* kProcAmpNames[kProcAmpProperties] = {"brightness", "contrast",  "hue",          "saturation",
                                                           "sharpness",  "gamma",     "color enable", "white balance"};
constexpr const char* kCameraControlNames[kCameraControlProperties] = {"pan",      "tilt", "roll", "zoom",
                                                                       "exposure", "iris", "focus"};

constexpr os::LONG kBrightnessSteps[] = {-7250, -5250, -3250, -1250, 750, 2750, 4750, 5750, 8750};
constexpr os::LONG kZoomSteps[] = {10, 13, 16, 19, 22, 25, 28, 31, 34, 37, 40};
constexpr os::LONG kZoomStepsM490[] = {10, 12, 14, 16, 18, 20};
constexpr int kBrightnessStart = 4;
constexpr int kStepMessageMs = 2000;

template <std::size_t N>
void FillSteps(PropertySteps* steps, const os::LONG (&values)[N])
{
    static_assert(N <= kStepValuesMax);
    steps->count = static_cast<int>(N);
    std::copy(values, values + N, steps->values);
}

// Up to kStepValuesMax values from min to max; the device step, or a wider
// one when the range holds more values than the table.
void FillFromRange(PropertySteps* steps, os::LONG min, os::LONG max, os::LONG step)
{
    steps->count = 0;
    steps->index = 0;
    if (max < min) return;
    const std::int64_t span = static_cast<std::int64_t>(max) - min;
    std::int64_t stride = std::max<std::int64_t>(step, 1);
    stride = std::max<std::int64_t>(stride, (span + kStepValuesMax - 2) / (kStepValuesMax - 1));
    for (std::int64_t v = min; v <= max && steps->count < kStepValuesMax; v += stride) {
        steps->values[steps->count++] = static_cast<os::LONG>(v);
    }
}

void StartAt(PropertySteps* steps, bool haveCurrent, os::LONG current, int fallback)
{
    steps->index = std::min(fallback, std::max(steps->count - 1, 0));
    if (!haveCurrent) return;
    for (int i = 0; i < steps->count; ++i) {
        if (steps->values[i] == current) steps->index = i;
    }
}

// Both property faces have the same shape.
template <class Face>
os::HRESULT Step(CaptureGraphManager* m, Face* face, PropertySteps* steps, int property, const char* name,
                 int direction, int index, bool automatic, os::LONG autoFlag, os::LONG manualFlag)
{
    os::HRESULT hr = os::E_NOTIMPL;
    os::LONG value = 0;
    int chosen = steps->index;
    if (automatic) {
        value = steps->count > 0 ? steps->values[steps->index] : 0;
        hr = face->Set(property, value, autoFlag);
    } else if (steps->count > 0) {
        if (index == -1) {
            chosen = direction > 0 ? std::min(steps->index + 1, steps->count - 1) : std::max(steps->index - 1, 0);
        } else {
            chosen = std::clamp(index, 0, steps->count - 1);
        }
        value = steps->values[chosen];
        hr = face->Set(property, value, manualFlag);
    }
    char text[100];
    if (os::SUCCEEDED(hr)) {
        steps->index = chosen;
        std::snprintf(text, sizeof text, "change %s to %d", name, static_cast<int>(value));
    } else {
        std::snprintf(text, sizeof text, "not support to change %s", name);
    }
    CaptureGraph_NotifyMessage(m, 0, text, kStepMessageMs);
    return hr;
}

template <class Face>
Face* QueryFace(CaptureGraphManager* m, const os::IID& iid)
{
    Face* face = nullptr;
    if (m->videoCapture == nullptr ||
        os::FAILED(m->videoCapture->QueryInterface(iid, reinterpret_cast<void**>(&face)))) {
        return nullptr;
    }
    return face;
}

os::HRESULT FromSmi(os::SMI_RESULT r)
{
    switch (r) {
        case os::SMI_SUCCESS: return os::S_OK;
        case os::SMI_ERROR_NOT_SUPPORTED: return os::E_NOTIMPL;
        case os::SMI_ERROR_INVALID_PARAMETER: return os::E_INVALIDARG;
        case os::SMI_ERROR_INVALID_HANDLE: return os::E_POINTER;
        default: return os::E_FAIL;
    }
}

// The capabilities for one camera function; E_NOTIMPL when it is not there.
template <class Supported>
os::HRESULT CheckCapability(CaptureGraphManager* m, const char* who, Supported supported)
{
    os::SmiCameraCapabilitiesEx caps;
    const os::SMI_RESULT r = os::SmiCameraGetCapabilitiesEx(m->camera, &caps);
    if (r != os::SMI_SUCCESS) {
        os::Trace("%s - Fail SmiCameraGetCapabilitiesEx(%d)\r\n", who, static_cast<int>(r));
        return FromSmi(r);
    }
    if (!supported(caps)) {
        os::Trace("%s - Not Support\r\n", who);
        return os::E_NOTIMPL;
    }
    return os::S_OK;
}

os::HRESULT CameraCall(const char* who, const char* call, os::SMI_RESULT r)
{
    if (r != os::SMI_SUCCESS) os::Trace("%s - Fail %s(%d)\r\n", who, call, static_cast<int>(r));
    return FromSmi(r);
}

os::HRESULT SetCameraControl(CaptureGraphManager* m, os::LONG property, std::initializer_list<os::LONG> values)
{
    auto* control = QueryFace<os::IAMCameraControl>(m, os::IID_IAMCameraControl);
    if (control == nullptr) return os::E_NOINTERFACE;
    os::HRESULT hr = os::S_OK;
    for (os::LONG value : values) {
        hr = control->Set(property, value, os::CameraControl_Flags_Manual);
        if (os::FAILED(hr)) break;
    }
    control->Release();
    return hr;
}

}  // namespace

void ApplyModelDefaults(CaptureGraphManager* m)
{
    auto* amp = QueryFace<os::IAMVideoProcAmp>(m, os::IID_IAMVideoProcAmp);
    auto* control = QueryFace<os::IAMCameraControl>(m, os::IID_IAMCameraControl);
    for (int p = 0; p < kProcAmpProperties; ++p) {
        PropertySteps* steps = &m->procAmp[p];
        os::LONG min = 0, max = 0, step = 0, deflt = 0, flags = 0, current = 0;
        if (p == os::VideoProcAmp_Brightness) {
            FillSteps(steps, kBrightnessSteps);
        } else if (amp && os::SUCCEEDED(amp->GetRange(p, &min, &max, &step, &deflt, &flags))) {
            FillFromRange(steps, min, max, step);
        } else {
            *steps = PropertySteps{};
        }
        const bool have = amp && os::SUCCEEDED(amp->Get(p, &current, &flags));
        StartAt(steps, have, current, p == os::VideoProcAmp_Brightness ? kBrightnessStart : 0);
    }
    for (int p = 0; p < kCameraControlProperties; ++p) {
        PropertySteps* steps = &m->cameraControl[p];
        os::LONG min = 0, max = 0, step = 0, deflt = 0, flags = 0, current = 0;
        if (p == os::CameraControl_Zoom) {
            if (IsModel(m, "sch-m490") || IsModel(m, "sch-m495")) {
                FillSteps(steps, kZoomStepsM490);
            } else {
                FillSteps(steps, kZoomSteps);
            }
        } else if (control && os::SUCCEEDED(control->GetRange(p, &min, &max, &step, &deflt, &flags))) {
            FillFromRange(steps, min, max, step);
        } else {
            *steps = PropertySteps{};
        }
        const bool have = control && os::SUCCEEDED(control->Get(p, &current, &flags));
        StartAt(steps, have, current, 0);
    }
    if (amp) amp->Release();
    if (control) control->Release();
}

os::HRESULT CaptureGraph_ProcAmpStep(CaptureGraphManager* m, int property, int direction, int index, bool automatic)
{
    if (property < 0 || property >= kProcAmpProperties) return os::E_INVALIDARG;
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    auto* amp = QueryFace<os::IAMVideoProcAmp>(m, os::IID_IAMVideoProcAmp);
    if (amp == nullptr) return os::E_NOINTERFACE;
    const os::HRESULT hr = Step(m, amp, &m->procAmp[property], property, kProcAmpNames[property], direction, index,
                                automatic, os::VideoProcAmp_Flags_Auto, os::VideoProcAmp_Flags_Manual);
    amp->Release();
    return hr;
}

os::HRESULT CaptureGraph_CameraControlStep(CaptureGraphManager* m, int property, int direction, int index,
                                           bool automatic)
{
    if (property < 0 || property >= kCameraControlProperties) return os::E_INVALIDARG;
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    auto* control = QueryFace<os::IAMCameraControl>(m, os::IID_IAMCameraControl);
    if (control == nullptr) return os::E_NOINTERFACE;
    const os::HRESULT hr =
        Step(m, control, &m->cameraControl[property], property, kCameraControlNames[property], direction, index,
             automatic, os::CameraControl_Flags_Auto, os::CameraControl_Flags_Manual);
    control->Release();
    return hr;
}

os::HRESULT CaptureGraph_ZoomStep(CaptureGraphManager* m, int direction)
{
    return CaptureGraph_CameraControlStep(m, os::CameraControl_Zoom, direction, -1, false);
}

os::HRESULT CaptureGraph_Flip(CaptureGraphManager* m, bool vertical, bool on)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    const char* name = vertical ? "flipVertical" : "flipHorizontal";
    const os::LONG flag = vertical ? os::VideoControlFlag_FlipVertical : os::VideoControlFlag_FlipHorizontal;
    auto* control = QueryFace<os::IAMVideoControl>(m, os::IID_IAMVideoControl);
    os::IPin* capture =
        FindGraphPin(m, m->videoCapture, os::PINDIR_OUTPUT, &os::PIN_CATEGORY_CAPTURE, &os::MEDIATYPE_Video);
    os::HRESULT hr = control && capture ? os::S_OK : os::E_NOINTERFACE;
    os::LONG caps = 0;
    os::LONG mode = 0;
    if (os::SUCCEEDED(hr)) hr = control->GetCaps(capture, &caps);
    if (os::SUCCEEDED(hr) && !(caps & flag)) hr = os::E_NOTIMPL;
    if (os::SUCCEEDED(hr)) hr = control->GetMode(capture, &mode);
    if (os::SUCCEEDED(hr)) hr = control->SetMode(capture, on ? (mode | flag) : (mode & ~flag));
    if (capture) capture->Release();
    if (control) control->Release();
    char text[100];
    std::snprintf(text, sizeof text, os::SUCCEEDED(hr) ? "change to %s" : "not support to change %s", name);
    CaptureGraph_NotifyMessage(m, 0, text, kStepMessageMs);
    return hr;
}

os::HRESULT CaptureGraph_AutoFocus(CaptureGraphManager* m)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    if (IsModel(m, kModelI900)) return SetCameraControl(m, os::CameraControl_Zoom, {707, 708});
    const char* who = "DoAutoFocus";
    os::HRESULT hr = CheckCapability(m, who, [](const os::SmiCameraCapabilitiesEx& c) { return c.autoFocus; });
    if (os::SUCCEEDED(hr)) {
        hr = CameraCall(who, "SmiCameraSetAutoFocusMode",
                        os::SmiCameraSetAutoFocusMode(m->camera, os::SMI_CAMERA_AUTOFOCUS_NORMAL));
    }
    if (os::SUCCEEDED(hr)) hr = CameraCall(who, "SmiCameraPerformAutoFocus", os::SmiCameraPerformAutoFocus(m->camera));
    return hr;
}

os::HRESULT CaptureGraph_SetIso(CaptureGraphManager* m, os::DWORD iso)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    const char* who = "ISOControl";
    os::HRESULT hr = CheckCapability(m, who, [](const os::SmiCameraCapabilitiesEx& c) { return c.iso; });
    if (os::SUCCEEDED(hr)) hr = CameraCall(who, "SmiCameraSetISO", os::SmiCameraSetISO(m->camera, iso));
    return hr;
}

os::HRESULT CaptureGraph_Stabilization(CaptureGraphManager* m, bool on)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    const char* who = "StabilizationConrol";
    os::HRESULT hr =
        CheckCapability(m, who, [](const os::SmiCameraCapabilitiesEx& c) { return c.imageStabilization; });
    if (os::SUCCEEDED(hr)) {
        hr = on ? CameraCall(who, "SmiCameraTurnOnImageStabilization",
                             os::SmiCameraTurnOnImageStabilization(m->camera))
                : CameraCall(who, "SmiCameraTurnOffImageStabilization",
                             os::SmiCameraTurnOffImageStabilization(m->camera));
    }
    return hr;
}

os::HRESULT CaptureGraph_Wdr(CaptureGraphManager* m, bool on)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    const char* who = "WDRConrol";
    os::HRESULT hr = CheckCapability(m, who, [](const os::SmiCameraCapabilitiesEx& c) { return c.wdr; });
    if (os::SUCCEEDED(hr)) {
        hr = on ? CameraCall(who, "SmiCameraTurnOnWDR", os::SmiCameraTurnOnWDR(m->camera))
                : CameraCall(who, "SmiCameraTurnOffWDR", os::SmiCameraTurnOffWDR(m->camera));
    }
    return hr;
}

os::HRESULT CaptureGraph_Flash(CaptureGraphManager* m, bool on)
{
    CommandLock lock(m);
    if (!m->built) return os::E_FAIL;
    if (IsModel(m, kModelI900)) return SetCameraControl(m, os::CameraControl_Flash, {on ? 3 : 1});
    return on ? CameraCall("Flash", "SmiCameraFlashTurnOn", os::SmiCameraFlashTurnOn(m->camera))
              : CameraCall("Flash", "SmiCameraFlashTurnOff", os::SmiCameraFlashTurnOff(m->camera));
}
