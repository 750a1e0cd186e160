#include "sensing/gps_acquisition.h"

#include <string>

#include "app/app_state.h"
#include "app/messages.h"
#include "app/resource_text.h"
#include "platform/kernel/clock.h"
#include "platform/devices/gps_driver.h"
#include "platform/windows/message_box.h"
#include "platform/shell/resource.h"
#include "platform/kernel/sync.h"
#include "platform/base/trace.h"
#include "sensing/gps_log.h"
#include "sensing/gps_serial.h"
#include "sensing/gps_update.h"
#include "sensing/nmea_parser.h"

namespace {

constexpr os::UINT kGpsUnavailableText = 25;
constexpr uint32_t kReceiverBaud = 4800;
constexpr os::DWORD kUpdatePeriodMs = 1000;
constexpr os::DWORD kUpdateWorkerStopTimeoutMs = 5000;

// Wakes once a second of device time and updates the live record, until
// its stop event is set.
os::DWORD GpsUpdateWorker(void* param)
{
    auto* gps = static_cast<GpsState*>(param);
    os::DWORD due = os::GetTickCount() + kUpdatePeriodMs;
    for (;;) {
        const auto ahead = static_cast<int32_t>(due - os::GetTickCount());
        const os::DWORD wait = ahead > 0 ? static_cast<os::DWORD>(ahead) : 0;
        if (os::WaitForSingleObject(gps->updateStop, wait) != os::WAIT_TIMEOUT) return 0;
        GpsUpdate(gps);
        due += kUpdatePeriodMs;
        // A worker held up for more than a period skips the updates it missed.
        if (static_cast<int32_t>(os::GetTickCount() - due) > 0) due = os::GetTickCount() + kUpdatePeriodMs;
    }
}

bool StartUpdateWorker(GpsState* gps)
{
    gps->updateStop = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    if (gps->updateStop == nullptr) return false;
    gps->updateThread = os::CreateThread(nullptr, 0, GpsUpdateWorker, gps, 0, nullptr);
    if (gps->updateThread == nullptr) {
        os::CloseHandle(gps->updateStop);
        gps->updateStop = nullptr;
        return false;
    }
    os::SetThreadDescription(gps->updateThread, "gps-update");
    return true;
}

// True when the worker ended (or never ran).
bool StopUpdateWorker(GpsState* gps)
{
    if (gps->updateThread == nullptr) return true;
    os::SetEvent(gps->updateStop);
    const bool ended = os::WaitForSingleObject(gps->updateThread, kUpdateWorkerStopTimeoutMs) == os::WAIT_OBJECT_0;
    if (!ended) {
        os::Trace("GpsDeinit: the GPS update worker did not end; it is left running");
        os::TerminateThread(gps->updateThread, 0);
    }
    os::CloseHandle(gps->updateThread);
    os::CloseHandle(gps->updateStop);
    gps->updateThread = nullptr;
    gps->updateStop = nullptr;
    return ended;
}

// The reader on the receiver's port, or null when the driver names none or
// the port does not open.
SerialReader* OpenReceiver(GpsState* gps)
{
    os::GPS_DEVICE device;
    device.dwVersion = os::GPS_VERSION_1;
    device.dwSize = sizeof device;
    const os::DWORD result = os::GPSGetDeviceState(&device);
    if (result != static_cast<os::DWORD>(os::ERROR_SUCCESS)) {
        os::Trace("GPSGetDeviceState failed: %u", result);
        return nullptr;
    }
    const std::string port = os::GpsDeviceText(device.szGPSMultiplexPrefix, os::GPS_MAX_PREFIX_NAME);
    return SerialOpen(port.c_str(), kReceiverBaud, GpsDataCallback, gps);
}

bool UserGoesOnWithoutGps()
{
    return os::MessageBoxW(os::GetForegroundWindow(), ResourceText(kGpsUnavailableText).c_str(), kAppTitle,
                           os::MB_YESNO) != os::IDNO;
}

}  // namespace

int GpsInit(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    GpsState& gps = app->gps;
    if (gps.parser != nullptr) {
        os::Trace("GpsInit: already running");
        return 1;
    }
    gps.parser = new CNMEAParser;
    if (!gps.locksMade) {
        os::InitializeCriticalSection(&gps.parserLock);
        os::InitializeCriticalSection(&gps.lock);
        gps.locksMade = true;
    }
    gps.serial = OpenReceiver(&gps);
    if (gps.serial != nullptr && !StartUpdateWorker(&gps)) {
        os::Trace("GpsInit: no update worker, error %u", os::GetLastError());
        SerialClose(gps.serial);
        gps.serial = nullptr;
    }
    if (gps.serial == nullptr && !UserGoesOnWithoutGps()) {
        os::Trace("GpsInit: no GPS");
        return 0;
    }
    os::Trace(gps.serial != nullptr ? "GpsInit" : "GpsInit: going on without GPS");
    return 1;
}

int GpsDeinit(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    GpsState& gps = app->gps;
    if (gps.logging) GpsLogStop(hwnd, 0);
    bool ended = StopUpdateWorker(&gps);
    if (gps.serial != nullptr && !SerialShutdown(gps.serial)) ended = false;
    gps.serial = nullptr;
    if (!ended) {
        os::Trace("GpsDeinit: a GPS worker did not end; the parser and the locks are kept");
        return 0;
    }
    if (gps.locksMade) {
        os::DeleteCriticalSection(&gps.parserLock);
        os::DeleteCriticalSection(&gps.lock);
        gps.locksMade = false;
    }
    delete gps.parser;
    gps.parser = nullptr;
    os::Trace("GpsDeinit");
    return 1;
}

void GpsDataCallback(const uint8_t* data, uint32_t size, void* arg)
{
    auto* gps = static_cast<GpsState*>(arg);
    os::EnterCriticalSection(&gps->parserLock);
    gps->parser->ParseBuffer(data, size);
    os::LeaveCriticalSection(&gps->parserLock);
    os::Sleep(0);
}

int GpsGetFix(os::HWND hwnd, GpsFix* out)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr || out == nullptr) return 0;
    GpsState& gps = app->gps;
    if (gps.locksMade) os::EnterCriticalSection(&gps.lock);
    *out = gps.fix;
    if (gps.locksMade) os::LeaveCriticalSection(&gps.lock);
    return 1;
}
