// A host terminal behind a simulated port, on a pseudo-terminal pair: the
// program's serial reader opens the slave side through the port, the test
// plays the device on the master side.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <string>

#include "platform/devices/comm.h"
#include "platform/files/file.h"
#include "platform/devices/host_serial.h"
#include "platform/kernel/sync.h"
#include "sensing/gps_serial.h"
#include "tests/support/platform_fixture.h"

namespace {

constexpr const char* kPort = "COM7:";
constexpr os::DWORD kPatienceMs = 10000;  // a bound for a stuck test, not a timing check

// What the serial reader's callback received, on the worker's thread.
struct Received {
    std::mutex mutex;
    std::string bytes;
    os::HANDLE arrived = nullptr;  // made once the platform has started
};

void Collect(const uint8_t* data, uint32_t size, void* arg)
{
    auto* received = static_cast<Received*>(arg);
    {
        std::lock_guard<std::mutex> lock(received->mutex);
        received->bytes.append(reinterpret_cast<const char*>(data), size);
    }
    os::SetEvent(received->arrived);
}

class HostSerialTest : public testing_support::RealTimePlatformTest {
protected:
    void SetUp() override
    {
        RealTimePlatformTest::SetUp();
        received_.arrived = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        slavePath_ = ::ptsname(master_);
        std::string error;
        line_ = os::sim::HostSerialLine::Open(slavePath_, &error);
        ASSERT_NE(line_, nullptr) << error;
        ASSERT_TRUE(os::sim::AttachCommPort(kPort, line_));
    }

    void TearDown() override
    {
        os::sim::DetachCommPort(kPort);
        line_.reset();
        os::CloseHandle(received_.arrived);
        if (master_ >= 0) ::close(master_);
        RealTimePlatformTest::TearDown();
    }

    void DeviceSends(const std::string& bytes)
    {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Waits until the callback holds `size` bytes; what it holds then.
    std::string ReceivedOnce(std::size_t size)
    {
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(received_.mutex);
                if (received_.bytes.size() >= size) return received_.bytes;
            }
            if (os::WaitForSingleObject(received_.arrived, kPatienceMs) != os::WAIT_OBJECT_0) {
                std::lock_guard<std::mutex> lock(received_.mutex);
                return received_.bytes;
            }
        }
    }

    termios SlaveSettings()
    {
        termios tio{};
        const int fd = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(fd, 0);
        EXPECT_EQ(::tcgetattr(fd, &tio), 0);
        ::close(fd);
        return tio;
    }

    int master_ = -1;
    std::string slavePath_;
    std::shared_ptr<os::sim::HostSerialLine> line_;
    Received received_;
};

TEST_F(HostSerialTest, DeviceBytesReachTheSerialReaderInRawMode)
{
    SerialReader* reader = SerialOpen(kPort, 4800, Collect, &received_);
    ASSERT_NE(reader, nullptr);

    const termios tio = SlaveSettings();
    EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B4800));
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B4800));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);

    const std::string sentence = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
    DeviceSends(sentence);
    DeviceSends(sentence);
    EXPECT_EQ(ReceivedOnce(2 * sentence.size()), sentence + sentence) << "carriage returns pass unchanged";

    // What the program writes reaches the device.
    os::DWORD written = 0;
    ASSERT_TRUE(os::WriteFile(reader->port, "$PSRF", 5, &written, nullptr));
    char echo[5] = {};
    ASSERT_EQ(::read(master_, echo, sizeof echo), 5);
    EXPECT_EQ(std::string(echo, 5), "$PSRF");

    SerialClose(reader);
    EXPECT_FALSE(line_->PortOpen());
}

TEST_F(HostSerialTest, SettingsFollowTheProgramAndThePortOpensAgain)
{
    SerialReader* reader = SerialOpen(kPort, 4800, Collect, &received_);
    ASSERT_NE(reader, nullptr);
    os::DCB dcb;
    ASSERT_TRUE(os::GetCommState(reader->port, &dcb));
    dcb.BaudRate = 38400;
    dcb.StopBits = os::TWOSTOPBITS;
    dcb.fOutxCtsFlow = 1;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    ASSERT_TRUE(os::SetCommState(reader->port, &dcb));
    // A pseudo-terminal always carries 8-bit bytes without parity, so only
    // the other settings can be seen on it.
    const termios tio = SlaveSettings();
    EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_NE(tio.c_cflag & CSTOPB, 0u);
    EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
    SerialClose(reader);

    // The reader thread of the line ended with the port; a new one comes with the next opening.
    reader = SerialOpen(kPort, 4800, Collect, &received_);
    ASSERT_NE(reader, nullptr);
    DeviceSends("$GPZDA*00\r\n");
    EXPECT_EQ(ReceivedOnce(11), "$GPZDA*00\r\n");
    SerialClose(reader);
}

TEST_F(HostSerialTest, UnpluggingEndsTheLinesReaderAndAHangUpIsSurvived)
{
    SerialReader* reader = SerialOpen(kPort, 4800, Collect, &received_);
    ASSERT_NE(reader, nullptr);
    ::close(master_);  // the device goes away
    master_ = -1;
    EXPECT_TRUE(os::sim::DetachCommPort(kPort));
    SerialClose(reader);
    EXPECT_EQ(ReceivedOnce(0), "");
}

TEST(HostSerialOpen, RefusesWhatIsNoTerminal)
{
    std::string error;
    EXPECT_EQ(os::sim::HostSerialLine::Open("/nonexistent/ttyUSB9", &error), nullptr);
    EXPECT_NE(error.find("/nonexistent/ttyUSB9"), std::string::npos);
    EXPECT_EQ(os::sim::HostSerialLine::Open("/dev/null", &error), nullptr);
    EXPECT_EQ(error, "/dev/null: not a terminal device");
}

}  // namespace
