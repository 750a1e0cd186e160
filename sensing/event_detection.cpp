#include "sensing/event_detection.h"

#include <cstdint>

#include "platform/base/trace.h"
#include "platform/windows/window.h"
#include "sensing/event_recorder_link.h"
#include "sensing/gsensor.h"
#include "sensing/gsensor_options.h"
#include "sensing/record_sound.h"
#include "sensing/sensor_manager.h"

namespace {

constexpr uint32_t kLevelCount = 10;
constexpr float kLevelThresholds[kLevelCount] = {1500, 1400, 1300, 1200, 1100, 1000, 900, 800, 700, 600};
constexpr unsigned kEventMessageId = 75;
constexpr int kEventMessageMs = 500;
constexpr int kTookClip = 1;
constexpr int kTaggedFile = 2;
// The recorder's EventCaptureState while an event clip is written.
constexpr int kCapturingClip = 3;

const EventRecorderLink* g_link = nullptr;

// The tag's part the poll knows: the G-sensor's last detected sample, the
// kind and the thresholds of the current levels. Collects a pending manual event.
EvtTagRecord BuildTag(const RecorderSettings& settings)
{
    EvtTagRecord tag{};
    const SensorDescriptor* gsensor = SensorFind(kGSensorName);
    const AccelSample* sample = gsensor != nullptr && gsensor->get != nullptr ? gsensor->get(0) : nullptr;
    if (sample != nullptr) {
        tag.x = sample->x;
        tag.y = sample->y;
        tag.z = sample->z;
    }
    tag.kind = kEvtKindShock;
    if (SensorManualEventPending() == 1) {
        tag.kind = kEvtKindManual;
        SensorClearManualEvent();
    }
    tag.thresholdX = ShockThreshold(settings.EventTagDetectLevelX);
    tag.thresholdY = ShockThreshold(settings.EventTagDetectLevelY);
    tag.thresholdZ = ShockThreshold(settings.EventTagDetectLevelZ);
    return tag;
}

// The accident SMS goes out for a strong shock or the emergency button, when
// sending is on and there is a number to send to.
bool WantsAccidentSms(const RecorderSettings& settings, const EvtTagRecord& tag)
{
    return (SmsShockFlag != 0 || tag.kind == kEvtKindManual) && settings.EvtTagSMSSend != 0 &&
           !settings.EvtTagSMSRecvNum.Empty();
}

}  // namespace

void SetEventRecorderLink(const EventRecorderLink* link)
{
    g_link = link;
}

float ShockThreshold(uint32_t level)
{
    return level < kLevelCount ? kLevelThresholds[level] : 0.0f;
}

int ApplyShockLevels(uint32_t levelX, uint32_t levelY, uint32_t levelZ)
{
    if (levelX >= kLevelCount || levelY >= kLevelCount || levelZ >= kLevelCount) {
        os::Trace("ApplyShockLevels: levels %u, %u, %u are not all within 0 to 9", levelX, levelY, levelZ);
        return 0;
    }
    const float thresholds[3] = {kLevelThresholds[levelX], kLevelThresholds[levelY], kLevelThresholds[levelZ]};
    if (SensorSetOption(kGSensorName, kGSensorOptSetThreshold, reinterpret_cast<std::intptr_t>(thresholds)) != 0) {
        os::Trace("ApplyShockLevels: no G-sensor took the thresholds");
        return 0;
    }
    return 1;
}

void EventPoll(os::HWND hwnd)
{
    const EventRecorderLink* link = g_link;
    if (link == nullptr) return;
    const RecorderSettings* settings = link->settings(hwnd);
    if (settings == nullptr) return;
    SetGSensorSmsScales(SmsScales{static_cast<double>(settings->SendSmsScaleX),
                                  static_cast<double>(settings->SendSmsScaleY),
                                  static_cast<double>(settings->SendSmsScaleZ)});
    if (SensorManagerPoll() != 1) {
        if (link->takeDeferred(hwnd) == 1) link->showMessage(hwnd, kEventMessageId, kEventMessageMs);
        return;
    }
    const EvtTagRecord tag = BuildTag(*settings);
    const int taken = link->takeEvent(hwnd, &tag);
    if (taken != kTookClip && taken != kTaggedFile) return;
    link->showMessage(hwnd, kEventMessageId, kEventMessageMs);
    if (taken != kTaggedFile) return;
    if (WantsAccidentSms(*settings, tag)) os::PostMessageW(hwnd, kAccidentAlertMessage, 0, 0);
    PlayAccidentSound(hwnd);
}

int RequestManualEvent(os::HWND hwnd)
{
    const EventRecorderLink* link = g_link;
    if (link == nullptr || link->captureState(hwnd) == kCapturingClip) return 0;
    SensorRequestManualEvent();
    return SensorManualEventPending();
}
