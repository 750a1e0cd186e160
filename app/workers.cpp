#include "app/workers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/display_state.h"
#include "app/power_state.h"
#include "app/rotation_alert.h"
#include "platform/devices/display.h"
#include "platform/kernel/clock.h"
#include "platform/devices/power.h"
#include "platform/base/trace.h"
#include "storage/space_management.h"

namespace {

constexpr os::DWORD kStopTimeoutMs = 5000;
constexpr os::DWORD kPowerThreadTimeoutMs = 1000;
constexpr os::DWORD kPowerMessageSize = 536;  // a power broadcast record and a path

os::DWORD RotationWatchThread(void*)
{
    os::DWORD previous = 0;
    while (!g_rotationWatch.stop) {
        os::DWORD rotation = 0;
        GetDisplayRotation(&rotation);
        if (rotation != previous && rotation == os::DMDO_0) {
            ShowRotationAlert(g_hMainWindow);
            previous = rotation;
        } else if (rotation != previous && rotation == os::DMDO_270) {
            HideRotationAlert(g_hMainWindow);
            previous = rotation;
        }
        os::Sleep(10);
    }
    return 0;
}

os::DWORD PowerNotificationThread(void* param)
{
    auto hwnd = static_cast<os::HWND>(param);
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    os::MSGQUEUEOPTIONS options;
    options.dwFlags = 1;
    options.dwMaxMessages = 4;
    options.cbMaxMessage = kPowerMessageSize;
    options.bReadAccess = os::TRUE;
    os::HANDLE queue = os::CreateMsgQueue(nullptr, &options);
    if (queue == nullptr) {
        char line[64];
        std::snprintf(line, sizeof line, "CreateMsgQueue failed: %x\r\n", os::GetLastError());
        os::OutputDebugStringW(line);
        return 0;
    }
    app->powerQueue = queue;
    os::HANDLE notifications = os::RequestPowerNotifications(queue, 11);
    if (notifications == nullptr) {
        char line[64];
        std::snprintf(line, sizeof line, "RequestPowerNotifications failed: %x\r\n", os::GetLastError());
        os::OutputDebugStringW(line);
        return 0;
    }
    // The battery as the run found it, before its first change.
    app->batteryLevel.store(ReadBatteryLevel(0));
    // The queue is closed by the destroy sequence: the wait then fails.
    while (os::WaitForSingleObject(queue, os::INFINITE) == os::WAIT_OBJECT_0) {
        os::BYTE buffer[kPowerMessageSize];
        os::DWORD size = 0;
        os::DWORD flags = 0;
        while (os::ReadMsgQueue(queue, buffer, sizeof buffer, &size, 0, &flags)) {
            os::POWER_BROADCAST message;
            std::memcpy(&message, buffer, std::min<std::size_t>(size, sizeof message));
            HandlePowerMessage(hwnd, message, size);
            os::Sleep(0);
        }
    }
    os::StopPowerNotifications(notifications);
    os::Trace("Exit PowerNotificationThread");
    return 0;
}

os::DWORD StorageMaintenanceThread(void* param)
{
    auto hwnd = static_cast<os::HWND>(param);
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app == nullptr) return 0;
    WorkerThread& self = app->storageThread;
    const os::HANDLE events[] = {self.stopEvent, self.workEvent};
    while (!self.stop) {
        const os::DWORD r = os::WaitForMultipleObjects(2, events, os::FALSE, os::INFINITE);
        if (r != os::WAIT_OBJECT_0 + 1 || self.stop) break;
        StorageMaintenanceWork(hwnd);
    }
    return 0;
}

}  // namespace

bool StartWorker(WorkerThread* worker, os::LPTHREAD_START_ROUTINE body, void* arg, int priority, bool withEvents,
                 const char* name)
{
    if (withEvents) {
        worker->stopEvent = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
        worker->workEvent = os::CreateEventW(nullptr, os::FALSE, os::FALSE, nullptr);
    }
    worker->stop = false;
    worker->thread = os::CreateThread(nullptr, 0, body, arg, os::CREATE_SUSPENDED, nullptr);
    if (worker->thread == nullptr) return false;
    os::SetThreadDescription(worker->thread, name);
    if (priority >= 0) os::SetThreadPriority(worker->thread, priority);
    os::ResumeThread(worker->thread);
    worker->running = true;
    return true;
}

bool StopWorker(WorkerThread* worker, os::DWORD timeoutMs)
{
    bool ended = true;
    if (worker->thread != nullptr) {
        os::ResumeThread(worker->thread);  // a suspended thread cannot see its stop flag
        worker->stop = true;
        if (worker->stopEvent != nullptr) os::SetEvent(worker->stopEvent);
        ended = os::WaitForSingleObject(worker->thread, timeoutMs) == os::WAIT_OBJECT_0;
        if (!ended) os::TerminateThread(worker->thread, 0);
        os::CloseHandle(worker->thread);
        worker->thread = nullptr;
    }
    worker->running = false;
    if (worker->stopEvent != nullptr) os::CloseHandle(worker->stopEvent);
    if (worker->workEvent != nullptr) os::CloseHandle(worker->workEvent);
    worker->stopEvent = worker->workEvent = nullptr;
    return ended;
}

void StartRotationWatchThread()
{
    StartWorker(&g_rotationWatch, RotationWatchThread, nullptr, -1, false, "rotation-watch");
}

bool StopRotationWatchThread()
{
    return StopWorker(&g_rotationWatch, kStopTimeoutMs);
}

void StartPowerNotificationThread(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    app->powerThread.thread = os::CreateThread(nullptr, 0, PowerNotificationThread, hwnd, 0, nullptr);
    if (app->powerThread.thread != nullptr) os::SetThreadDescription(app->powerThread.thread, "power");
}

void StopPowerNotificationThread(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    if (app->powerQueue != nullptr) os::CloseMsgQueue(app->powerQueue);
    app->powerQueue = nullptr;
    if (app->powerThread.thread == nullptr) return;
    if (os::WaitForSingleObject(app->powerThread.thread, kPowerThreadTimeoutMs) != os::WAIT_OBJECT_0) {
        os::TerminateThread(app->powerThread.thread, 0);
    }
    os::CloseHandle(app->powerThread.thread);
    app->powerThread.thread = nullptr;
}

void StartStorageMaintenanceThread(os::HWND hwnd)
{
    EventRecorderApp* app = AppFromWindow(hwnd);
    StartWorker(&app->storageThread, StorageMaintenanceThread, hwnd, os::THREAD_PRIORITY_LOWEST, true, "storage");
}

bool StopStorageMaintenanceThread(os::HWND hwnd)
{
    return StopWorker(&AppFromWindow(hwnd)->storageThread, kStopTimeoutMs);
}
