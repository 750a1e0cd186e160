#include "platform/media/internal/media_classes.h"

#include "platform/graphics/imaging.h"
#include "platform/graphics/internal/imaging_classes.h"

namespace os::detail {

CUnknown* CreatePlatformObject(REFCLSID clsid, HRESULT* hr)
{
    *hr = S_OK;
    if (clsid == CLSID_FilterGraph) return NewFilterGraph(hr);
    if (clsid == CLSID_CaptureGraphBuilder) return NewCaptureGraphBuilder(hr);
    if (clsid == CLSID_SystemClock) return NewSystemClock(hr);
    if (clsid == CLSID_SmartTee) return NewSmartTee(hr);
    if (clsid == CLSID_AudioCapture) return NewAudioCaptureFilter(hr);
    if (clsid == CLSID_ImageEncoder) return NewImageEncoder(hr);
    if (clsid == CLSID_IMGSinkFilter) return NewImageSink(hr);
    if (clsid == CLSID_ImagingFactory) return NewImagingFactory(hr);
    *hr = REGDB_E_CLASSNOTREG;
    return nullptr;
}

}  // namespace os::detail
