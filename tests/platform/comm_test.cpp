#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/kernel/clock.h"
#include "platform/devices/comm.h"
#include "platform/kernel/sync.h"
#include "tests/support/platform_fixture.h"

namespace {

constexpr os::DWORD kReadWrite = 0xC0000000;  // GENERIC_READ | GENERIC_WRITE

class CommTest : public testing_support::PlatformTest {
protected:
    std::shared_ptr<os::sim::CommLine> line = std::make_shared<os::sim::CommLine>();
    os::HANDLE port = nullptr;
    void SetUp() override
    {
        PlatformTest::SetUp();
        ASSERT_TRUE(os::sim::AttachCommPort("COM1:", line));
        port = os::detail::OpenCommDevice("com1:", kReadWrite);
        ASSERT_NE(port, nullptr);
    }
    void TearDown() override
    {
        if (os::detail::IsCommHandle(port))
            os::detail::CloseComm(port);
        os::sim::DetachCommPort("COM1:");
        PlatformTest::TearDown();
    }
    void Feed(const std::string& bytes) { ASSERT_EQ(line->Feed(bytes.data(), bytes.size()), bytes.size()); }
    void SetTimeouts(os::DWORD interval, os::DWORD multiplier, os::DWORD constant)
    {
        os::COMMTIMEOUTS t;
        t.ReadIntervalTimeout = interval;
        t.ReadTotalTimeoutMultiplier = multiplier;
        t.ReadTotalTimeoutConstant = constant;
        ASSERT_TRUE(os::SetCommTimeouts(port, &t));
    }
    std::string Read(os::DWORD size)
    {
        std::string buffer(size, '\0');
        os::DWORD got = 0;
        EXPECT_TRUE(os::detail::ReadComm(port, buffer.data(), size, &got));
        buffer.resize(got);
        return buffer;
    }
};

// A device that sends a few bytes later, from a thread of its own.
struct LateSender {
    os::sim::CommLine* line = nullptr;
    os::DWORD afterMs = 0;
    std::string bytes;
};

os::DWORD SendLater(void* p)
{
    auto* s = static_cast<LateSender*>(p);
    os::Sleep(s->afterMs);
    return static_cast<os::DWORD>(s->line->Feed(s->bytes.data(), s->bytes.size()));
}

os::DWORD Join(os::HANDLE thread)
{
    EXPECT_EQ(os::WaitForSingleObject(thread, 60000), os::WAIT_OBJECT_0);
    os::DWORD code = 0;
    os::GetExitCodeThread(thread, &code);
    os::CloseHandle(thread);
    return code;
}

TEST_F(CommTest, APortOpensOnceAndOnlyWithALine)
{
    EXPECT_TRUE(os::detail::IsCommDeviceName("Com1:"));
    EXPECT_FALSE(os::detail::IsCommDeviceName("COM2:"));
    EXPECT_EQ(os::detail::OpenCommDevice("COM1:", kReadWrite), nullptr);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_ACCESS_DENIED));
    EXPECT_EQ(os::detail::OpenCommDevice("COM2:", kReadWrite), nullptr);
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(line->PortOpen());
    EXPECT_FALSE(os::sim::AttachCommPort("COM1:", std::make_shared<os::sim::CommLine>()));
    EXPECT_FALSE(os::sim::AttachCommPort("COM3:", line));  // one line, one port

    ASSERT_TRUE(os::detail::CloseComm(port));
    EXPECT_FALSE(line->PortOpen());
    EXPECT_EQ(line->Feed("lost", 4), 0u);
    port = os::detail::OpenCommDevice("COM1:", kReadWrite);
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(os::detail::CloseComm(reinterpret_cast<os::HANDLE>(static_cast<std::uintptr_t>(0x6FFFFFFF))));
}

TEST_F(CommTest, SettingsAreCheckedAndReachTheDevice)
{
    os::DCB dcb;
    ASSERT_TRUE(os::GetCommState(port, &dcb));
    dcb.BaudRate = os::CBR_4800;
    ASSERT_TRUE(os::SetCommState(port, &dcb));
    EXPECT_EQ(line->LastSettings().BaudRate, os::CBR_4800);

    os::DCB bad = dcb;
    bad.BaudRate = 115200;
    bad.ByteSize = 9;
    EXPECT_FALSE(os::SetCommState(port, &bad));
    bad = dcb;
    bad.Parity = 7;
    EXPECT_FALSE(os::SetCommState(port, &bad));
    os::DCB now;
    ASSERT_TRUE(os::GetCommState(port, &now));
    EXPECT_EQ(now.BaudRate, os::CBR_4800);

    os::DWORD written = 0;
    ASSERT_TRUE(os::detail::WriteComm(port, "$PSRF", 5, &written));
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(line->TakeWritten(), "$PSRF");
    EXPECT_EQ(line->TakeWritten(), "");
    EXPECT_TRUE(os::EscapeCommFunction(port, os::SETDTR));
    EXPECT_FALSE(os::EscapeCommFunction(port, 77));
}

TEST_F(CommTest, ImmediateReadsReturnWhatIsBuffered)
{
    SetTimeouts(os::MAXDWORD, 0, 0);
    EXPECT_EQ(Read(16), "");
    Feed("$GPGGA");
    EXPECT_EQ(Read(4), "$GPG");
    EXPECT_EQ(Read(16), "GA");
}

TEST_F(CommTest, TotalTimeOutEndsAShortReadWithWhatCame)
{
    SetTimeouts(0, 10, 500);  // 10 x 8 + 500 ms for 8 bytes
    Feed("abcd");
    EXPECT_EQ(Read(8), "abcd");
    const os::DWORD before = os::GetTickCount();
    EXPECT_EQ(Read(8), "");
    EXPECT_GE(os::GetTickCount() - before, 580u);
}

TEST_F(CommTest, ReadsWithoutTimeOutsWaitForEveryByte)
{
    SetTimeouts(0, 0, 0);
    LateSender sender{line.get(), 2000, "world"};
    Feed("hello ");
    os::HANDLE thread = os::CreateThread(nullptr, 0, SendLater, &sender, 0, nullptr);
    EXPECT_EQ(Read(11), "hello world");
    EXPECT_EQ(Join(thread), 5u);
}

TEST_F(CommTest, AnIntervalTimeOutEndsAReadOnceBytesStopComing)
{
    SetTimeouts(100, 0, 0);
    Feed("ab");
    LateSender sender{line.get(), 50, "c"};
    os::HANDLE thread = os::CreateThread(nullptr, 0, SendLater, &sender, 0, nullptr);
    EXPECT_EQ(Read(8), "abc");
    Join(thread);
}

TEST_F(CommTest, FirstByteModeReturnsAsSoonAsOneByteIsThere)
{
    SetTimeouts(os::MAXDWORD, os::MAXDWORD, 5000);
    LateSender sender{line.get(), 300, "xy"};
    os::HANDLE thread = os::CreateThread(nullptr, 0, SendLater, &sender, 0, nullptr);
    EXPECT_EQ(Read(64), "xy");
    Join(thread);
    EXPECT_EQ(Read(64), "");  // nothing more within 5000 ms
}

TEST_F(CommTest, WaitCommEventReportsReceivedCharacters)
{
    ASSERT_TRUE(os::SetCommMask(port, os::EV_RXCHAR));
    LateSender sender{line.get(), 100, "$GPRMC"};
    os::HANDLE thread = os::CreateThread(nullptr, 0, SendLater, &sender, 0, nullptr);
    os::DWORD events = 0;
    ASSERT_TRUE(os::WaitCommEvent(port, &events, nullptr));
    EXPECT_EQ(events, os::EV_RXCHAR);
    Join(thread);
    os::COMSTAT status;
    os::DWORD errors = 1;
    ASSERT_TRUE(os::ClearCommError(port, &errors, &status));
    EXPECT_EQ(errors, 0u);
    EXPECT_EQ(status.cbInQue, 6u);
    ASSERT_TRUE(os::PurgeComm(port, os::PURGE_RXCLEAR));
    ASSERT_TRUE(os::ClearCommError(port, &errors, &status));
    EXPECT_EQ(status.cbInQue, 0u);

    os::DWORD none = 0;
    ASSERT_TRUE(os::SetCommMask(port, 0));
    EXPECT_FALSE(os::WaitCommEvent(port, &none, nullptr));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
}

TEST_F(CommTest, AFullReceiveQueueLosesBytesAndSaysSo)
{
    ASSERT_TRUE(os::SetupComm(port, 8, 8));
    EXPECT_EQ(line->Feed("0123456789", 10), 8u);
    os::DWORD errors = 0;
    os::COMSTAT status;
    ASSERT_TRUE(os::ClearCommError(port, &errors, &status));
    EXPECT_EQ(errors, os::CE_RXOVER);
    EXPECT_EQ(status.cbInQue, 8u);
    ASSERT_TRUE(os::ClearCommError(port, &errors, nullptr));
    EXPECT_EQ(errors, 0u);
    SetTimeouts(os::MAXDWORD, 0, 0);
    EXPECT_EQ(Read(16), "01234567");
}

struct Waiter {
    os::HANDLE port = nullptr;
    bool readInstead = false;
    os::DWORD events = 0xFFFF;
    os::DWORD error = 0;
};

os::DWORD WaitOnPort(void* p)
{
    auto* w = static_cast<Waiter*>(p);
    char buffer[8];
    os::DWORD got = 0;
    const os::BOOL ok = w->readInstead ? os::detail::ReadComm(w->port, buffer, sizeof buffer, &got)
                                       : os::WaitCommEvent(w->port, &w->events, nullptr);
    if (!ok)
        w->error = os::GetLastError();
    return ok ? 1 : 0;
}

TEST_F(CommTest, ChangingTheMaskEndsAWaitWithNoEvent)
{
    ASSERT_TRUE(os::SetCommMask(port, os::EV_RXCHAR));
    Waiter waiter{port};
    os::HANDLE thread = os::CreateThread(nullptr, 0, WaitOnPort, &waiter, 0, nullptr);
    os::Sleep(50);
    ASSERT_TRUE(os::SetCommMask(port, os::EV_RXCHAR | os::EV_ERR));
    EXPECT_EQ(Join(thread), 1u);
    EXPECT_EQ(waiter.events, 0u);
}

TEST_F(CommTest, ClosingThePortEndsBlockedWaitsAndReads)
{
    SetTimeouts(0, 0, 0);
    ASSERT_TRUE(os::SetCommMask(port, os::EV_RXCHAR));
    Waiter eventWaiter{port};
    Waiter reader{port, true};
    os::HANDLE t1 = os::CreateThread(nullptr, 0, WaitOnPort, &eventWaiter, 0, nullptr);
    os::HANDLE t2 = os::CreateThread(nullptr, 0, WaitOnPort, &reader, 0, nullptr);
    os::Sleep(50);
    ASSERT_TRUE(os::detail::CloseComm(port));
    EXPECT_EQ(Join(t1), 0u);
    EXPECT_EQ(Join(t2), 0u);
    EXPECT_EQ(eventWaiter.error, static_cast<os::DWORD>(os::ERROR_INVALID_HANDLE));
    EXPECT_EQ(reader.error, static_cast<os::DWORD>(os::ERROR_INVALID_HANDLE));
}

TEST_F(CommTest, AnUnpluggedLineFeedsNothingButThePortStaysOpen)
{
    ASSERT_TRUE(os::sim::DetachCommPort("COM1:"));
    EXPECT_EQ(line->Feed("late", 4), 0u);
    os::DWORD written = 0;
    EXPECT_TRUE(os::detail::WriteComm(port, "x", 1, &written));
    EXPECT_EQ(line->TakeWritten(), "");
    EXPECT_FALSE(os::detail::IsCommDeviceName("COM1:"));
    EXPECT_TRUE(os::detail::IsCommHandle(port));
}

}  // namespace
