// The handset maker's camera functions: opening the camera (which yields its
// capture filter for the media graph) and the functions beyond the media
// framework's property faces: autofocus, ISO, image stabilisation, wide
// dynamic range and the flash. What a handset supports follows its model
// (the device profile's OEM text).
//
// The capture filter has three output pins: "Capture" (planar YV12 at the
// capture format, 320x240 unless set; 30 frames/s, 24 on "sgh-i900"),
// "Still" (one picture per trigger, YV12 or "IJPG" at the still size) and no
// preview pin of its own. It answers IAMVideoProcAmp, IAMCameraControl and
// IAMVideoControl; its pins answer IAMStreamConfig and IAMStreamControl.
#pragma once

#include "platform/base/smi_result.h"
#include "platform/media/media_interfaces.h"

namespace os {


using SMI_CAMERA_HANDLE = DWORD;

struct SmiCameraCapabilitiesEx {
    BOOL autoFocus = FALSE;
    BOOL iso = FALSE;
    BOOL imageStabilization = FALSE;
    BOOL wdr = FALSE;
    BOOL flash = FALSE;
    DWORD minIso = 0;
    DWORD maxIso = 0;
};

constexpr DWORD SMI_CAMERA_AUTOFOCUS_NORMAL = 1;

// Opens camera `index` (0: the back camera) and gives its capture filter with
// a reference. Fails with the profile's open error (such as 0x80070037, no
// device; 0x80004002, no capture interface) or VFW_E_WRONG_STATE when the
// camera is already open.
HRESULT SmiCameraOpen(DWORD index, SMI_CAMERA_HANDLE* handle, IBaseFilter** captureFilter);
SMI_RESULT SmiCameraClose(SMI_CAMERA_HANDLE handle);
SMI_RESULT SmiCameraGetCapabilitiesEx(SMI_CAMERA_HANDLE handle, SmiCameraCapabilitiesEx* caps);
SMI_RESULT SmiCameraSetAutoFocusMode(SMI_CAMERA_HANDLE handle, DWORD mode);
SMI_RESULT SmiCameraPerformAutoFocus(SMI_CAMERA_HANDLE handle);
SMI_RESULT SmiCameraSetISO(SMI_CAMERA_HANDLE handle, DWORD iso);
SMI_RESULT SmiCameraTurnOnImageStabilization(SMI_CAMERA_HANDLE handle);
SMI_RESULT SmiCameraTurnOffImageStabilization(SMI_CAMERA_HANDLE handle);
SMI_RESULT SmiCameraTurnOnWDR(SMI_CAMERA_HANDLE handle);
SMI_RESULT SmiCameraTurnOffWDR(SMI_CAMERA_HANDLE handle);
SMI_RESULT SmiCameraFlashTurnOn(SMI_CAMERA_HANDLE handle);
SMI_RESULT SmiCameraFlashTurnOff(SMI_CAMERA_HANDLE handle);

// The image encoder's (CLSID_ImageEncoder) quality, 1 to 100.
struct IImageEncoderQuality : IUnknown {
    virtual HRESULT SetQuality(LONG quality) = 0;
};
constexpr IID IID_IImageEncoderQuality = PlatformId(1, 30);

// The image sink's (CLSID_IMGSinkFilter) sample callback: it sees each
// picture first, on the streaming thread. When it takes the picture (returns
// 1) nothing is written and EC_CAP_FILE_COMPLETED is reported with S_OK and
// lParam2 kStillHandedOver; otherwise the sink writes its file as before.
using ImageSampleCallback = int (*)(const BYTE* data, LONG length, void* context);
constexpr LONG_PTR kStillHandedOver = 1;
struct IImageSinkCallback : IUnknown {
    virtual HRESULT SetSampleCallback(ImageSampleCallback callback, void* context) = 0;  // null unsets
};
constexpr IID IID_IImageSinkCallback = PlatformId(1, 31);

}  // namespace os

// ---- Simulator side: what the camera did, for tests.
namespace os::sim {

struct CameraState {
    bool open = false;
    bool autoFocusRuns = false;  // the last autofocus ran
    DWORD iso = 0;
    bool stabilization = false;
    bool wdr = false;
    bool flash = false;
    int framesPerSecond = 30;
};
CameraState CurrentCameraState();

}  // namespace os::sim
