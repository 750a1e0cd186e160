// Setting GPS up and down: the driver's port, the serial reader's settings,
// the workers that bring received sentences into the live record, and the
// question asked when there is no receiver.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "platform/kernel/clock.h"
#include "platform/devices/comm.h"
#include "platform/base/trace.h"
#include "sensing/gps_log.h"
#include "sensing/gps_serial.h"
#include "tests/sensing/gps_fixture.h"

namespace {

constexpr const char* kPort = "COM9:";

class GpsAcquisitionTest : public gps_test::GpsFixture {
protected:
    void TearDown() override
    {
        GpsDeinit(window_);
        os::sim::DetachCommPort(kPort);
        GpsFixture::TearDown();
    }

    // A receiver on kPort that the test itself speaks for.
    void AttachReceiver()
    {
        os::sim::GpsDeviceConfig device;
        device.present = true;
        device.multiplexPort = kPort;
        ASSERT_TRUE(os::sim::ConfigureGpsDevice(device));
        ASSERT_TRUE(os::sim::AttachCommPort(kPort, line_));
    }

    void Send(const std::string& body)
    {
        const std::string bytes = nmea_test::Sentence(body);
        ASSERT_EQ(line_->Feed(bytes.data(), bytes.size()), bytes.size());
    }

    std::shared_ptr<os::sim::CommLine> line_ = std::make_shared<os::sim::CommLine>();
};

TEST_F(GpsAcquisitionTest, ReceivedSentencesReachTheLiveRecordOncePerSecond)
{
    AttachReceiver();
    ASSERT_EQ(GpsInit(window_), 1);
    EXPECT_TRUE(os::sim::MessageBoxHistory().empty());
    EXPECT_TRUE(line_->PortOpen());

    Send("GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,");
    Send("GPGSA,A,3,01,,,,13,20,22,,,,28,,3.1,2.1,2.0");
    Send("GPGSV,3,1,11,01,78,221,47,03,09,042,00,04,05,242,00,06,04,149,00");
    Send("GPGSV,3,2,11,13,37,235,48,20,41,333,46,22,65,081,46,24,02,205,00");
    Send("GPGSV,3,3,11,25,20,108,00,27,08,281,00,28,17,339,39,,,,");
    EXPECT_EQ(+Fix().mark, 0u) << "nothing is copied before the worker wakes";
    os::Sleep(1500);
    const GpsFix fix = Fix();
    EXPECT_EQ(+fix.mark, 0xFFFFFFFFu);
    EXPECT_NEAR(+fix.body.timePosition.latitude, -45.457633, 1e-5);
    EXPECT_EQ(+fix.body.usedCount, 5u);
    EXPECT_EQ(+fix.body.satellitesInView, 11u);
    EXPECT_EQ(fix.body.signalLevel, 5);

    // A log started now gets one record per second.
    ASSERT_EQ(GpsLogStart(window_, "\\Storage Card\\a.gps", 0), 1);
    os::Sleep(5000);
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    EXPECT_EQ(At<uint32_t>(ReadDeviceFile("\\Storage Card\\a.gps"), 192), 5u);

    ASSERT_EQ(GpsDeinit(window_), 1);
    EXPECT_FALSE(line_->PortOpen());
    EXPECT_EQ(Gps().parser, nullptr);
    EXPECT_EQ(Gps().updateThread, nullptr);
}

TEST_F(GpsAcquisitionTest, ThePortIsSetUpForAReceiverThatOnlyTalks)
{
    AttachReceiver();
    ASSERT_EQ(GpsInit(window_), 1);
    const os::DCB dcb = line_->LastSettings();
    EXPECT_EQ(dcb.BaudRate, 4800u);
    EXPECT_EQ(dcb.fBinary, 1u);
    EXPECT_EQ(dcb.fParity, 0u);
    EXPECT_EQ(dcb.fOutxCtsFlow, 0u);
    EXPECT_EQ(dcb.fOutxDsrFlow, 0u);
    EXPECT_EQ(dcb.fDtrControl, os::DTR_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fDsrSensitivity, 0u);
    EXPECT_EQ(dcb.fTXContinueOnXoff, 1u);
    EXPECT_EQ(dcb.fOutX, 0u);
    EXPECT_EQ(dcb.fInX, 0u);
    EXPECT_EQ(dcb.fErrorChar, 0u);
    EXPECT_EQ(dcb.fNull, 0u);
    EXPECT_EQ(dcb.fRtsControl, os::RTS_CONTROL_ENABLE);
    EXPECT_EQ(dcb.fAbortOnError, 0u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, os::NOPARITY);
    EXPECT_EQ(dcb.StopBits, os::ONESTOPBIT);

    os::COMMTIMEOUTS timeouts;
    ASSERT_TRUE(os::GetCommTimeouts(Gps().serial->port, &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, os::MAXDWORD);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 1000u);

    // The receive queue holds 2048 bytes: the rest of a burst is lost.
    const std::string burst(3000, 'x');
    EXPECT_EQ(line_->Feed(burst.data(), burst.size()), 2048u);
}

TEST_F(GpsAcquisitionTest, WithoutAReceiverTheUserDecides)
{
    os::sim::QueueMessageBoxAnswer(os::IDNO);
    EXPECT_EQ(GpsInit(window_), 0);
    ASSERT_EQ(os::sim::MessageBoxHistory().size(), 1u);
    const os::sim::MessageBoxRecord box = os::sim::MessageBoxHistory()[0];
    EXPECT_EQ(box.caption, "Ardvane");
    EXPECT_EQ(box.text, "GPS is not available. Continue without GPS?");
    EXPECT_EQ(box.type, os::MB_YESNO);
    EXPECT_EQ(box.owner, os::GetForegroundWindow());
    EXPECT_EQ(GpsDeinit(window_), 1);

    // Yes: no workers, the live record stays zero, a log gets no records.
    os::sim::QueueMessageBoxAnswer(os::IDYES);
    EXPECT_EQ(GpsInit(window_), 1);
    EXPECT_EQ(Gps().updateThread, nullptr);
    ASSERT_EQ(GpsLogStart(window_, "\\Storage Card\\b.gps", 0), 1);
    os::Sleep(3000);
    ASSERT_EQ(GpsLogStop(window_, 0), 1);
    EXPECT_EQ(ReadDeviceFile("\\Storage Card\\b.gps").size(), 196u + 64u);
    EXPECT_EQ(+Fix().mark, 0u);
}

TEST_F(GpsAcquisitionTest, APortThatDoesNotOpenCountsAsNoReceiver)
{
    os::sim::GpsDeviceConfig device;
    device.present = true;
    device.multiplexPort = kPort;  // but nothing attached there
    ASSERT_TRUE(os::sim::ConfigureGpsDevice(device));
    os::TraceCapture trace;
    os::sim::QueueMessageBoxAnswer(os::IDNO);
    EXPECT_EQ(GpsInit(window_), 0);
    EXPECT_EQ(os::sim::MessageBoxHistory().size(), 1u);
    EXPECT_EQ(Gps().serial, nullptr);
    const auto lines = trace.ProgramLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("SerialOpen(COM9:, 4800): cannot open the port");
    })) << testing::PrintToString(lines);
}

TEST_F(GpsAcquisitionTest, SerialReaderWithoutCallbackOnlyOpensThePort)
{
    AttachReceiver();
    SerialReader* reader = SerialOpen(kPort, 9600, nullptr, nullptr);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->thread, nullptr);
    EXPECT_EQ(line_->LastSettings().BaudRate, 9600u);
    EXPECT_EQ(SerialOpen(kPort, 9600, nullptr, nullptr), nullptr) << "a port opens once";
    SerialClose(reader);
    EXPECT_FALSE(line_->PortOpen());
    EXPECT_EQ(SerialOpen("COM8:", 4800, nullptr, nullptr), nullptr);
}

}  // namespace
