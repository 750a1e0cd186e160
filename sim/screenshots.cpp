#include "sim/screenshots.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <mutex>

#include "platform/base/host_problem.h"
#include "platform/base/trace.h"
#include "platform/graphics/graphics_sim.h"
#include "platform/kernel/clock.h"
#include "platform/kernel/sync.h"

namespace sim {

namespace {

std::mutex g_screenshotMutex;
std::string g_screenshotFolder;
std::vector<std::string> g_screenshots;

struct Periodic {
    std::int64_t periodMs = 0;
    os::HANDLE stop = nullptr;
    os::HANDLE thread = nullptr;
};

Periodic* g_periodic = nullptr;

// Each multiple of the period once; one that a slow save (on the real
// clock) let pass is skipped rather than taken late.
os::DWORD PeriodicThread(void* param)
{
    auto* p = static_cast<Periodic*>(param);
    std::int64_t nextMs = p->periodMs;
    for (;;) {
        const std::int64_t nowMs = os::DeviceTimeUs() / 1000;
        if (nextMs < nowMs) nextMs += (nowMs - nextMs + p->periodMs - 1) / p->periodMs * p->periodMs;
        const auto wait = static_cast<os::DWORD>(std::clamp<std::int64_t>(nextMs - nowMs, 0, 0xFFFFFFFE));
        if (os::WaitForSingleObject(p->stop, wait) != os::WAIT_TIMEOUT) return 0;
        SaveScreenshot(PeriodicScreenshotName(nextMs * 1000));
        nextMs += p->periodMs;
    }
}

}  // namespace

void SetScreenshotFolder(const std::string& hostFolder)
{
    std::lock_guard lock(g_screenshotMutex);
    g_screenshotFolder = hostFolder;
    g_screenshots.clear();
}

bool SaveScreenshot(const std::string& name)
{
    std::lock_guard lock(g_screenshotMutex);
    if (g_screenshotFolder.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(g_screenshotFolder, ec);
    const std::string path = g_screenshotFolder + "/" + name;
    std::string error;
    if (ec || !os::sim::SaveScreenPng(path, &error)) {
        const std::string why = ec ? "cannot make " + g_screenshotFolder + ": " + ec.message() : error;
        os::PlatformLog("screenshot %s not written: %s", path.c_str(), why.c_str());
        os::sim::ReportHostProblem("screenshot", "screenshot " + path + " not written: " + why);
        return false;
    }
    g_screenshots.push_back(path);
    // The live drawing objects beside each picture: a run's trace shows whether they pile up.
    os::PlatformLog("screenshot %s: %d drawing objects", name.c_str(), os::sim::GdiObjectCount());
    return true;
}

std::vector<std::string> ScreenshotsWritten()
{
    std::lock_guard lock(g_screenshotMutex);
    return g_screenshots;
}

std::string PeriodicScreenshotName(std::int64_t deviceUs)
{
    const std::int64_t ms = deviceUs / 1000;
    char name[64];
    std::snprintf(name, sizeof name, "screen-%02lld-%02lld-%02lld.%03lld.png", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return name;
}

bool StartPeriodicScreenshots(std::int64_t periodMs)
{
    if (periodMs <= 0 || g_periodic != nullptr) return false;
    auto* p = new Periodic{periodMs};
    p->stop = os::CreateEventW(nullptr, os::TRUE, os::FALSE, nullptr);
    if (p->stop != nullptr) p->thread = os::CreateThread(nullptr, 0, PeriodicThread, p, 0, nullptr);
    if (p->thread == nullptr) {
        if (p->stop != nullptr) os::CloseHandle(p->stop);
        delete p;
        return false;
    }
    os::SetThreadDescription(p->thread, "screenshots");
    g_periodic = p;
    return true;
}

void StopPeriodicScreenshots()
{
    if (g_periodic == nullptr) return;
    os::SetEvent(g_periodic->stop);
    os::WaitForSingleObject(g_periodic->thread, os::INFINITE);
    os::CloseHandle(g_periodic->thread);
    os::CloseHandle(g_periodic->stop);
    delete g_periodic;
    g_periodic = nullptr;
}

}  // namespace sim
