// The event poll between the sensor framework and a recorder stand-in behind
// the link: what is handed on, deferred, shown and alerted in each mode.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/messages.h"
#include "platform/windows/window.h"
#include "sensing/event_detection.h"
#include "sensing/event_recorder_link.h"
#include "sensing/gsensor.h"
#include "sensing/sensor_manager.h"
#include "tests/support/platform_fixture.h"

static_assert(kAccidentAlertMessage == WM_RECORDER_ACCIDENT_ALERT, "the main window handles the alert");

namespace {

// The recorder as the link sees it: event-only clips defer a second event
// while one is written; continuous recording tags the file when tags are on.
struct FakeRecorder {
    RecorderSettings settings;
    int mode = 1;
    int state = 2;
    bool deferred = false;
    std::vector<EvtTagRecord> events;
    int deferredPolls = 0;
    std::vector<std::pair<unsigned, int>> messages;
} g_rec;

const RecorderSettings* Settings(os::HWND) { return &g_rec.settings; }
int State(os::HWND) { return g_rec.state; }
int TakeEvent(os::HWND, const EvtTagRecord* tag)
{
    g_rec.events.push_back(*tag);
    if (g_rec.state == 3) return (g_rec.deferred = true), 0;
    if (g_rec.mode == 2) return (g_rec.state = 3), 1;
    return g_rec.settings.EnableMovRecordWidthEvtTag != 0 ? 2 : 0;
}
int TakeDeferred(os::HWND)
{
    ++g_rec.deferredPolls;
    if (!g_rec.deferred || g_rec.state == 3) return 0;
    g_rec.deferred = false;
    g_rec.state = 3;
    return 1;
}
void Show(os::HWND, unsigned id, int ms) { g_rec.messages.emplace_back(id, ms); }
constexpr EventRecorderLink kLink{Settings, State, TakeEvent, TakeDeferred, Show};

// A G-sensor stand-in: reads the scripted shock, keeps the last detected and
// the last read sample apart, takes option 3.
int g_shock = 0;
const AccelSample kDetected{100, 950.0f, -460.0f, 12.0f};
const AccelSample kLatest{300, 1.0f, 2.0f, 3.0f};
float g_thresholds[3] = {};
std::int32_t ReadShock() { return g_shock; }
const AccelSample* Get(int selector) { return selector == 0 ? &kDetected : &kLatest; }
int SetOption(int option, std::intptr_t argument)
{
    if (option == 3) std::memcpy(g_thresholds, reinterpret_cast<const float*>(argument), sizeof g_thresholds);
    return 0;
}
SensorDescriptor g_gsensor{nullptr, "GSensor", 0, ReadShock, Get, SetOption};

class EventPollTest : public testing_support::PlatformTest {
protected:
    os::HWND hwnd = nullptr;

    void SetUp() override
    {
        PlatformTest::SetUp();
        os::WNDCLASSW wc;
        wc.lpfnWndProc = os::DefWindowProcW;
        wc.lpszClassName = "EventPollTest";
        os::RegisterClassW(&wc);
        hwnd = os::CreateWindowExW(0, "EventPollTest", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        g_rec = FakeRecorder{};
        g_rec.settings.EventTagDetectLevelX = 0;
        g_rec.settings.EventTagDetectLevelY = 6;
        g_rec.settings.EventTagDetectLevelZ = 9;
        g_shock = 0;
        SmsShockFlag = 0;
        ASSERT_EQ(SensorManagerCreate(), 0);
        UnregisterGSensor();  // this test's own "GSensor" stands in for the device's
        ASSERT_EQ(SensorRegister(&g_gsensor), 0);
        SensorManagerEnable();
        SetEventRecorderLink(&kLink);
    }
    void TearDown() override
    {
        SetEventRecorderLink(nullptr);
        SensorManagerDestroy();
        os::DestroyWindow(hwnd);
        PlatformTest::TearDown();
    }
    int AlertsPosted()
    {
        os::MSG msg;
        int n = 0;
        for (; os::PeekMessageW(&msg, hwnd, kAccidentAlertMessage, kAccidentAlertMessage, os::PM_REMOVE); ++n) {}
        return n;
    }
};

TEST_F(EventPollTest, ManualEventDuringAClipIsHandedOnOnceAndShownWhenItsClipStarts)
{
    g_rec.mode = 2;
    ASSERT_EQ(RequestManualEvent(hwnd), 1);
    g_rec.state = 3;  // an earlier clip is still being written
    for (int i = 0; i < 4; ++i) EventPoll(hwnd);
    ASSERT_EQ(g_rec.events.size(), 1u) << "the recorder, not the poll, keeps the deferred event";
    EXPECT_EQ(g_rec.events[0].kind, 1u);
    EXPECT_EQ(SensorManualEventPending(), 0);
    EXPECT_EQ(g_rec.deferredPolls, 3);
    EXPECT_TRUE(g_rec.messages.empty());
    EXPECT_EQ(RequestManualEvent(hwnd), 0) << "no request while a clip is written";
    EXPECT_EQ(SensorManualEventPending(), 0);

    g_rec.state = 2;
    EventPoll(hwnd);
    EXPECT_EQ(g_rec.events.size(), 1u);
    EXPECT_EQ(g_rec.messages, (std::vector<std::pair<unsigned, int>>{{75, 500}}));
    g_rec.settings.EvtTagSMSSend = 1;
    g_rec.settings.EvtTagSMSRecvNum.Assign("0123");
    g_rec.state = 2;
    g_shock = 1;
    SmsShockFlag = 1;
    EventPoll(hwnd);
    EXPECT_EQ(g_rec.messages.size(), 2u) << "a clip started by a shock";
    EXPECT_EQ(AlertsPosted(), 0) << "event clips do not send the accident SMS";
}

TEST_F(EventPollTest, TaggedEventsCarryTheSampleAndThresholdsAndAlertOnlyWhenDue)
{
    struct Case {
        bool manual;
        int smsShock;
        uint32_t send;
        const char* number;
        int alerts;
    };
    const Case cases[] = {
        {false, 0, 1, "0123", 0}, {false, 1, 1, "0123", 1}, {true, 0, 1, "0123", 1},
        {true, 0, 1, "", 0},      {true, 0, 0, "0123", 0},  {false, 1, 1, "", 0},
    };
    g_rec.settings.EnableMovRecordWidthEvtTag = 1;
    for (const Case& c : cases) {
        const std::string at = std::string(c.manual ? "manual" : "shock") + " " + std::to_string(c.smsShock) +
                               std::to_string(c.send) + " '" + c.number + "'";
        g_rec.events.clear();
        g_rec.messages.clear();
        g_rec.settings.EvtTagSMSSend = c.send;
        g_rec.settings.EvtTagSMSRecvNum.Assign(c.number);
        g_shock = c.manual ? 0 : 1;
        SmsShockFlag = c.smsShock;
        if (c.manual) {
            ASSERT_EQ(RequestManualEvent(hwnd), 1) << at;
        }
        EventPoll(hwnd);
        ASSERT_EQ(g_rec.events.size(), 1u) << at;
        const EvtTagRecord& tag = g_rec.events[0];
        EXPECT_EQ(tag.kind, c.manual ? 1u : 0u) << at;
        EXPECT_EQ(std::vector<float>({tag.x, tag.y, tag.z}), std::vector<float>({950.0f, -460.0f, 12.0f})) << at;
        EXPECT_EQ(std::vector<float>({tag.thresholdX, tag.thresholdY, tag.thresholdZ}),
                  std::vector<float>({1500.0f, 900.0f, 600.0f})) << at;
        EXPECT_EQ(g_rec.messages, (std::vector<std::pair<unsigned, int>>{{75, 500}})) << at;
        EXPECT_EQ(AlertsPosted(), c.alerts) << at;
    }

    // Tags off: the event is handed on but leaves no message and no SMS, and
    // the next poll reads the sensor again.
    g_rec.settings.EnableMovRecordWidthEvtTag = 0;
    g_rec.events.clear();
    g_rec.messages.clear();
    g_shock = 0;
    ASSERT_EQ(RequestManualEvent(hwnd), 1);
    EventPoll(hwnd);
    EventPoll(hwnd);
    EXPECT_TRUE(g_rec.messages.empty());
    EXPECT_EQ(AlertsPosted(), 0);
    EXPECT_EQ(g_rec.deferredPolls, 1);

    SetEventRecorderLink(nullptr);
    g_shock = 1;
    EventPoll(hwnd);
    EXPECT_EQ(RequestManualEvent(hwnd), 0);
    EXPECT_EQ(g_rec.events.size(), 1u) << "nothing is handed on without a link";
}

TEST_F(EventPollTest, ShockLevelsReachTheGSensorOnlyWithinTheTable)
{
    ASSERT_EQ(ApplyShockLevels(3, 0, 7), 1);
    EXPECT_EQ(std::vector<float>(g_thresholds, g_thresholds + 3), std::vector<float>({1200.0f, 1500.0f, 800.0f}));
    EXPECT_EQ(ApplyShockLevels(9, 10, 9), 0);
    EXPECT_EQ(std::vector<float>(g_thresholds, g_thresholds + 3), std::vector<float>({1200.0f, 1500.0f, 800.0f}));
    ASSERT_EQ(ApplyShockLevels(9, 6, 0), 1);
    EXPECT_EQ(std::vector<float>(g_thresholds, g_thresholds + 3), std::vector<float>({600.0f, 900.0f, 1500.0f}));
    SensorUnregister(&g_gsensor);
    EXPECT_EQ(ApplyShockLevels(6, 6, 6), 0) << "no G-sensor took them";
}

}  // namespace
