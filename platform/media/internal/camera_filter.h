// For the platform layer only: the camera's capture filter, made by
// SmiCameraOpen. Pins: "Capture" (YV12 at the capture format, paced at the
// model's frame rate) and "Still" (one picture per trigger at the still
// size). Every picture carries its capture index (capture_index.h), except
// the simulator's still JPEG, which a camera opened while one is set offers
// as its "IJPG" still and delivers unchanged.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/media/internal/camera_model.h"
#include "platform/media/internal/live_source_pin.h"

namespace os::detail {

class CameraFilter;

class CameraCapturePin final : public LiveSourcePin, public IAMStreamConfig {
public:
    CameraCapturePin(CameraFilter* filter, CCritSec* lock, HRESULT* hr);
    DECLARE_PIN_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;

    HRESULT SetFormat(const AM_MEDIA_TYPE* type) override;
    HRESULT GetFormat(AM_MEDIA_TYPE** type) override;
    HRESULT GetNumberOfCapabilities(int* count, int* size) override;
    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, STREAM_CONFIG_CAPS* caps) override;

    std::uint64_t FramesSinceOpen() const { return slotsSinceOpen_.load(); }

protected:
    Period SamplePeriod() override;
    bool DeliverAtEnd() override { return false; }
    std::int64_t StalledUntilUs() override;
    bool Produce(std::uint64_t slot, std::int64_t deviceUs, CMediaSample* sample) override;
    std::size_t SampleBytes() override;

private:
    CameraFilter* camera_;
    int width_ = 320;
    int height_ = 240;
};

class CameraStillPin final : public LiveSourcePin, public IAMStreamConfig {
public:
    CameraStillPin(CameraFilter* filter, CCritSec* lock, HRESULT* hr);
    DECLARE_PIN_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;

    HRESULT SetFormat(const AM_MEDIA_TYPE* type) override;
    HRESULT GetFormat(AM_MEDIA_TYPE** type) override;
    HRESULT GetNumberOfCapabilities(int* count, int* size) override;
    HRESULT GetStreamCaps(int index, AM_MEDIA_TYPE** type, STREAM_CONFIG_CAPS* caps) override;

    // Takes one still; VFW_E_NOT_CONNECTED or VFW_E_WRONG_STATE when it cannot.
    HRESULT Trigger();

protected:
    Period SamplePeriod() override { return {10000000, 1}; }
    bool DeliverAtEnd() override { return false; }
    std::int64_t StalledUntilUs() override { return 0; }
    bool Produce(std::uint64_t slot, std::int64_t deviceUs, CMediaSample* sample) override;
    std::size_t SampleBytes() override;
    void Stream() override;

private:
    CameraFilter* camera_;
    std::mutex mu_;
    int width_ = 640;
    int height_ = 480;
    GUID subtype_ = MEDIASUBTYPE_YV12;
    std::shared_ptr<const std::vector<std::uint8_t>> givenStill_;
    std::atomic<int> triggers_{0};
};

// The camera-control face: the same method names as the proc amp's, so an
// object of its own that lives and counts with the filter.
class CameraControlFace final : public IAMCameraControl {
public:
    explicit CameraControlFace(CameraFilter* camera) : camera_(camera) {}
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags) override;
    HRESULT Set(LONG property, LONG value, LONG flags) override;
    HRESULT Get(LONG property, LONG* value, LONG* flags) override;

private:
    CameraFilter* camera_;
};

class CameraFilter final : public CBaseFilter, public IAMVideoProcAmp, public IAMVideoControl {
public:
    CameraFilter(const CameraModel& model, HRESULT* hr);
    ~CameraFilter() override;
    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** out) override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;

    HRESULT Set(LONG property, LONG value, LONG flags) override;  // proc amp
    HRESULT Get(LONG property, LONG* value, LONG* flags) override;
    HRESULT GetRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags) override;

    HRESULT GetCaps(IPin* pin, LONG* flags) override;
    HRESULT SetMode(IPin* pin, LONG mode) override;
    HRESULT GetMode(IPin* pin, LONG* mode) override;

    // Fills a picture of the camera's current view and stamps its index.
    void TakePicture(std::uint64_t index, std::int64_t deviceUs, int width, int height, std::uint8_t* yv12);
    const CameraModel& Model() const { return model_; }
    std::uint64_t FramesSinceOpen() const { return capture_.FramesSinceOpen(); }
    HRESULT SetControl(LONG property, LONG value, LONG flags);
    HRESULT GetControl(LONG property, LONG* value, LONG* flags);
    HRESULT GetControlRange(LONG property, LONG* min, LONG* max, LONG* step, LONG* deflt, LONG* flags);

private:
    HRESULT SetProperty(const PropertyRange* ranges, LONG count, LONG* values, LONG* flagsOut, LONG property,
                        LONG value, LONG flags);

    CCritSec lock_;
    CameraModel model_;
    std::mutex propertyMu_;
    LONG procAmp_[10] = {};
    LONG procAmpFlags_[10] = {};
    LONG control_[8] = {};
    LONG controlFlags_[8] = {};
    std::atomic<LONG> flip_{0};
    CameraCapturePin capture_;
    CameraStillPin still_;
    CameraControlFace controlFace_;
};

}  // namespace os::detail
