#include "sim/gps_receiver.h"

#include <algorithm>
#include <string>

#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"
#include "sim/nmea_sentences.h"

namespace sim {
namespace {

constexpr double kKmhPerKnot = 1.852;
constexpr std::int64_t kReportPeriodMs = 1000;
constexpr std::int64_t kReplayPauseMs = 1000;  // between two rounds of a looped log

std::int64_t DeviceMs()
{
    return os::DeviceTimeUs() / 1000;
}

}  // namespace

std::shared_ptr<GpsReceiver> GpsReceiver::Driving(const Drive& drive)
{
    std::shared_ptr<GpsReceiver> receiver(new GpsReceiver);
    receiver->drive_ = drive;
    receiver->loop_ = drive.loop;
    return receiver;
}

std::shared_ptr<GpsReceiver> GpsReceiver::Replaying(std::vector<ReplayChunk> chunks, bool loop)
{
    std::shared_ptr<GpsReceiver> receiver(new GpsReceiver);
    receiver->replay_ = std::move(chunks);
    receiver->replaying_ = true;
    receiver->loop_ = loop;
    return receiver;
}

GpsReceiver::~GpsReceiver()
{
    Stop();
}

void GpsReceiver::SetSkyVisible(bool visible)
{
    skyVisible_ = visible;
}

void GpsReceiver::SendGarbage(std::size_t count)
{
    std::string noise(count, '\0');
    {
        std::lock_guard<std::mutex> lock(garbageMutex_);
        for (char& c : noise) {
            garbageSeed_ ^= garbageSeed_ << 13;
            garbageSeed_ ^= garbageSeed_ >> 17;
            garbageSeed_ ^= garbageSeed_ << 5;
            c = static_cast<char>(garbageSeed_ & 0xFF);
        }
    }
    Feed(noise.data(), noise.size());
}

void GpsReceiver::OnPortOpened()
{
    stop_ = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    thread_ = os::CreateThread(nullptr, 0, Talk, this, 0, nullptr);
    if (thread_ == nullptr) {
        os::PlatformLog("GPS receiver: no thread to talk on");
        os::CloseHandle(stop_);
        stop_ = nullptr;
        return;
    }
    os::SetThreadDescription(thread_, "gps-receiver");
}

void GpsReceiver::OnPortClosed()
{
    Stop();
}

void GpsReceiver::Stop()
{
    if (thread_ == nullptr) return;
    os::SetEvent(stop_);
    os::WaitForSingleObject(thread_, os::INFINITE);
    os::CloseHandle(thread_);
    os::CloseHandle(stop_);
    thread_ = stop_ = nullptr;
}

os::DWORD GpsReceiver::Talk(void* self)
{
    auto* receiver = static_cast<GpsReceiver*>(self);
    receiver->replaying_ ? receiver->ReplayUntilStopped() : receiver->DriveUntilStopped();
    return 0;
}

bool GpsReceiver::WaitUntilDeviceMs(std::int64_t ms)
{
    const std::int64_t wait = std::clamp<std::int64_t>(ms - DeviceMs(), 0, os::INFINITE - 1);
    return os::WaitForSingleObject(stop_, static_cast<os::DWORD>(wait)) == os::WAIT_TIMEOUT;
}

void GpsReceiver::DriveUntilStopped()
{
    for (;;) {
        const std::int64_t due = (DeviceMs() / kReportPeriodMs + 1) * kReportPeriodMs;
        if (!WaitUntilDeviceMs(due)) return;
        const RoutePosition at = PositionOnRoute(drive_.route, drive_.loop, due);
        os::SYSTEMTIME now;
        os::GetLocalTime(&now);
        ReceiverReport report;
        report.hour = now.wHour;
        report.minute = now.wMinute;
        report.second = now.wSecond;
        report.day = now.wDay;
        report.month = now.wMonth;
        report.year = now.wYear;
        report.fix = skyVisible_;
        report.latitude = at.latitude;
        report.longitude = at.longitude;
        report.altitude = drive_.altitude;
        report.speedKnots = at.speedKmh / kKmhPerKnot;
        report.courseDeg = at.courseDeg;
        report.inView = SkyWithSatellites(drive_.satellites);
        report.used = drive_.satellites;
        const std::string bytes = ReportSentences(report);
        Feed(bytes.data(), bytes.size());
    }
}

void GpsReceiver::ReplayUntilStopped()
{
    do {
        const std::int64_t start = DeviceMs();
        for (const ReplayChunk& chunk : replay_) {
            if (!WaitUntilDeviceMs(start + chunk.atMs)) return;
            // In a tunnel nothing of the recording gets through.
            if (skyVisible_) Feed(chunk.bytes.data(), chunk.bytes.size());
        }
        if (!WaitUntilDeviceMs(DeviceMs() + kReplayPauseMs)) return;
    } while (loop_ && !replay_.empty());
}

}  // namespace sim
