#include "platform/base/platform.h"

#include "platform/base/internal/fresh_start.h"
#include "platform/base/trace.h"
#include "platform/devices/power.h"
#include "platform/ipc/ipc.h"
#include "platform/kernel/internal/handle_table.h"
#include "platform/kernel/internal/kernel_object.h"
#include "platform/registry/registry_sim.h"
#include "platform/shell/shell.h"
#include "platform/windows/internal/window_manager.h"
#include "platform/windows/message_box.h"

namespace os::sim {

namespace {

std::shared_ptr<detail::ThreadRec> g_mainThread;

// Every stand-in back to a fresh boot; the handle values last, once no module
// has one left to give back.
void ResetStandIns()
{
    ClearMessageBoxAnswers();
    ClearMessageBoxHistory();
    detail::ResetDialogs();
    detail::ResetAccelerators();
    detail::ResetMessageQueues();
    ResetPower();
    detail::ResetCommPorts();
    detail::ResetDevice();
    detail::ResetDisplay();
    detail::ResetGpsDriver();
    detail::ResetDeviceHandles();
    detail::ResetAccelerometer();
    detail::ResetFileSystem();
    CloseRegistry();
    ResetShell();
    detail::ResetIcons();
    detail::ResetGraphics();
    detail::ResetLibraries();
    SetIpcRoot("");
    detail::ResetCom();
    detail::ResetMediaSim();
    detail::ResetCameraSdk();
    detail::ResetVideoCodec();
    detail::ResetPhysMem();
    detail::ResetSound();
    detail::ResetPhone();
    detail::ResetThreadIds();
    {
        std::lock_guard<std::mutex> lk(detail::Sched().mu);
        detail::WM() = detail::WindowManager{};
        detail::ResetKernelObjects();
    }
    detail::ResetHandleValues();
}

}  // namespace

void StartPlatform(const ClockConfig& clock)
{
    ResetStandIns();
    g_mainThread = std::make_shared<detail::ThreadRec>();
    g_mainThread->id = 1;
    g_mainThread->name = "main";
    g_mainThread->object = std::make_shared<detail::ThreadObject>();
    g_mainThread->object->rec = g_mainThread;
    detail::SetSelf(g_mainThread.get());
    detail::Sched().Start(clock, g_mainThread);
}

void StopPlatform()
{
    std::size_t others = 0;
    {
        std::lock_guard<std::mutex> lk(detail::Sched().mu);
        for (const auto& t : detail::Sched().Threads()) {
            if (t != g_mainThread) ++others;
        }
        detail::WM() = detail::WindowManager{};
    }
    if (others > 0) PlatformLog("platform stopped with %zu thread(s) still running", others);
    detail::Sched().Stop();
    detail::SetSelf(nullptr);
}

void SetStallHandler(detail::StallHandler handler)
{
    detail::Sched().SetStallHandler(std::move(handler));
}

}  // namespace os::sim
