#include "platform/media/smi_camera.h"

#include <mutex>

#include "platform/base/internal/fresh_start.h"
#include "platform/media/internal/camera_model.h"
#include "platform/media/internal/media_classes.h"
#include "platform/media/internal/media_faults.h"

namespace os {

namespace {

constexpr SMI_CAMERA_HANDLE kCameraHandle = 0x5C1;

struct CameraSdk {
    std::mutex mu;
    bool open = false;
    detail::CameraModel model;
    sim::CameraState state;
};

CameraSdk& Sdk()
{
    static CameraSdk sdk;
    return sdk;
}

// Runs `f` on the open camera's state; SMI_ERROR_INVALID_HANDLE for any other handle.
template <class F>
SMI_RESULT WithCamera(SMI_CAMERA_HANDLE handle, F f)
{
    std::lock_guard lk(Sdk().mu);
    if (!Sdk().open || handle != kCameraHandle) return SMI_ERROR_INVALID_HANDLE;
    return f(Sdk().model, Sdk().state);
}

}  // namespace

HRESULT SmiCameraOpen(DWORD index, SMI_CAMERA_HANDLE* handle, IBaseFilter** captureFilter)
{
    if (!handle || !captureFilter) return E_POINTER;
    *captureFilter = nullptr;
    if (index != 0) return E_DEVICE_NOT_PRESENT;
    const LONG refused = sim::CurrentMediaFaults().cameraOpenError;
    if (refused != 0) return refused;
    {
        std::lock_guard lk(Sdk().mu);
        if (Sdk().open) return VFW_E_WRONG_STATE;
    }
    const detail::CameraModel model = detail::ModelOfDevice();
    HRESULT hr = S_OK;
    CUnknown* camera = detail::NewCameraFilter(model, &hr);
    if (FAILED(hr)) {
        delete camera;
        return hr;
    }
    camera->NonDelegatingAddRef();
    hr = camera->NonDelegatingQueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(captureFilter));
    camera->NonDelegatingRelease();
    if (FAILED(hr)) return hr;
    std::lock_guard lk(Sdk().mu);
    Sdk().open = true;
    Sdk().model = model;
    Sdk().state = {};
    Sdk().state.open = true;
    Sdk().state.framesPerSecond = Sdk().model.framesPerSecond;
    *handle = kCameraHandle;
    return S_OK;
}

SMI_RESULT SmiCameraClose(SMI_CAMERA_HANDLE handle)
{
    std::lock_guard lk(Sdk().mu);
    if (!Sdk().open || handle != kCameraHandle) return SMI_ERROR_INVALID_HANDLE;
    Sdk().open = false;
    Sdk().state.open = false;
    return SMI_SUCCESS;
}

SMI_RESULT SmiCameraGetCapabilitiesEx(SMI_CAMERA_HANDLE handle, SmiCameraCapabilitiesEx* caps)
{
    if (!caps) return SMI_ERROR_INVALID_PARAMETER;
    return WithCamera(handle, [&](const detail::CameraModel& m, sim::CameraState&) {
        *caps = m.caps;
        return SMI_SUCCESS;
    });
}

SMI_RESULT SmiCameraSetAutoFocusMode(SMI_CAMERA_HANDLE handle, DWORD mode)
{
    return WithCamera(handle, [&](const detail::CameraModel& m, sim::CameraState&) {
        if (!m.caps.autoFocus) return SMI_ERROR_NOT_SUPPORTED;
        return mode == SMI_CAMERA_AUTOFOCUS_NORMAL ? SMI_SUCCESS : SMI_ERROR_INVALID_PARAMETER;
    });
}

SMI_RESULT SmiCameraPerformAutoFocus(SMI_CAMERA_HANDLE handle)
{
    return WithCamera(handle, [&](const detail::CameraModel& m, sim::CameraState& s) {
        if (!m.caps.autoFocus) return SMI_ERROR_NOT_SUPPORTED;
        s.autoFocusRuns = true;
        return SMI_SUCCESS;
    });
}

SMI_RESULT SmiCameraSetISO(SMI_CAMERA_HANDLE handle, DWORD iso)
{
    return WithCamera(handle, [&](const detail::CameraModel& m, sim::CameraState& s) {
        if (!m.caps.iso) return SMI_ERROR_NOT_SUPPORTED;
        if (iso != 0 && (iso < m.caps.minIso || iso > m.caps.maxIso)) return SMI_ERROR_INVALID_PARAMETER;
        s.iso = iso;
        return SMI_SUCCESS;
    });
}

namespace {
SMI_RESULT Switch(SMI_CAMERA_HANDLE handle, bool sim::CameraState::*field, bool on, BOOL SmiCameraCapabilitiesEx::*cap)
{
    return WithCamera(handle, [&](const detail::CameraModel& m, sim::CameraState& s) {
        if (!(m.caps.*cap)) return SMI_ERROR_NOT_SUPPORTED;
        s.*field = on;
        return SMI_SUCCESS;
    });
}
}  // namespace

SMI_RESULT SmiCameraTurnOnImageStabilization(SMI_CAMERA_HANDLE h)
{
    return Switch(h, &sim::CameraState::stabilization, true, &SmiCameraCapabilitiesEx::imageStabilization);
}
SMI_RESULT SmiCameraTurnOffImageStabilization(SMI_CAMERA_HANDLE h)
{
    return Switch(h, &sim::CameraState::stabilization, false, &SmiCameraCapabilitiesEx::imageStabilization);
}
SMI_RESULT SmiCameraTurnOnWDR(SMI_CAMERA_HANDLE h)
{
    return Switch(h, &sim::CameraState::wdr, true, &SmiCameraCapabilitiesEx::wdr);
}
SMI_RESULT SmiCameraTurnOffWDR(SMI_CAMERA_HANDLE h)
{
    return Switch(h, &sim::CameraState::wdr, false, &SmiCameraCapabilitiesEx::wdr);
}
SMI_RESULT SmiCameraFlashTurnOn(SMI_CAMERA_HANDLE h)
{
    return Switch(h, &sim::CameraState::flash, true, &SmiCameraCapabilitiesEx::flash);
}
SMI_RESULT SmiCameraFlashTurnOff(SMI_CAMERA_HANDLE h)
{
    return Switch(h, &sim::CameraState::flash, false, &SmiCameraCapabilitiesEx::flash);
}

sim::CameraState sim::CurrentCameraState()
{
    std::lock_guard lk(Sdk().mu);
    return Sdk().state;
}

void detail::ResetCameraSdk()
{
    std::lock_guard lk(Sdk().mu);
    Sdk().open = false;
    Sdk().state = {};
}

}  // namespace os
