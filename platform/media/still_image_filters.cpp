// The still path behind the camera's still pin: the image encoder ("In"
// takes YV12, "Out" gives "IJPG" of the same size, encoded at its quality)
// and the image sink ("ImageSink Input Pin"), which writes each JPEG it
// receives to its file name on the device and reports EC_CAP_FILE_COMPLETED
// with the write's result. A write that fails leaves no partial file. A
// sample callback, when set, may take a picture instead of the file.
#include <cstring>
#include <mutex>

#include "platform/files/file.h"
#include "platform/media/internal/media_classes.h"
#include "platform/media/jpeg_encode.h"
#include "platform/media/smi_camera.h"

namespace os::detail {

namespace {

bool PictureSize(const AM_MEDIA_TYPE& mt, const GUID& subtype, int* w, int* h)
{
    return mt.majortype == MEDIATYPE_Video && mt.subtype == subtype && os::PictureSize(mt, w, h) && *w > 0 &&
           *h > 0 && *w <= 8192 && *h <= 8192 && *w % 2 == 0 && *h % 2 == 0;
}

class ImageEncoder;

class EncoderInputPin final : public CBaseInputPin {
public:
    EncoderInputPin(ImageEncoder* encoder, CCritSec* lock, HRESULT* hr);
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        int w, h;
        return PictureSize(*type, MEDIASUBTYPE_YV12, &w, &h) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(IMediaSample* sample) override;

private:
    ImageEncoder* encoder_;
};

class EncoderOutputPin final : public CBaseOutputPin {
public:
    EncoderOutputPin(CBaseFilter* filter, CCritSec* lock, HRESULT* hr, const CBasePin* input)
        : CBaseOutputPin("Out", filter, lock, hr, "Out"), input_(input)
    {
    }
    HRESULT GetMediaType(int position, CMediaType* type) override
    {
        int w, h;
        if (position != 0 || !input_->IsConnected() ||
            !PictureSize(input_->CurrentMediaType(), MEDIASUBTYPE_YV12, &w, &h))
            return S_FALSE;
        *type = VideoMediaType(MEDIASUBTYPE_IJPG, w, h, 0);
        return S_OK;
    }
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        int w, h, iw, ih;
        if (!input_->IsConnected() || !PictureSize(input_->CurrentMediaType(), MEDIASUBTYPE_YV12, &iw, &ih))
            return VFW_E_NOT_CONNECTED;
        return PictureSize(*type, MEDIASUBTYPE_IJPG, &w, &h) && w == iw && h == ih ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }

private:
    const CBasePin* input_;
};

class ImageEncoder final : public CBaseFilter, public IImageEncoderQuality {
public:
    explicit ImageEncoder(HRESULT* hr)
        : CBaseFilter("Image Encoder", nullptr, &lock_, CLSID_ImageEncoder),
          in_(this, &lock_, hr),
          out_(this, &lock_, hr, &in_)
    {
    }
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IImageEncoderQuality) return GetInterface(static_cast<IImageEncoderQuality*>(this), out);
        return CBaseFilter::NonDelegatingQueryInterface(iid, out);
    }
    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override { return n == 0 ? static_cast<CBasePin*>(&in_) : n == 1 ? &out_ : nullptr; }

    HRESULT SetQuality(LONG quality) override
    {
        if (quality < 1 || quality > 100) return E_INVALIDARG;
        quality_ = quality;
        return S_OK;
    }

    HRESULT Encode(IMediaSample* sample)
    {
        int w, h;
        if (!PictureSize(in_.CurrentMediaType(), MEDIASUBTYPE_YV12, &w, &h)) return VFW_E_NOT_CONNECTED;
        BYTE* data = nullptr;
        if (FAILED(sample->GetPointer(&data)) || sample->GetActualDataLength() < w * h * 3 / 2) return E_INVALIDARG;
        std::vector<std::uint8_t> jpeg;
        std::string error;
        if (!EncodeJpeg(data, w, h, quality_, &jpeg, &error)) {
            NotifyEvent(EC_CAP_FILE_COMPLETED, E_FAIL, 0);
            return E_FAIL;
        }
        CMediaSample* out = new CMediaSample(jpeg.size());
        out->NonDelegatingAddRef();
        BYTE* dst = nullptr;
        out->GetPointer(&dst);
        std::memcpy(dst, jpeg.data(), jpeg.size());
        out->SetActualDataLength(static_cast<long>(jpeg.size()));
        out->SetSyncPoint(TRUE);
        const HRESULT hr = out_.Deliver(out);
        out->NonDelegatingRelease();
        return hr;
    }

private:
    CCritSec lock_;
    EncoderInputPin in_;
    EncoderOutputPin out_;
    std::atomic<LONG> quality_{90};
};

EncoderInputPin::EncoderInputPin(ImageEncoder* encoder, CCritSec* lock, HRESULT* hr)
    : CBaseInputPin("In", encoder, lock, hr, "In"), encoder_(encoder)
{
}

HRESULT EncoderInputPin::Receive(IMediaSample* sample)
{
    const HRESULT hr = CBaseInputPin::Receive(sample);
    return hr == S_OK ? encoder_->Encode(sample) : hr;
}

class ImageSink;

class SinkInputPin final : public CBaseInputPin {
public:
    SinkInputPin(ImageSink* sink, CCritSec* lock, HRESULT* hr);
    HRESULT CheckMediaType(const CMediaType* type) override
    {
        int w, h;
        return PictureSize(*type, MEDIASUBTYPE_IJPG, &w, &h) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Receive(IMediaSample* sample) override;

private:
    ImageSink* sink_;
};

class ImageSink final : public CBaseFilter, public IFileSinkFilter, public IImageSinkCallback {
public:
    explicit ImageSink(HRESULT* hr) : CBaseFilter("Image Sink", nullptr, &lock_, CLSID_IMGSinkFilter), in_(this, &lock_, hr) {}
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IFileSinkFilter) return GetInterface(static_cast<IFileSinkFilter*>(this), out);
        if (iid == IID_IImageSinkCallback) return GetInterface(static_cast<IImageSinkCallback*>(this), out);
        return CBaseFilter::NonDelegatingQueryInterface(iid, out);
    }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &in_ : nullptr; }

    HRESULT SetFileName(const char* fileName, const AM_MEDIA_TYPE*) override
    {
        if (!fileName || !*fileName) return E_INVALIDARG;
        if (std::strlen(fileName) >= 260) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        std::lock_guard lk(mu_);
        fileName_ = fileName;
        return S_OK;
    }

    HRESULT GetCurFile(std::string* fileName, AM_MEDIA_TYPE* type) override
    {
        if (!fileName) return E_POINTER;
        std::lock_guard lk(mu_);
        *fileName = fileName_;
        if (type) *type = AM_MEDIA_TYPE{};
        return fileName_.empty() ? E_FAIL : S_OK;
    }

    HRESULT SetSampleCallback(ImageSampleCallback callback, void* context) override
    {
        std::lock_guard lk(mu_);
        callback_ = callback;
        callbackContext_ = context;
        return S_OK;
    }

    HRESULT Write(IMediaSample* sample)
    {
        std::string path;
        ImageSampleCallback callback = nullptr;
        void* context = nullptr;
        {
            std::lock_guard lk(mu_);
            path = fileName_;
            callback = callback_;
            context = callbackContext_;
        }
        BYTE* data = nullptr;
        if (callback != nullptr && SUCCEEDED(sample->GetPointer(&data)) &&
            callback(data, sample->GetActualDataLength(), context)) {
            NotifyEvent(EC_CAP_FILE_COMPLETED, S_OK, kStillHandedOver);
            return S_OK;
        }
        HRESULT hr = path.empty() ? E_FAIL : sample->GetPointer(&data);
        if (SUCCEEDED(hr)) hr = WriteWhole(path, data, static_cast<DWORD>(sample->GetActualDataLength()));
        NotifyEvent(EC_CAP_FILE_COMPLETED, hr, 0);
        return hr;
    }

private:
    static HRESULT WriteWhole(const std::string& path, const BYTE* data, DWORD size)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return HRESULT_FROM_WIN32(GetLastError());
        DWORD written = 0;
        const BOOL ok = WriteFile(file, data, size, &written, nullptr) && written == size;
        const DWORD error = ok ? 0 : GetLastError();
        const BOOL closed = CloseHandle(file);
        if (ok && closed) return S_OK;
        DeleteFileW(path.c_str());
        return HRESULT_FROM_WIN32(error ? error : static_cast<DWORD>(ERROR_WRITE_FAULT));
    }

    CCritSec lock_;
    SinkInputPin in_;
    std::mutex mu_;
    std::string fileName_;
    ImageSampleCallback callback_ = nullptr;
    void* callbackContext_ = nullptr;
};

SinkInputPin::SinkInputPin(ImageSink* sink, CCritSec* lock, HRESULT* hr)
    : CBaseInputPin("ImageSink Input Pin", sink, lock, hr, "ImageSink Input Pin"), sink_(sink)
{
}

HRESULT SinkInputPin::Receive(IMediaSample* sample)
{
    const HRESULT hr = CBaseInputPin::Receive(sample);
    return hr == S_OK ? sink_->Write(sample) : hr;
}

}  // namespace

CUnknown* NewImageEncoder(HRESULT* hr)
{
    *hr = S_OK;
    return new ImageEncoder(hr);
}

CUnknown* NewImageSink(HRESULT* hr)
{
    *hr = S_OK;
    return new ImageSink(hr);
}

}  // namespace os::detail
