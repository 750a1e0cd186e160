#include <gtest/gtest.h>

#include <string>

#include "platform/kernel/clock.h"
#include "platform/devices/power.h"
#include "platform/kernel/sync.h"
#include "tests/support/platform_fixture.h"

namespace {

os::MSGQUEUEOPTIONS Options(bool read, os::DWORD maxMessages = 4, os::DWORD maxBytes = 536)
{
    os::MSGQUEUEOPTIONS options;
    options.dwFlags = os::MSGQUEUE_NOPRECOMMIT;
    options.dwMaxMessages = maxMessages;
    options.cbMaxMessage = maxBytes;
    options.bReadAccess = read ? os::TRUE : os::FALSE;
    return options;
}

class MsgQueueTest : public testing_support::PlatformTest {};

TEST_F(MsgQueueTest, MessagesTravelInOrderFromWriterToReader)
{
    const auto readOptions = Options(true, 2, 16);
    const auto writeOptions = Options(false, 2, 16);
    os::HANDLE reader = os::CreateMsgQueue("q", &readOptions);
    os::HANDLE writer = os::CreateMsgQueue("q", &writeOptions);
    ASSERT_NE(reader, nullptr);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(os::WaitForSingleObject(reader, 0), os::WAIT_TIMEOUT);
    EXPECT_EQ(os::WaitForSingleObject(writer, 0), os::WAIT_OBJECT_0);  // room to write

    ASSERT_TRUE(os::WriteMsgQueue(writer, "first", 6, 0, 0));
    ASSERT_TRUE(os::WriteMsgQueue(writer, "second", 7, 0, os::MSGQUEUE_MSGALERT));
    EXPECT_EQ(os::WaitForSingleObject(reader, 0), os::WAIT_OBJECT_0);
    EXPECT_EQ(os::WaitForSingleObject(writer, 0), os::WAIT_TIMEOUT);  // full
    EXPECT_FALSE(os::WriteMsgQueue(writer, "third", 6, 0, 0));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_TIMEOUT));

    char buffer[16] = {};
    os::DWORD read = 0;
    os::DWORD flags = 99;
    ASSERT_TRUE(os::ReadMsgQueue(reader, buffer, sizeof buffer, &read, 0, &flags));
    EXPECT_STREQ(buffer, "first");
    EXPECT_EQ(read, 6u);
    EXPECT_EQ(flags, 0u);
    ASSERT_TRUE(os::ReadMsgQueue(reader, buffer, sizeof buffer, &read, 0, &flags));
    EXPECT_STREQ(buffer, "second");
    EXPECT_EQ(flags, os::MSGQUEUE_MSGALERT);
    EXPECT_EQ(os::WaitForSingleObject(reader, 0), os::WAIT_TIMEOUT);

    EXPECT_TRUE(os::CloseMsgQueue(writer));
    EXPECT_TRUE(os::CloseMsgQueue(reader));
    EXPECT_FALSE(os::CloseMsgQueue(reader));
}

TEST_F(MsgQueueTest, WrongSideSizeAndEmptyQueueAreRefused)
{
    const auto readOptions = Options(true, 4, 8);
    const auto writeOptions = Options(false, 4, 8);
    os::HANDLE reader = os::CreateMsgQueue("r", &readOptions);
    os::HANDLE writer = os::CreateMsgQueue("r", &writeOptions);
    char buffer[8];
    os::DWORD read = 0;

    EXPECT_FALSE(os::WriteMsgQueue(reader, "x", 1, 0, 0));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_ACCESS_DENIED));
    EXPECT_FALSE(os::ReadMsgQueue(writer, buffer, sizeof buffer, &read, 0, nullptr));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_ACCESS_DENIED));
    EXPECT_FALSE(os::WriteMsgQueue(writer, "too long!", 9, 0, 0));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INSUFFICIENT_BUFFER));

    EXPECT_FALSE(os::ReadMsgQueue(reader, buffer, sizeof buffer, &read, 250, nullptr));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_TIMEOUT));

    // A message larger than the reader's buffer stays for a larger one.
    ASSERT_TRUE(os::WriteMsgQueue(writer, "1234567", 8, 0, 0));
    EXPECT_FALSE(os::ReadMsgQueue(reader, buffer, 4, &read, 0, nullptr));
    EXPECT_EQ(os::GetLastError(), static_cast<os::DWORD>(os::ERROR_INSUFFICIENT_BUFFER));
    EXPECT_TRUE(os::ReadMsgQueue(reader, buffer, sizeof buffer, &read, 0, nullptr));
    EXPECT_STREQ(buffer, "1234567");

    auto bad = readOptions;
    bad.dwSize = 16;
    EXPECT_EQ(os::CreateMsgQueue(nullptr, &bad), nullptr);
    bad = readOptions;
    bad.cbMaxMessage = 0;
    EXPECT_EQ(os::CreateMsgQueue(nullptr, &bad), nullptr);
    os::CloseMsgQueue(reader);
    os::CloseMsgQueue(writer);
}

struct Reader {
    os::HANDLE queue = nullptr;
    alignas(os::POWER_BROADCAST) char text[sizeof(os::POWER_BROADCAST)] = {};
    os::DWORD error = 0;
    bool waitOnly = false;
};

os::DWORD ReadOne(void* p)
{
    auto* r = static_cast<Reader*>(p);
    if (r->waitOnly)
        return os::WaitForSingleObject(r->queue, os::INFINITE);
    os::DWORD read = 0;
    if (os::ReadMsgQueue(r->queue, r->text, sizeof r->text, &read, os::INFINITE, nullptr))
        return 1;
    r->error = os::GetLastError();
    return 0;
}

os::DWORD Join(os::HANDLE thread)
{
    EXPECT_EQ(os::WaitForSingleObject(thread, 10000), os::WAIT_OBJECT_0);
    os::DWORD code = 0;
    os::GetExitCodeThread(thread, &code);
    os::CloseHandle(thread);
    return code;
}

TEST_F(MsgQueueTest, ABlockedReaderGetsTheNextMessage)
{
    const auto readOptions = Options(true);
    const auto writeOptions = Options(false);
    Reader reader;
    reader.queue = os::CreateMsgQueue("wake", &readOptions);
    os::HANDLE writer = os::CreateMsgQueue("wake", &writeOptions);
    os::HANDLE thread = os::CreateThread(nullptr, 0, ReadOne, &reader, 0, nullptr);
    os::Sleep(100);
    ASSERT_TRUE(os::WriteMsgQueue(writer, "hello", 6, 0, 0));
    EXPECT_EQ(Join(thread), 1u);
    EXPECT_STREQ(reader.text, "hello");
    os::CloseMsgQueue(reader.queue);
    os::CloseMsgQueue(writer);
}

TEST_F(MsgQueueTest, ClosingTheQueueEndsReadsAndWaitsOnIt)
{
    const auto options = Options(true);
    Reader blockedRead;
    blockedRead.queue = os::CreateMsgQueue(nullptr, &options);
    Reader blockedWait;
    blockedWait.queue = os::CreateMsgQueue(nullptr, &options);
    blockedWait.waitOnly = true;
    os::HANDLE readThread = os::CreateThread(nullptr, 0, ReadOne, &blockedRead, 0, nullptr);
    os::HANDLE waitThread = os::CreateThread(nullptr, 0, ReadOne, &blockedWait, 0, nullptr);
    os::Sleep(50);
    ASSERT_TRUE(os::CloseMsgQueue(blockedRead.queue));
    ASSERT_TRUE(os::CloseMsgQueue(blockedWait.queue));
    EXPECT_EQ(Join(readThread), 0u);
    EXPECT_EQ(blockedRead.error, static_cast<os::DWORD>(os::ERROR_INVALID_HANDLE));
    EXPECT_EQ(Join(waitThread), os::WAIT_FAILED);
}

class PowerTest : public testing_support::PlatformTest {
protected:
    os::HANDLE queue = nullptr;
    void SetUp() override
    {
        PlatformTest::SetUp();
        os::sim::ResetPower();
        const auto options = Options(true, 4, sizeof(os::POWER_BROADCAST));
        queue = os::CreateMsgQueue(nullptr, &options);
        ASSERT_NE(queue, nullptr);
    }
    void TearDown() override
    {
        os::CloseMsgQueue(queue);
        PlatformTest::TearDown();
    }
    bool Next(os::POWER_BROADCAST* record, os::DWORD* size)
    {
        *record = os::POWER_BROADCAST{};
        return os::ReadMsgQueue(queue, record, sizeof *record, size, 0, nullptr) != os::FALSE;
    }
};

TEST_F(PowerTest, TransitionsResumesAndPowerChangesReachTheQueue)
{
    os::HANDLE notifications =
        os::RequestPowerNotifications(queue, os::PBT_TRANSITION | os::PBT_RESUME | os::PBT_POWERINFOCHANGE);
    ASSERT_NE(notifications, nullptr);
    ASSERT_TRUE(os::sim::PowerTransition(0x12010000, "on"));
    os::sim::PowerResume();
    ASSERT_TRUE(os::sim::SetPowerInfo(false, 14));
    EXPECT_EQ(os::WaitForSingleObject(queue, 0), os::WAIT_OBJECT_0);

    os::POWER_BROADCAST record;
    os::DWORD size = 0;
    ASSERT_TRUE(Next(&record, &size));
    EXPECT_EQ(record.Message, os::PBT_TRANSITION);
    EXPECT_EQ(record.Flags, 0x12010000u);
    EXPECT_EQ(record.Length, 3u);
    EXPECT_EQ(size, os::POWER_BROADCAST_HEADER_BYTES + 3);
    EXPECT_STREQ(record.SystemPowerState, "on");
    ASSERT_TRUE(Next(&record, &size));
    EXPECT_EQ(record.Message, os::PBT_RESUME);
    EXPECT_EQ(record.Length, 0u);
    ASSERT_TRUE(Next(&record, &size));
    EXPECT_EQ(record.Message, os::PBT_POWERINFOCHANGE);
    EXPECT_FALSE(Next(&record, &size));

    os::SYSTEM_POWER_STATUS_EX2 status;
    ASSERT_EQ(os::GetSystemPowerStatusEx2(&status, sizeof status, os::TRUE), sizeof status);
    EXPECT_EQ(status.ACLineStatus, os::AC_LINE_OFFLINE);
    EXPECT_EQ(status.BatteryLifePercent, 14);
    EXPECT_FALSE(os::sim::SetPowerInfo(true, 101));
    ASSERT_EQ(os::GetSystemPowerStatusEx2(&status, 1, os::TRUE), 1u);

    EXPECT_TRUE(os::StopPowerNotifications(notifications));
    EXPECT_FALSE(os::StopPowerNotifications(notifications));
    EXPECT_EQ(os::sim::ActivePowerNotifications(), 0);
    os::sim::PowerResume();
    EXPECT_FALSE(Next(&record, &size));
}

TEST_F(PowerTest, OnlyAskedTypesAreSentAndAFullQueueLosesMessages)
{
    ASSERT_NE(os::RequestPowerNotifications(queue, os::PBT_RESUME), nullptr);
    os::sim::PowerTransition(os::POWER_STATE_UNATTENDED, "unattended");
    os::sim::SetPowerInfo(true, 50);
    os::POWER_BROADCAST record;
    os::DWORD size = 0;
    EXPECT_FALSE(Next(&record, &size));

    for (int i = 0; i < 6; ++i)
        os::sim::PowerResume();
    EXPECT_EQ(os::sim::DroppedPowerMessages(), 2);
    int received = 0;
    while (Next(&record, &size))
        ++received;
    EXPECT_EQ(received, 4);

    EXPECT_EQ(os::RequestPowerNotifications(queue, 0), nullptr);
    const auto bogus = reinterpret_cast<os::HANDLE>(static_cast<std::uintptr_t>(0x0FFFFFF0));
    EXPECT_EQ(os::RequestPowerNotifications(bogus, os::PBT_RESUME), nullptr);
    EXPECT_FALSE(os::sim::PowerTransition(0, std::string(600, 'x')));
}

TEST_F(PowerTest, ANotificationReachesAThreadWaitingOnTheQueue)
{
    ASSERT_NE(os::RequestPowerNotifications(queue, os::POWER_NOTIFY_ALL), nullptr);
    Reader reader;
    reader.queue = queue;
    os::HANDLE thread = os::CreateThread(nullptr, 0, ReadOne, &reader, 0, nullptr);
    os::Sleep(1000);
    os::sim::PowerTransition(0, "backlightoff");
    EXPECT_EQ(Join(thread), 1u);
    const auto* record = reinterpret_cast<const os::POWER_BROADCAST*>(reader.text);
    EXPECT_EQ(record->Message, os::PBT_TRANSITION);
    EXPECT_STREQ(record->SystemPowerState, "backlightoff");
}

TEST_F(PowerTest, PowerStateRequestsAreRecorded)
{
    EXPECT_EQ(os::SetSystemPowerState(nullptr, os::POWER_STATE_IDLE, 0), static_cast<os::DWORD>(os::ERROR_SUCCESS));
    EXPECT_EQ(os::SetSystemPowerState(nullptr, 0, 0), static_cast<os::DWORD>(os::ERROR_INVALID_PARAMETER));
    const auto requests = os::sim::PowerStateRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].state, os::POWER_STATE_IDLE);
    EXPECT_TRUE(requests[0].name.empty());
}

}  // namespace
