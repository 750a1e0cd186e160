// The recorder's share of an event: in event-only recording an event that
// comes while a clip is written is held, and starts exactly one more clip
// once that clip is done.
#include <gtest/gtest.h>

#include "platform/kernel/sync.h"
#include "recorder/mov.h"
#include "tests/support/platform_fixture.h"

namespace {

class EventTakeTest : public testing_support::PlatformTest {
protected:
    void SetUp() override
    {
        PlatformTest::SetUp();
        state_.settings = &settings_;
        state_.RecordMode.store(kRecordEventOnly);
        state_.armed.store(true);
        state_.EventCaptureState.store(kEventCaptureArmed);
        state_.wakeWriter = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
        state_.clipDone = os::CreateEventW(nullptr, os::TRUE, os::TRUE, nullptr);
        MOV_Attach(window_, &state_);
    }

    void TearDown() override
    {
        MOV_Detach(window_);
        os::CloseHandle(state_.wakeWriter);
        os::CloseHandle(state_.clipDone);
        PlatformTest::TearDown();
    }

    bool WriterWoken() { return os::WaitForSingleObject(state_.wakeWriter, 0) == os::WAIT_OBJECT_0; }

    RecorderSettings settings_;
    RecorderState state_;
    EvtTagRecord tag_{};
    os::HWND window_ = reinterpret_cast<os::HWND>(0x7B0);
};

TEST_F(EventTakeTest, EventsDuringAClipMakeExactlyOneMoreClipAfterIt)
{
    EXPECT_EQ(MOV_TakeDeferredEvent(window_), 0) << "nothing is held yet";
    EXPECT_EQ(MOV_TakeEvent(window_, &tag_), kEventClipStarted);
    EXPECT_EQ(state_.EventCaptureState.load(), kEventCaptureCapturing);
    EXPECT_TRUE(WriterWoken());

    EXPECT_EQ(MOV_TakeEvent(window_, &tag_), 0);
    EXPECT_EQ(MOV_TakeEvent(window_, &tag_), 0);
    EXPECT_FALSE(WriterWoken());
    EXPECT_EQ(MOV_TakeDeferredEvent(window_), 0) << "not while the clip is written";

    state_.EventCaptureState.store(kEventCaptureArmed);  // the writer finished the clip
    EXPECT_EQ(MOV_TakeDeferredEvent(window_), kEventClipStarted);
    EXPECT_TRUE(WriterWoken());
    state_.EventCaptureState.store(kEventCaptureArmed);
    EXPECT_EQ(MOV_TakeDeferredEvent(window_), 0) << "two held events still make one clip";

    state_.armed.store(false);
    EXPECT_EQ(MOV_TakeEvent(window_, &tag_), 0) << "a disarmed recorder takes no event";
}

}  // namespace
