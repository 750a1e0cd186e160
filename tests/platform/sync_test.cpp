#include <gtest/gtest.h>

#include <atomic>

#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"
#include "tests/support/platform_fixture.h"

namespace {

using testing_support::PlatformTest;
using testing_support::RealTimePlatformTest;

struct SetLater {
    os::HANDLE event;
    os::DWORD afterMs;
};

os::DWORD SetEventLater(void* p)
{
    auto* s = static_cast<SetLater*>(p);
    os::Sleep(s->afterMs);
    os::SetEvent(s->event);
    return 7;
}

// The same cases hold in virtual and in real time.
template <typename Base>
class SyncTest : public Base {};
using Modes = ::testing::Types<PlatformTest, RealTimePlatformTest>;
TYPED_TEST_SUITE(SyncTest, Modes);

TYPED_TEST(SyncTest, AutoResetEventReleasesOneWaitAndResets)
{
    os::HANDLE event = os::CreateEventW(nullptr, os::FALSE, os::TRUE, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_OBJECT_0);
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_TIMEOUT);
    os::CloseHandle(event);
}

TYPED_TEST(SyncTest, ManualResetEventStaysSetUntilReset)
{
    os::HANDLE event = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_TIMEOUT);
    os::SetEvent(event);
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_OBJECT_0);
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_OBJECT_0);
    os::ResetEvent(event);
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_TIMEOUT);
    os::CloseHandle(event);
}

TYPED_TEST(SyncTest, WaitIsReleasedByAnotherThreadAndJoinGivesTheExitCode)
{
    os::HANDLE event = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    SetLater later{event, 20};
    os::HANDLE thread = os::CreateThread(nullptr, 0, SetEventLater, &later, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(event, 5000), os::WAIT_OBJECT_0);
    EXPECT_GE(os::GetTickCount(), 20u);
    EXPECT_EQ(os::WaitForSingleObject(thread, 5000), os::WAIT_OBJECT_0);
    os::DWORD code = 0;
    EXPECT_TRUE(os::GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 7u);
    os::CloseHandle(thread);
    os::CloseHandle(event);
}

TYPED_TEST(SyncTest, WaitTimesOutAfterItsTimeOut)
{
    os::HANDLE event = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    const os::DWORD start = os::GetTickCount();
    EXPECT_EQ(os::WaitForSingleObject(event, 30), os::WAIT_TIMEOUT);
    EXPECT_GE(os::GetTickCount() - start, 30u);
    os::CloseHandle(event);
}

TYPED_TEST(SyncTest, ClosingAHandleFailsTheWaitOnIt)
{
    os::HANDLE event = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    struct Closer {
        os::HANDLE event;
        static os::DWORD Run(void* p)
        {
            os::Sleep(10);
            os::CloseHandle(static_cast<Closer*>(p)->event);
            return 0;
        }
    } closer{event};
    os::HANDLE thread = os::CreateThread(nullptr, 0, Closer::Run, &closer, 0, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(event, os::INFINITE), os::WAIT_FAILED);
    EXPECT_EQ(os::WaitForSingleObject(event, 0), os::WAIT_FAILED);  // the handle is gone
    os::WaitForSingleObject(thread, os::INFINITE);
    os::CloseHandle(thread);
}

TYPED_TEST(SyncTest, CriticalSectionIsRecursiveAndExcludesOtherThreads)
{
    struct Shared {
        os::CRITICAL_SECTION cs;
        int counter = 0;
        bool overlap = false;
        int inside = 0;
        static os::DWORD Run(void* p)
        {
            auto* s = static_cast<Shared*>(p);
            for (int i = 0; i < 200; ++i) {
                os::EnterCriticalSection(&s->cs);
                os::EnterCriticalSection(&s->cs);
                if (++s->inside != 1) s->overlap = true;
                const int seen = s->counter;
                os::Sleep(0);  // let the others try to get in
                s->counter = seen + 1;
                --s->inside;
                os::LeaveCriticalSection(&s->cs);
                os::LeaveCriticalSection(&s->cs);
            }
            return 0;
        }
    } shared;
    os::InitializeCriticalSection(&shared.cs);
    std::vector<os::HANDLE> threads;
    for (int i = 0; i < 3; ++i) threads.push_back(os::CreateThread(nullptr, 0, Shared::Run, &shared, 0, nullptr));
    for (os::HANDLE h : threads) {
        os::WaitForSingleObject(h, os::INFINITE);
        os::CloseHandle(h);
    }
    EXPECT_EQ(shared.counter, 600);
    EXPECT_FALSE(shared.overlap);
    EXPECT_TRUE(os::TryEnterCriticalSection(&shared.cs));
    os::LeaveCriticalSection(&shared.cs);
    os::DeleteCriticalSection(&shared.cs);
}

TYPED_TEST(SyncTest, SuspendedThreadRunsOnlyAfterResume)
{
    std::atomic<bool> ran{false};
    struct Flag {
        static os::DWORD Run(void* p)
        {
            static_cast<std::atomic<bool>*>(p)->store(true);
            return 0;
        }
    };
    os::HANDLE thread = os::CreateThread(nullptr, 0, Flag::Run, &ran, os::CREATE_SUSPENDED, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(thread, 50), os::WAIT_TIMEOUT);
    EXPECT_FALSE(ran.load());
    EXPECT_EQ(os::ResumeThread(thread), 1u);
    EXPECT_EQ(os::ResumeThread(thread), 0u);  // already running: nothing to do
    EXPECT_EQ(os::WaitForSingleObject(thread, 5000), os::WAIT_OBJECT_0);
    EXPECT_TRUE(ran.load());
    os::CloseHandle(thread);
}

TYPED_TEST(SyncTest, WaitAllNeedsEveryObjectAndWaitAnyNamesTheFirst)
{
    os::HANDLE a = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    os::HANDLE b = os::CreateEventW(nullptr, os::TRUE, os::TRUE, nullptr);
    const os::HANDLE both[] = {a, b};
    EXPECT_EQ(os::WaitForMultipleObjects(2, both, os::FALSE, 0), os::WAIT_OBJECT_0 + 1);
    EXPECT_EQ(os::WaitForMultipleObjects(2, both, os::TRUE, 0), os::WAIT_TIMEOUT);
    os::SetEvent(a);
    EXPECT_EQ(os::WaitForMultipleObjects(2, both, os::TRUE, 0), os::WAIT_OBJECT_0);
    EXPECT_EQ(os::WaitForMultipleObjects(2, both, os::FALSE, 0), os::WAIT_OBJECT_0);
    const os::HANDLE bogus[] = {a, reinterpret_cast<os::HANDLE>(0x9999)};
    EXPECT_EQ(os::WaitForMultipleObjects(2, bogus, os::FALSE, 0), os::WAIT_FAILED);
    os::CloseHandle(a);
    os::CloseHandle(b);
}

class ThreadControlTest : public PlatformTest {};

TEST_F(ThreadControlTest, TerminateIsLoggedAndTheThreadFinishesOnItsOwn)
{
    os::TraceCapture capture;
    os::HANDLE event = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    SetLater later{event, 100};
    os::HANDLE thread = os::CreateThread(nullptr, 0, SetEventLater, &later, 0, nullptr);
    os::SetThreadDescription(thread, "slow");
    EXPECT_TRUE(os::SetThreadPriority(thread, os::THREAD_PRIORITY_LOWEST));
    EXPECT_EQ(os::GetThreadPriority(thread), os::THREAD_PRIORITY_LOWEST);
    EXPECT_TRUE(os::TerminateThread(thread, 0));
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_NE(capture.Lines()[0].find("[os] TerminateThread(slow"), std::string::npos);
    // It was not killed: it still sets the event and ends normally.
    EXPECT_EQ(os::WaitForSingleObject(event, 1000), os::WAIT_OBJECT_0);
    EXPECT_EQ(os::WaitForSingleObject(thread, 1000), os::WAIT_OBJECT_0);
    os::CloseHandle(thread);
    os::CloseHandle(event);
}

}  // namespace
