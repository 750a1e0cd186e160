#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/base/platform.h"
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

TYPED_TEST(SyncTest, ClosingOneHandleToANamedEventLeavesTheOthersWorking)
{
    os::HANDLE first = os::CreateEventW(nullptr, os::FALSE, os::FALSE, "shared-event");
    os::HANDLE second = os::CreateEventW(nullptr, os::FALSE, os::FALSE, "shared-event");
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_ALREADY_EXISTS));
    ASSERT_NE(first, second);
    struct Waiter {
        os::HANDLE event;
        std::atomic<os::DWORD> result{0};
        static os::DWORD Run(void* p)
        {
            auto* w = static_cast<Waiter*>(p);
            w->result = os::WaitForSingleObject(w->event, os::INFINITE);
            return 0;
        }
    } waiter{second};
    os::HANDLE thread = os::CreateThread(nullptr, 0, Waiter::Run, &waiter, 0, nullptr);
    os::Sleep(20);
    EXPECT_TRUE(os::CloseHandle(first));
    EXPECT_FALSE(os::SetEvent(first));
    // The wait through the other handle goes on and ends when the event is set.
    os::Sleep(20);
    EXPECT_EQ(os::WaitForSingleObject(thread, 0), os::WAIT_TIMEOUT);
    EXPECT_TRUE(os::SetEvent(second));
    EXPECT_EQ(os::WaitForSingleObject(thread, 5000), os::WAIT_OBJECT_0);
    EXPECT_EQ(waiter.result.load(), os::WAIT_OBJECT_0);
    os::CloseHandle(thread);

    // The name still leads to the same event while a handle to it is open.
    os::HANDLE third = os::CreateEventW(nullptr, os::FALSE, os::FALSE, "shared-event");
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_ALREADY_EXISTS));
    os::SetEvent(third);
    EXPECT_EQ(os::WaitForSingleObject(second, 0), os::WAIT_OBJECT_0);
    os::CloseHandle(second);
    os::CloseHandle(third);
    os::HANDLE fresh = os::CreateEventW(nullptr, os::FALSE, os::FALSE, "shared-event");
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_SUCCESS));
    os::CloseHandle(fresh);
}

// Critical sections in virtual time, where the order of steps is exact.
class CriticalSectionTest : public PlatformTest {
protected:
    os::CRITICAL_SECTION cs;
    os::TraceCapture capture;
    void SetUp() override
    {
        PlatformTest::SetUp();
        os::InitializeCriticalSection(&cs);
    }
    void TearDown() override
    {
        // Whatever a test left of the section (held by an ended thread, or
        // deleted already, which makes this a no-op) is freed.
        os::DeleteCriticalSection(&cs);
        PlatformTest::TearDown();
    }
    std::size_t Logged() const { return capture.Lines().size(); }
};

struct Holder {
    os::CRITICAL_SECTION* cs;
    os::HANDLE entered;
    os::HANDLE release;
    static os::DWORD Run(void* p)
    {
        auto* h = static_cast<Holder*>(p);
        os::EnterCriticalSection(h->cs);
        os::SetEvent(h->entered);
        os::WaitForSingleObject(h->release, os::INFINITE);
        os::LeaveCriticalSection(h->cs);
        os::EnterCriticalSection(h->cs);
        os::LeaveCriticalSection(h->cs);
        return 0;
    }
};

os::DWORD EnterAndLeave(void* cs)
{
    os::EnterCriticalSection(static_cast<os::CRITICAL_SECTION*>(cs));
    os::LeaveCriticalSection(static_cast<os::CRITICAL_SECTION*>(cs));
    return 0;
}

TEST_F(CriticalSectionTest, DeletingASectionInUseTurnsItsLaterUseIntoLoggedNoOps)
{
    Holder holder{&cs, os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr),
                  os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr)};
    os::HANDLE holding = os::CreateThread(nullptr, 0, Holder::Run, &holder, 0, nullptr);
    ASSERT_EQ(os::WaitForSingleObject(holder.entered, os::INFINITE), os::WAIT_OBJECT_0);
    os::HANDLE waiting = os::CreateThread(nullptr, 0, EnterAndLeave, &cs, 0, nullptr);
    os::Sleep(10);
    EXPECT_EQ(os::WaitForSingleObject(waiting, 0), os::WAIT_TIMEOUT);  // blocked behind the holder

    std::size_t before = Logged();
    os::DeleteCriticalSection(&cs);
    EXPECT_GT(Logged(), before);
    // The waiter gives up, and the holder leaves, enters and leaves again on
    // the deleted section: each step is logged and none of them fails.
    EXPECT_EQ(os::WaitForSingleObject(waiting, os::INFINITE), os::WAIT_OBJECT_0);
    before = Logged();
    os::SetEvent(holder.release);
    EXPECT_EQ(os::WaitForSingleObject(holding, os::INFINITE), os::WAIT_OBJECT_0);
    EXPECT_EQ(Logged(), before + 3);
    before = Logged();
    EXPECT_FALSE(os::TryEnterCriticalSection(&cs));
    os::DeleteCriticalSection(&cs);
    EXPECT_EQ(Logged(), before + 2);
    for (os::HANDLE h : {holding, waiting, holder.entered, holder.release}) os::CloseHandle(h);
}

TEST_F(CriticalSectionTest, DeletingRightAfterTheHandOverToAWaiterIsSafe)
{
    os::EnterCriticalSection(&cs);
    os::HANDLE waiting = os::CreateThread(nullptr, 0, EnterAndLeave, &cs, 0, nullptr);
    os::Sleep(10);
    // The waiter now owns the section but has not run yet when it is deleted.
    os::LeaveCriticalSection(&cs);
    os::DeleteCriticalSection(&cs);
    EXPECT_EQ(os::WaitForSingleObject(waiting, os::INFINITE), os::WAIT_OBJECT_0);
    os::CloseHandle(waiting);
}

struct Abandoner {
    os::CRITICAL_SECTION* cs;
    std::atomic<int> taken{0};
    static os::DWORD EnterAndEnd(void* p)
    {
        os::EnterCriticalSection(static_cast<Abandoner*>(p)->cs);
        return 0;
    }
    static os::DWORD Try(void* p)
    {
        auto* a = static_cast<Abandoner*>(p);
        if (os::TryEnterCriticalSection(a->cs)) ++a->taken;
        return 0;
    }
};

TEST_F(CriticalSectionTest, ASectionLeftHeldByAnEndedThreadIsNotHandedToTheNextThread)
{
    Abandoner abandoner{&cs};
    os::HANDLE ended = os::CreateThread(nullptr, 0, Abandoner::EnterAndEnd, &abandoner, 0, nullptr);
    ASSERT_EQ(os::WaitForSingleObject(ended, os::INFINITE), os::WAIT_OBJECT_0);
    os::CloseHandle(ended);
    // Later threads may be given the memory the ended one had; none of them
    // becomes the owner by that.
    for (int i = 0; i < 8; ++i) {
        os::HANDLE later = os::CreateThread(nullptr, 0, Abandoner::Try, &abandoner, 0, nullptr);
        ASSERT_EQ(os::WaitForSingleObject(later, os::INFINITE), os::WAIT_OBJECT_0);
        os::CloseHandle(later);
    }
    EXPECT_EQ(abandoner.taken.load(), 0);
    EXPECT_FALSE(os::TryEnterCriticalSection(&cs));
}

void EnterFromAHostThread()
{
    os::ClockConfig config;
    config.mode = os::ClockMode::Virtual;
    os::sim::StartPlatform(config);
    os::CRITICAL_SECTION cs;
    os::InitializeCriticalSection(&cs);
    std::thread host([&cs] { os::EnterCriticalSection(&cs); });
    host.join();
}

TEST(CriticalSectionOwnership, AHostThreadTheLayerDidNotMakeCannotTakeASection)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(EnterFromAHostThread(), "EnterCriticalSection called on a thread the platform did not make");
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
