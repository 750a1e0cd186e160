// For the platform layer only: the media framework's own classes, created
// by id (CoCreateInstance) or by the capture graph builder and the camera.
#pragma once

#include "platform/media/base_classes.h"

namespace os::detail {

// A new object of the class with no reference yet; null (and *hr set) when
// the class is unknown or the object could not be made.
CUnknown* CreatePlatformObject(REFCLSID clsid, HRESULT* hr);

CUnknown* NewFilterGraph(HRESULT* hr);
CUnknown* NewCaptureGraphBuilder(HRESULT* hr);
CUnknown* NewSystemClock(HRESULT* hr);
CUnknown* NewSmartTee(HRESULT* hr);
CUnknown* NewAudioCaptureFilter(HRESULT* hr);
CUnknown* NewImageEncoder(HRESULT* hr);
CUnknown* NewImageSink(HRESULT* hr);
struct CameraModel;
CUnknown* NewCameraFilter(const CameraModel& model, HRESULT* hr);

}  // namespace os::detail
