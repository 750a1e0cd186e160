#include "platform/media/internal/camera_filter.h"

#include <algorithm>
#include <cstring>

#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/media/capture_index.h"
#include "platform/media/internal/media_classes.h"
#include "platform/media/internal/media_faults.h"
#include "platform/media/jpeg_encode.h"

namespace os::detail {

namespace {

constexpr int kMaxWidth = 1600;
constexpr int kMaxHeight = 1200;

struct Size {
    int width;
    int height;
};
constexpr Size kCaptureSizes[] = {{320, 240}, {176, 144}, {400, 240}, {640, 480}, {800, 480}};
constexpr Size kStillSizes[] = {{640, 480}, {320, 240}, {1280, 960}, {1600, 1200}};

// The picture size of a video type, when it is a picture type this camera
// can make: the subtype with a VIDEOINFOHEADER of even sides in range.
bool PictureSize(const AM_MEDIA_TYPE* type, const GUID& subtype, Size* size)
{
    int w, h;
    if (!type || !(type->majortype == MEDIATYPE_Video) || !(type->subtype == subtype) || !os::PictureSize(*type, &w, &h))
        return false;
    if (w < kCaptureIndexCells || h < kCaptureIndexRows || w > kMaxWidth || h > kMaxHeight || w % 2 || h % 2)
        return false;
    *size = {w, h};
    return true;
}

void MirrorRows(std::uint8_t* plane, int width, int height)
{
    for (int y = 0; y < height; ++y) std::reverse(plane + y * width, plane + (y + 1) * width);
}

void FlipPlane(std::uint8_t* plane, int width, int height)
{
    for (int y = 0; y < height / 2; ++y)
        std::swap_ranges(plane + y * width, plane + (y + 1) * width, plane + (height - 1 - y) * width);
}

HRESULT NewType(const CMediaType& mt, AM_MEDIA_TYPE** type)
{
    if (!type) return E_POINTER;
    *type = CreateMediaType(&mt);
    return *type ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

// ---- Capture pin

CameraCapturePin::CameraCapturePin(CameraFilter* filter, CCritSec* lock, HRESULT* hr)
    : LiveSourcePin(filter, lock, hr, "Capture", PIN_CATEGORY_CAPTURE), camera_(filter)
{
}

HRESULT CameraCapturePin::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), out);
    return LiveSourcePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT CameraCapturePin::CheckMediaType(const CMediaType* type)
{
    Size size;
    CAutoLock lock(lock_);
    return PictureSize(type, MEDIASUBTYPE_YV12, &size) && size.width == width_ && size.height == height_
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CameraCapturePin::GetMediaType(int position, CMediaType* type)
{
    if (position != 0) return S_FALSE;
    CAutoLock lock(lock_);
    *type = VideoMediaType(MEDIASUBTYPE_YV12, width_, height_, 10000000 / camera_->Model().framesPerSecond);
    return S_OK;
}

HRESULT CameraCapturePin::SetFormat(const AM_MEDIA_TYPE* type)
{
    Size size;
    if (!PictureSize(type, MEDIASUBTYPE_YV12, &size)) return VFW_E_INVALIDMEDIATYPE;
    CAutoLock lock(lock_);
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    width_ = size.width;
    height_ = size.height;
    return S_OK;
}

HRESULT CameraCapturePin::GetFormat(AM_MEDIA_TYPE** type)
{
    CMediaType mt;
    GetMediaType(0, &mt);
    return NewType(mt, type);
}

HRESULT CameraCapturePin::GetNumberOfCapabilities(int* count, int* size)
{
    if (!count || !size) return E_POINTER;
    *count = static_cast<int>(std::size(kCaptureSizes));
    *size = sizeof(STREAM_CONFIG_CAPS);
    return S_OK;
}

HRESULT CameraCapturePin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, STREAM_CONFIG_CAPS* caps)
{
    if (index < 0 || index >= static_cast<int>(std::size(kCaptureSizes))) return S_FALSE;
    if (caps) *caps = {FORMAT_VideoInfo, 0, 0};
    const Size s = kCaptureSizes[index];
    return NewType(VideoMediaType(MEDIASUBTYPE_YV12, s.width, s.height, 10000000 / camera_->Model().framesPerSecond),
                   type);
}

LiveSourcePin::Period CameraCapturePin::SamplePeriod() { return {10000000, camera_->Model().framesPerSecond}; }

std::int64_t CameraCapturePin::StalledUntilUs() { return CameraStalledUntilUs(); }

std::size_t CameraCapturePin::SampleBytes()
{
    // Connections and formats change only while stopped: no lock needed while streaming.
    return static_cast<std::size_t>(width_) * height_ * 3 / 2;
}

bool CameraCapturePin::Produce(std::uint64_t slot, std::int64_t deviceUs, CMediaSample* sample)
{
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    camera_->TakePicture(slot, deviceUs, width_, height_, data);
    sample->SetActualDataLength(static_cast<long>(SampleBytes()));
    return true;
}

// ---- Still pin

CameraStillPin::CameraStillPin(CameraFilter* filter, CCritSec* lock, HRESULT* hr)
    : LiveSourcePin(filter, lock, hr, "Still", PIN_CATEGORY_STILL), camera_(filter), givenStill_(CurrentStillPicture())
{
    if (givenStill_) subtype_ = MEDIASUBTYPE_IJPG;
}

HRESULT CameraStillPin::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IAMStreamConfig) return GetInterface(static_cast<IAMStreamConfig*>(this), out);
    return LiveSourcePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT CameraStillPin::CheckMediaType(const CMediaType* type)
{
    Size size;
    std::lock_guard lk(mu_);
    return PictureSize(type, subtype_, &size) && size.width == width_ && size.height == height_
               ? S_OK
               : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CameraStillPin::GetMediaType(int position, CMediaType* type)
{
    if (position != 0) return S_FALSE;
    std::lock_guard lk(mu_);
    *type = VideoMediaType(subtype_, width_, height_, 0);
    return S_OK;
}

HRESULT CameraStillPin::SetFormat(const AM_MEDIA_TYPE* type)
{
    Size size;
    if (!type) return E_POINTER;
    const bool known = type->subtype == MEDIASUBTYPE_YV12 || type->subtype == MEDIASUBTYPE_IJPG;
    if (!known || !PictureSize(type, type->subtype, &size)) return VFW_E_INVALIDMEDIATYPE;
    if (IsConnected()) return VFW_E_ALREADY_CONNECTED;
    std::lock_guard lk(mu_);
    width_ = size.width;
    height_ = size.height;
    subtype_ = type->subtype;
    return S_OK;
}

HRESULT CameraStillPin::GetFormat(AM_MEDIA_TYPE** type)
{
    CMediaType mt;
    GetMediaType(0, &mt);
    return NewType(mt, type);
}

HRESULT CameraStillPin::GetNumberOfCapabilities(int* count, int* size)
{
    if (!count || !size) return E_POINTER;
    *count = static_cast<int>(std::size(kStillSizes));
    *size = sizeof(STREAM_CONFIG_CAPS);
    return S_OK;
}

HRESULT CameraStillPin::GetStreamCaps(int index, AM_MEDIA_TYPE** type, STREAM_CONFIG_CAPS* caps)
{
    if (index < 0 || index >= static_cast<int>(std::size(kStillSizes))) return S_FALSE;
    if (caps) *caps = {FORMAT_VideoInfo, 0, 0};
    const GUID subtype = givenStill_ ? MEDIASUBTYPE_IJPG : MEDIASUBTYPE_YV12;
    return NewType(VideoMediaType(subtype, kStillSizes[index].width, kStillSizes[index].height, 0), type);
}

HRESULT CameraStillPin::Trigger()
{
    if (!IsConnected()) return VFW_E_NOT_CONNECTED;
    if (filter_->State() != State_Running) return VFW_E_WRONG_STATE;
    triggers_.fetch_add(1);
    Wake();
    return S_OK;
}

std::size_t CameraStillPin::SampleBytes()
{
    std::lock_guard lk(mu_);
    // A JPEG of a noisy picture at the highest quality can outgrow the raw picture.
    const std::size_t raw = static_cast<std::size_t>(width_) * height_ * 3 / 2;
    if (subtype_ != MEDIASUBTYPE_IJPG) return raw;
    return givenStill_ ? std::max(raw, givenStill_->size()) : 2 * raw + 4096;
}

bool CameraStillPin::Produce(std::uint64_t slot, std::int64_t deviceUs, CMediaSample* sample)
{
    int w;
    int h;
    bool jpeg;
    {
        std::lock_guard lk(mu_);
        w = width_;
        h = height_;
        jpeg = subtype_ == MEDIASUBTYPE_IJPG;
    }
    const std::size_t raw = static_cast<std::size_t>(w) * h * 3 / 2;
    BYTE* data = nullptr;
    sample->GetPointer(&data);
    if (jpeg && givenStill_) {
        if (givenStill_->size() > static_cast<std::size_t>(sample->GetSize())) return false;
        std::memcpy(data, givenStill_->data(), givenStill_->size());
        return SUCCEEDED(sample->SetActualDataLength(static_cast<long>(givenStill_->size())));
    }
    if (!jpeg) {
        camera_->TakePicture(slot, deviceUs, w, h, data);
        return SUCCEEDED(sample->SetActualDataLength(static_cast<long>(raw)));
    }
    // A camera that gives JPEG encodes its stills itself, at its best quality.
    std::vector<std::uint8_t> picture(raw);
    camera_->TakePicture(slot, deviceUs, w, h, picture.data());
    std::vector<std::uint8_t> encoded;
    std::string error;
    if (!EncodeJpeg(picture.data(), w, h, 95, &encoded, &error) ||
        encoded.size() > static_cast<std::size_t>(sample->GetSize()))
        return false;
    std::memcpy(data, encoded.data(), encoded.size());
    return SUCCEEDED(sample->SetActualDataLength(static_cast<long>(encoded.size())));
}

void CameraStillPin::Stream()
{
    while (!Stopping()) {
        if (triggers_.load() == 0) {
            WaitForSingleObject(WakeEvent(), INFINITE);
            continue;
        }
        triggers_.fetch_sub(1);
        CMediaSample* sample = samples_.Next(SampleBytes());
        // A still is stamped with the index of the capture frame it was taken beside.
        REFERENCE_TIME now = 0;
        filter_->ClockTime(&now);
        REFERENCE_TIME start = now - filter_->StartTime();
        REFERENCE_TIME stop = start + 1;
        sample->SetTime(&start, &stop);
        sample->SetSyncPoint(TRUE);
        if (Produce(camera_->FramesSinceOpen(), DeviceTimeUs(), sample)) Deliver(sample);
    }
}

// ---- Camera-control face

HRESULT CameraControlFace::QueryInterface(REFIID iid, void** out) { return camera_->QueryInterface(iid, out); }
ULONG CameraControlFace::AddRef() { return camera_->AddRef(); }
ULONG CameraControlFace::Release() { return camera_->Release(); }
HRESULT CameraControlFace::GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags)
{
    return camera_->GetControlRange(property, min, max, step, deflt, flags);
}
HRESULT CameraControlFace::Set(LONG property, LONG value, LONG flags) { return camera_->SetControl(property, value, flags); }
HRESULT CameraControlFace::Get(LONG property, LONG* value, LONG* flags) { return camera_->GetControl(property, value, flags); }

// ---- Filter

CameraFilter::CameraFilter(const CameraModel& model, HRESULT* hr)
    : CBaseFilter("Video Capture", nullptr, &lock_, GUID_NULL),
      model_(model),
      capture_(this, &lock_, hr),
      still_(this, &lock_, hr),
      controlFace_(this)
{
    for (int i = 0; i < 10; ++i) {
        procAmp_[i] = model_.procAmp[i].deflt;
        procAmpFlags_[i] = VideoProcAmp_Flags_Manual;
    }
    for (int i = 0; i < 8; ++i) {
        control_[i] = model_.cameraControl[i].deflt;
        controlFlags_[i] = CameraControl_Flags_Manual;
    }
}

CameraFilter::~CameraFilter()
{
    capture_.Inactive();
    still_.Inactive();
}

HRESULT CameraFilter::NonDelegatingQueryInterface(REFIID iid, void** out)
{
    if (iid == IID_IAMVideoProcAmp) return GetInterface(static_cast<IAMVideoProcAmp*>(this), out);
    if (iid == IID_IAMCameraControl) return GetInterface(static_cast<IAMCameraControl*>(&controlFace_), out);
    if (iid == IID_IAMVideoControl) return GetInterface(static_cast<IAMVideoControl*>(this), out);
    return CBaseFilter::NonDelegatingQueryInterface(iid, out);
}

CBasePin* CameraFilter::GetPin(int n)
{
    if (n == 0) return &capture_;
    if (n == 1) return &still_;
    return nullptr;
}

HRESULT CameraFilter::SetProperty(const PropertyRange* ranges, LONG count, LONG* values, LONG* flagsOut,
                                  LONG property, LONG value, LONG flags)
{
    if (property < 0 || property >= count) return E_INVALIDARG;
    const PropertyRange& r = ranges[property];
    if (!r.supported || !(flags & r.flags)) return E_NOTIMPL;
    if ((flags & VideoProcAmp_Flags_Manual) && (value < r.min || value > r.max)) return E_INVALIDARG;
    std::lock_guard lk(propertyMu_);
    if (flags & VideoProcAmp_Flags_Manual) values[property] = value;
    flagsOut[property] = flags;
    return S_OK;
}

HRESULT CameraFilter::Set(LONG property, LONG value, LONG flags)
{
    return SetProperty(model_.procAmp, 10, procAmp_, procAmpFlags_, property, value, flags);
}

HRESULT CameraFilter::Get(LONG property, LONG* value, LONG* flags)
{
    if (!value || !flags) return E_POINTER;
    if (property < 0 || property >= 10 || !model_.procAmp[property].supported) return E_NOTIMPL;
    std::lock_guard lk(propertyMu_);
    *value = procAmp_[property];
    *flags = procAmpFlags_[property];
    return S_OK;
}

HRESULT CameraFilter::GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags)
{
    if (!min || !max || !step || !deflt || !flags) return E_POINTER;
    if (property < 0 || property >= 10 || !model_.procAmp[property].supported) return E_NOTIMPL;
    const PropertyRange& r = model_.procAmp[property];
    *min = r.min, *max = r.max, *step = r.step, *deflt = r.deflt, *flags = r.flags;
    return S_OK;
}

HRESULT CameraFilter::SetControl(LONG property, LONG value, LONG flags)
{
    // The i900 starts (707) and holds (708) its focus through the zoom property.
    if (model_.focusThroughZoomProperty && property == CameraControl_Zoom && (value == 707 || value == 708)) {
        std::lock_guard lk(propertyMu_);
        controlFlags_[property] = flags;
        return S_OK;
    }
    return SetProperty(model_.cameraControl, 8, control_, controlFlags_, property, value, flags);
}

HRESULT CameraFilter::GetControl(LONG property, LONG* value, LONG* flags)
{
    if (!value || !flags) return E_POINTER;
    if (property < 0 || property >= 8 || !model_.cameraControl[property].supported) return E_NOTIMPL;
    std::lock_guard lk(propertyMu_);
    *value = control_[property];
    *flags = controlFlags_[property];
    return S_OK;
}

HRESULT CameraFilter::GetControlRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags)
{
    if (!min || !max || !step || !deflt || !flags) return E_POINTER;
    if (property < 0 || property >= 8 || !model_.cameraControl[property].supported) return E_NOTIMPL;
    const PropertyRange& r = model_.cameraControl[property];
    *min = r.min, *max = r.max, *step = r.step, *deflt = r.deflt, *flags = r.flags;
    return S_OK;
}

HRESULT CameraFilter::GetCaps(IPin* pin, LONG* flags)
{
    if (!pin || !flags) return E_POINTER;
    if (pin == static_cast<IPin*>(&still_)) *flags = VideoControlFlag_Trigger;
    else if (pin == static_cast<IPin*>(&capture_)) *flags = VideoControlFlag_FlipHorizontal | VideoControlFlag_FlipVertical;
    else return E_INVALIDARG;
    return S_OK;
}

HRESULT CameraFilter::SetMode(IPin* pin, LONG mode)
{
    if (!pin) return E_POINTER;
    if (pin == static_cast<IPin*>(&still_)) {
        if (mode & ~(VideoControlFlag_Trigger | VideoControlFlag_ExternalTriggerEnable)) return E_INVALIDARG;
        return (mode & VideoControlFlag_Trigger) ? still_.Trigger() : S_OK;
    }
    if (pin == static_cast<IPin*>(&capture_)) {
        if (mode & ~(VideoControlFlag_FlipHorizontal | VideoControlFlag_FlipVertical)) return E_INVALIDARG;
        flip_ = mode;
        return S_OK;
    }
    return E_INVALIDARG;
}

HRESULT CameraFilter::GetMode(IPin* pin, LONG* mode)
{
    if (!pin || !mode) return E_POINTER;
    if (pin == static_cast<IPin*>(&capture_)) *mode = flip_;
    else if (pin == static_cast<IPin*>(&still_)) *mode = 0;
    else return E_INVALIDARG;
    return S_OK;
}

void CameraFilter::TakePicture(std::uint64_t index, std::int64_t deviceUs, int width, int height, std::uint8_t* yv12)
{
    CurrentPictureSource()->Fill(static_cast<std::uint32_t>(index), deviceUs, width, height, yv12);
    const LONG flip = flip_;
    const int cw = width / 2;
    const int ch = height / 2;
    std::uint8_t* planes[3] = {yv12, yv12 + width * height, yv12 + width * height + cw * ch};
    if (flip & VideoControlFlag_FlipHorizontal) {
        MirrorRows(planes[0], width, height);
        MirrorRows(planes[1], cw, ch);
        MirrorRows(planes[2], cw, ch);
    }
    if (flip & VideoControlFlag_FlipVertical) {
        FlipPlane(planes[0], width, height);
        FlipPlane(planes[1], cw, ch);
        FlipPlane(planes[2], cw, ch);
    }
    StampCaptureIndex(yv12, width, height, static_cast<std::uint32_t>(index));
}

CUnknown* NewCameraFilter(const CameraModel& model, HRESULT* hr)
{
    *hr = S_OK;
    return new CameraFilter(model, hr);
}

}  // namespace os::detail
