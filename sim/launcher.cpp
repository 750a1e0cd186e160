#include "sim/launcher.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "app/messages.h"
#include "app/winmain.h"
#include "platform/kernel/clock.h"
#include "platform/devices/device.h"
#include "platform/files/file_sim.h"
#include "platform/ipc/ipc.h"
#include "platform/devices/power.h"
#include "platform/phone/phone_sim.h"
#include "platform/sound/sound.h"
#include "platform/base/host_console.h"
#include "platform/base/host_problem.h"
#include "platform/base/platform.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_sim.h"
#include "platform/base/trace.h"
#include "platform/windows/message_box.h"
#include "platform/windows/window.h"
#include "recorder/recording_log.h"
#include "sim/accelerometer_setup.h"
#include "sim/camera_setup.h"
#include "sim/gps_setup.h"
#include "sim/options.h"
#include "sim/phone_window.h"
#include "sim/profile.h"
#include "sim/run_summary.h"
#include "sim/scenario.h"
#include "sim/scenario_runner.h"
#include "sim/screenshots.h"
#include "sim/status_line.h"

namespace sim {

namespace {

constexpr int kFailure = 1;

// The host folder of this executable: the program's own folder on the device.
std::string ExecutableFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "kestrava: %s\n", message.c_str());
    return kFailure;
}

// What other processes may send the running program: its external
// interface, the activation a second launch sends, and the commands and
// close of `--post`. All of them carry plain numbers.
const std::vector<os::UINT> kMessagesFromOtherProcesses = {
    WM_RECORDER_GPS_PORT_CLOSE, WM_RECORDER_GPS_PORT_OPEN, WM_RECORDER_SMS_POPUP, WM_RECORDER_ACTIVATE,
    os::WM_COMMAND,             os::WM_CLOSE};

std::string NotFoundText(os::DWORD error, const std::string& root)
{
    if (error == os::ERROR_BUSY) return "the running instance on the device root " + root + " is busy; try again";
    if (error == os::ERROR_ACCESS_DENIED) return "the instance running on the device root " + root + " is another user's";
    return "no running instance on the device root " + root;
}

std::string NotPostedText(os::DWORD error, os::UINT msg)
{
    switch (error) {
    case os::ERROR_ACCESS_DENIED:
        return "the running instance refuses message " + std::to_string(msg) +
               " from other processes; it takes 10436, 10437, 10523, 10539, WM_COMMAND and WM_CLOSE";
    case os::ERROR_BUSY: return "the running instance is busy; try again";
    case os::ERROR_TIMEOUT: return "the running instance did not answer in time";
    default: return "the running instance did not take the message";
    }
}

int PostToRunningInstance(const Options& options)
{
    os::sim::StartPlatform(os::ClockConfig{});
    os::sim::SetIpcRoot(std::filesystem::absolute(options.root).lexically_normal().string());
    os::HWND hwnd = os::FindWindowW(nullptr, kAppTitle);
    int code = 0;
    if (hwnd == nullptr) {
        code = Fail(NotFoundText(os::GetLastError(), options.root));
    } else if (!os::PostMessageW(hwnd, options.post.msg, options.post.wParam, options.post.lParam)) {
        code = Fail(NotPostedText(os::GetLastError(), options.post.msg));
    }
    os::sim::StopPlatform();
    return code;
}

bool LoadInputs(const Options& options, DeviceProfile* profile, Scenario* scenario, std::string* error)
{
    *profile = DefaultProfile();
    // The built-in scenario's end at one minute is the default length of a run; --for sets another.
    *scenario = options.runForMs ? Scenario{} : DefaultScenario();
    if (!options.profilePath.empty() && !LoadProfile(options.profilePath, profile, error)) return false;
    if (!options.scenarioPath.empty() && !LoadScenario(options.scenarioPath, scenario, error)) return false;
    const std::string scenarioName = options.scenarioPath.empty() ? "built-in scenario" : options.scenarioPath;
    return CheckScenarioVolumes(*scenario, *profile, scenarioName, error);
}

// The device root and the volumes' own host folders, made here so that a
// refusal carries the system's reason ("Not a directory", "File name too long").
bool MakeHostFolder(const std::string& what, const std::string& folder, std::string* error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!ec && !std::filesystem::is_directory(folder, ec) && !ec) ec = std::make_error_code(std::errc::not_a_directory);
    if (!ec) return true;
    *error = "cannot make the " + what + " " + folder + ": " + ec.message();
    return false;
}

// The cards' files are laid out only for a run of its own: an instance that
// hands over to a running one leaves the running one's cards alone.
bool ConfigureFiles(const DeviceProfile& profile, const std::string& root, bool layOutFiles, std::string* error)
{
    if (!MakeHostFolder("device root", root, error)) return false;
    os::sim::FileSystemConfig fs;
    fs.deviceRoot = root;
    fs.programHostFolder = ExecutableFolder();
    // The system sounds made with the build; a program installed without
    // them runs on a handset that has none.
    const std::string sounds = ExecutableFolder() + "/sounds";
    std::error_code missing;
    if (profile.sounds && std::filesystem::is_directory(sounds, missing)) fs.windowsHostFolder = sounds;
    for (const Volume& v : profile.volumes) {
        if (!v.hostFolder.empty() && !MakeHostFolder("host folder of volume " + v.name, v.hostFolder, error)) {
            return false;
        }
        fs.volumes.push_back(ToVolumeConfig(v));
        if (!layOutFiles) fs.volumes.back().files.clear();
    }
    return os::sim::ConfigureFileSystem(fs, error);
}

// An instance too busy to answer counts as running.
bool InstanceRunning()
{
    os::SetLastError(os::ERROR_SUCCESS);
    return os::FindWindowW(nullptr, kAppTitle) != nullptr || os::GetLastError() == os::ERROR_BUSY;
}

// The handset as the profile describes it: model, memory, screen, and the
// orientation settings the program finds at start.
bool ConfigureHandset(const DeviceProfile& profile, bool handsOver, std::string* error)
{
    os::sim::DeviceProfile device;
    device.oemInfo = profile.model;
    device.manufacturer = profile.manufacturer;
    device.availablePhysicalMemory = static_cast<os::DWORD>(profile.freeMemoryBytes);
    device.totalPhysicalMemory = static_cast<os::DWORD>(profile.totalMemoryBytes);
    const ScreenSize natural = ScreenSizeAt(profile, kRotation0);
    device.screenWidth = natural.width;
    device.screenHeight = natural.height;
    device.orientation = static_cast<os::DWORD>(profile.rotation);
    if (!os::sim::ConfigureDevice(device)) {
        *error = "the device profile's screen or memory is not usable";
        return false;
    }
    if (handsOver) return true;
    os::HKEY key = nullptr;
    if (os::RegCreateKeyExW(os::HKEY_CURRENT_USER, "\\ControlPanel\\MotionSensor", 0, nullptr, 0, 0, nullptr, &key,
                            nullptr) != os::ERROR_SUCCESS) {
        *error = "cannot write the orientation settings to the registry";
        return false;
    }
    os::RegSetDword(key, "AutoOrientation", static_cast<os::DWORD>(profile.autoOrientation));
    os::RegCloseKey(key);
    return true;
}

// Message box texts on one line, as the trace shows them.
std::string OneLine(const std::string& text)
{
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            line += "\\n";
        } else if (c != '\r') {
            line += c;
        }
    }
    return line;
}

// Why the program's run ended: the end of the run, its window closed, or the
// program on its own (its exit, a second instance that handed over, or a
// failed start whose last message box says why).
std::string EndOfRun(bool endPosted, bool windowClosed)
{
    if (endPosted) return "ended at the end of the run";
    if (windowClosed) return "ended when its window was closed";
    std::string why = "the program ended by itself at " + os::FormatDeviceTime(os::DeviceTimeUs());
    const auto boxes = os::sim::MessageBoxHistory();
    if (!boxes.empty()) why += ", after its message box \"" + OneLine(boxes.back().text) + "\"";
    return why;
}

void PrintSummary(const std::string& root, os::ClockMode mode, double wallSeconds, const std::string& endOfRun)
{
    std::printf("kestrava: ran %s of device time on the %s clock in %.2f s; %s\n",
                os::FormatDeviceTime(os::DeviceTimeUs()).c_str(), mode == os::ClockMode::Virtual ? "virtual" : "real",
                wallSeconds, endOfRun.c_str());
    std::printf("kestrava: device root %s (registry: %s/registry.json)\n", root.c_str(), root.c_str());
    std::fputs(WrittenFilesText(RecordingLog_Snapshot(), os::sim::FilesWritten()).c_str(), stdout);
    std::fputs(ScreenshotsText(ScreenshotsWritten()).c_str(), stdout);
    for (const std::string& problem : os::sim::HostProblems()) {
        std::printf("kestrava: host problem: %s\n", problem.c_str());
    }
}

// What a power cut needs to end the run: it comes on the scenario's thread
// while the program runs, and nothing of the program runs after it.
struct PowerCutRun {
    std::string root;
    os::ClockMode clock = os::ClockMode::Real;
    double wallStart = 0;
    os::sim::LostWrites lost = os::sim::LostWrites::Dropped;
};
PowerCutRun g_powerCutRun;

// The cards keep what was durable; the process ends without its destroy
// sequence, as a phone whose battery falls out.
void EndRunByPowerCut()
{
    const std::string when = os::FormatDeviceTime(os::DeviceTimeUs());
    os::sim::CutPower(g_powerCutRun.lost);
    os::CloseTraceFile();
    PrintSummary(g_powerCutRun.root, g_powerCutRun.clock, os::sim::WallSeconds() - g_powerCutRun.wallStart,
                 "the power was cut at " + when);
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

// The screenshot folder an option names is made before the run, so that a
// folder the host refuses stops the run before anything is lost.
bool SetUpScreenshots(const Options& options, const std::string& root, std::string* error)
{
    const std::string folder = options.screenshotFolder.empty()
                                   ? root + "/screenshots"
                                   : std::filesystem::absolute(options.screenshotFolder).lexically_normal().string();
    if ((options.screenshotEveryMs || !options.screenshotFolder.empty()) &&
        !MakeHostFolder("screenshot folder", folder, error)) {
        return false;
    }
    SetScreenshotFolder(folder);
    return true;
}

int RunPhone(const Options& options)
{
    DeviceProfile profile;
    Scenario scenario;
    std::string error;
    if (!LoadInputs(options, &profile, &scenario, &error)) return Fail(error);
    const std::string root = std::filesystem::absolute(options.root).lexically_normal().string();

    os::ClockConfig clock;
    clock.mode = options.clock;
    if (profile.startTime) clock.start = ToSystemTime(*profile.startTime);
    os::sim::StartPlatform(clock);
    if (!options.tracePath.empty() && !os::TraceToFile(options.tracePath, &error)) {
        os::sim::StopPlatform();
        return Fail(error);
    }
    // Without a display nothing of the phone is set up.
    const ScreenSize screen = ScreenSizeAt(profile, profile.rotation);
    if (options.window && !OpenPhoneWindow(screen.width, screen.height, &error)) {
        os::CloseTraceFile();
        os::sim::StopPlatform();
        return Fail("--window: " + error);
    }
    // Other instances on the root are looked for before the phone is set up.
    os::sim::SetIpcRoot(root);
    if (!SetUpScreenshots(options, root, &error) || !PreparePhone(profile, root, &error)) {
        ClosePhoneWindow();
        os::CloseTraceFile();
        os::sim::StopPlatform();
        return Fail(error);
    }
    os::sim::SetIpcAcceptedMessages(kMessagesFromOtherProcesses);
    if (!os::sim::StartIpcListener(&error)) std::fprintf(stderr, "kestrava: %s\n", error.c_str());

    const double wallStart = os::sim::WallSeconds();
    g_powerCutRun = PowerCutRun{root, options.clock, wallStart, profile.lostWrites};
    SetPowerCutHandler(EndRunByPowerCut);
    int code = kFailure;
    std::string endOfRun = "the scenario did not start";
    if (StartScenarioRunner(scenario, options.runForMs, options.powerCutAtMs) &&
        (!options.screenshotEveryMs || StartPeriodicScreenshots(*options.screenshotEveryMs))) {
        // Only a person at a terminal reads a line rewritten in place.
        StatusLine* status = os::sim::StdoutIsTerminal() ? StartStatusLine() : nullptr;
        code = WinMain(nullptr, "", 1);
        endOfRun = EndOfRun(ScenarioEndPosted(), PhoneWindowClosed());
        ClosePhoneWindow();
        StopPeriodicScreenshots();
        StopStatusLine(status);
        StopScenarioRunner();
        DisconnectGps();
    } else {
        std::fprintf(stderr, "kestrava: cannot start the scenario or the screenshots\n");
        StopScenarioRunner();
        ClosePhoneWindow();
    }
    const double wall = os::sim::WallSeconds() - wallStart;
    os::sim::StopIpcListener();
    os::sim::CloseRegistry();
    os::CloseTraceFile();
    if (!options.soundLogPath.empty() && !os::sim::WriteSoundLog(options.soundLogPath, &error)) {
        std::fprintf(stderr, "kestrava: %s\n", error.c_str());
        if (code == 0) code = kFailure;
    }
    PrintSummary(root, options.clock, wall, endOfRun);
    os::sim::StopPlatform();
    // A run whose trace or settings the host refused did not do what was asked.
    if (code == 0 && !os::sim::HostProblems().empty()) code = kFailure;
    return code;
}

}  // namespace

bool PreparePhone(const DeviceProfile& profile, const std::string& root, std::string* error)
{
    // A second instance only hands over to the running one, which owns the
    // settings, the cards and the accelerometer's read log: it changes none of them.
    const bool handsOver = InstanceRunning();
    // The file system makes the device root; the registry file lives in it.
    if (!ConfigureFiles(profile, root, !handsOver, error)) return false;
    os::sim::PhoneConfig phone;
    phone.line = profile.phone.line;
    phone.number = profile.phone.number;
    phone.smsFails = profile.phone.smsFails;
    phone.outboxPath = root + "/sms_outbox.jsonl";
    os::sim::ConfigurePhone(phone);
    // Before the program listens: the change only sets the status it reads.
    os::sim::SetPowerInfo(profile.battery.ac, profile.battery.percent);
    const auto registry = os::sim::OpenRegistry(root, error);
    if (registry == os::sim::RegistryOpenResult::Failed) return false;
    if (registry == os::sim::RegistryOpenResult::Recovered) std::fprintf(stderr, "kestrava: %s\n", error->c_str());
    return ConfigureHandset(profile, handsOver, error) && ConnectCamera(profile, error) && ConnectGps(profile, error) &&
           (handsOver || ConnectAccelerometer(profile, error));
}

int RunLauncher(int argc, const char* const argv[])
{
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, &options, &error)) {
        std::fprintf(stderr, "%s\n%s", error.c_str(), UsageText().c_str());
        return kUsageExitCode;
    }
    switch (options.action) {
    case Action::Help: std::fputs(UsageText().c_str(), stdout); return 0;
    case Action::Version: std::fputs(VersionText().c_str(), stdout); return 0;
    case Action::Post: return PostToRunningInstance(options);
    case Action::Run: break;
    }
    return RunPhone(options);
}

}  // namespace sim
