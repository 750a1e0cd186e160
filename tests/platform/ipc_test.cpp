// What another process may do to this one through the listener's socket,
// spoken to directly as a hostile or unlucky peer would.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ipc/internal/ipc_protocol.h"
#include "platform/ipc/ipc.h"
#include "platform/windows/window.h"
#include "tests/support/ipc_peer.h"
#include "tests/support/platform_fixture.h"
#include "tests/support/program_runner.h"
#include "tests/support/temp_folder.h"

namespace {

using testing_support::Address;
using testing_support::Ask;
using testing_support::Connect;
using testing_support::TempFolder;

constexpr os::UINT kSmsPopup = 10539;
constexpr uid_t kNobody = 65534;

int g_handled = 0;

os::LRESULT CountingProc(os::HWND hwnd, os::UINT msg, os::WPARAM wParam, os::LPARAM lParam)
{
    if (msg == kSmsPopup) ++g_handled;
    return os::DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A listener of this process on a fresh device root, with one top-level
// window "Ardvane" that has a child.
class IpcListener : public testing_support::RealTimePlatformTest {
protected:
    void SetUp() override
    {
        RealTimePlatformTest::SetUp();
        g_handled = 0;
        os::sim::SetIpcRoot(root_.Path());
        os::sim::SetIpcAcceptedMessages({kSmsPopup, os::WM_CLOSE});
        std::string error;
        ASSERT_TRUE(os::sim::StartIpcListener(&error)) << error;
        socketName_ = testing_support::PublishedSocket(root_.Path(), ::getpid());
        os::WNDCLASSW wc;
        wc.lpfnWndProc = CountingProc;
        wc.lpszClassName = "IpcTestWindow";
        os::RegisterClassW(&wc);
        main_ = os::CreateWindowExW(0, "IpcTestWindow", "Ardvane", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        child_ = os::CreateWindowExW(0, "IpcTestWindow", "child", os::WS_CHILD, 0, 0, 5, 5, main_, nullptr, nullptr,
                                     nullptr);
    }
    void TearDown() override
    {
        os::sim::StopIpcListener();
        RealTimePlatformTest::TearDown();
    }
    std::string MessageLine(const char* kind, os::HWND hwnd, os::UINT msg, std::int64_t wParam, std::int64_t lParam)
    {
        return std::string(kind) + " " + std::to_string(reinterpret_cast<std::uintptr_t>(hwnd)) + " " +
               std::to_string(msg) + " " + std::to_string(wParam) + " " + std::to_string(lParam);
    }
    // Every message posted to this thread's windows so far.
    std::vector<os::MSG> Posted()
    {
        std::vector<os::MSG> posted;
        os::MSG msg;
        while (os::PeekMessageW(&msg, nullptr, 0, 0, os::PM_REMOVE)) posted.push_back(msg);
        return posted;
    }

    TempFolder root_;
    std::string socketName_;
    os::HWND main_ = nullptr;
    os::HWND child_ = nullptr;
};

TEST_F(IpcListener, TakesOnlyTheAcceptedMessagesAndOnlyForItsOwnTopLevelWindows)
{
    ASSERT_FALSE(socketName_.empty());
    EXPECT_EQ(Ask(socketName_, "FIND - 41726476616e65"), "WND " + std::to_string(reinterpret_cast<std::uintptr_t>(main_)));
    EXPECT_EQ(Ask(socketName_, "FIND - 6368696c64"), "NONE") << "a child window is not found";
    EXPECT_EQ(Ask(socketName_, MessageLine("POST", main_, kSmsPopup, 1, -5)), "OK");

    // Messages whose parameters are pointers (or handles) in the window
    // layer: from another process they would point into nothing.
    const os::UINT withPointers[] = {os::WM_CREATE, 0x000C /* WM_SETTEXT */, 0x000D /* WM_GETTEXT */,
                                     os::WM_ACTIVATE, os::WM_SETTINGCHANGE, 0x004A /* WM_COPYDATA */,
                                     0x004E /* WM_NOTIFY */, os::WM_HELP, os::WM_INITDIALOG, os::WM_TIMER,
                                     os::WM_DEVICECHANGE, 0x0081 /* WM_NCCREATE */, 10338, 10435};
    for (const os::UINT msg : withPointers) {
        for (const char* kind : {"POST", "SEND"}) {
            EXPECT_EQ(Ask(socketName_, MessageLine(kind, main_, msg, 4096, 4096)), "ERR refused") << kind << " " << msg;
        }
    }
    EXPECT_EQ(Ask(socketName_, MessageLine("POST", child_, kSmsPopup, 1, 0)), "ERR window");
    EXPECT_EQ(Ask(socketName_, MessageLine("POST", nullptr, kSmsPopup, 1, 0)), "ERR window");
    EXPECT_EQ(Ask(socketName_, "POST 1 2"), "ERR malformed");

    const std::vector<os::MSG> posted = Posted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].hwnd, main_);
    EXPECT_EQ(posted[0].message, kSmsPopup);
    EXPECT_EQ(posted[0].lParam, -5);
    EXPECT_EQ(g_handled, 0) << "nothing was sent";
}

// A handle that stands for a window of a third process is never passed on:
// the third process here is a child that answers every FIND and records
// every message it gets.
TEST_F(IpcListener, NeverPassesAMessageOnToAThirdProcess)
{
    int record[2];
    ASSERT_EQ(::pipe(record), 0);
    const std::string thirdName = "kestrava-test-third-" + std::to_string(::getpid());
    socklen_t length = 0;
    const sockaddr_un addr = Address(thirdName, &length);
    const int listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(listenFd, reinterpret_cast<const sockaddr*>(&addr), length), 0);
    ASSERT_EQ(::listen(listenFd, 4), 0);
    const pid_t third = ::fork();
    if (third == 0) {
        for (;;) {
            const int fd = ::accept(listenFd, nullptr, nullptr);
            char line[700];
            const ssize_t n = ::read(fd, line, sizeof line);
            if (n > 0 && std::strncmp(line, "FIND", 4) == 0) {
                (void)!::write(fd, "WND 5\n", 6);
            } else if (n > 0) {
                (void)!::write(record[1], line, static_cast<std::size_t>(n));
                (void)!::write(fd, "OK\n", 3);
            }
            ::close(fd);
        }
    }
    ::close(listenFd);
    ::close(record[1]);
    ASSERT_GT(third, 0);
    TempFolder otherRoot;
    std::filesystem::create_directories(otherRoot / ".ipc");
    std::ofstream(otherRoot / (".ipc/" + std::to_string(third))) << thirdName;
    os::sim::SetIpcRoot(otherRoot.Path());
    const os::HWND thirds = os::FindWindowW(nullptr, "Third");
    ASSERT_NE(thirds, nullptr);

    EXPECT_EQ(Ask(socketName_, MessageLine("POST", thirds, kSmsPopup, 1, 0)), "ERR refused");
    EXPECT_EQ(Ask(socketName_, MessageLine("SEND", thirds, os::WM_CLOSE, 0, 0)), "ERR refused");
    // The third process does get what this one posts to it itself.
    EXPECT_TRUE(os::PostMessageW(thirds, kSmsPopup, 0, 0));
    ::kill(third, SIGKILL);
    ::waitpid(third, nullptr, 0);
    char got[700] = {};
    const ssize_t n = ::read(record[0], got, sizeof got - 1);
    ::close(record[0]);
    EXPECT_EQ(std::string(got, n > 0 ? static_cast<std::size_t>(n) : 0), "POST 5 10539 0 0\n");
}

TEST_F(IpcListener, RefusesAnotherUser)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a peer as another user";
    int answer[2];
    ASSERT_EQ(::pipe(answer), 0);
    const std::string line = MessageLine("POST", main_, kSmsPopup, 1, 0) + "\n";
    socklen_t length = 0;
    const sockaddr_un addr = Address(socketName_, &length);
    const pid_t other = ::fork();
    if (other == 0) {
        ::close(answer[0]);
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), length) != 0) ::_exit(3);
        // The listener may have answered and closed already.
        (void)!::send(fd, line.data(), line.size(), MSG_NOSIGNAL);
        char reply[64];
        const ssize_t n = ::read(fd, reply, sizeof reply);
        if (n > 0) (void)!::write(answer[1], reply, static_cast<std::size_t>(n));
        ::_exit(0);
    }
    ::close(answer[1]);
    ASSERT_GT(other, 0);
    int status = 0;
    ::waitpid(other, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other user's peer could not run: " << status;
    char reply[64] = {};
    const ssize_t n = ::read(answer[0], reply, sizeof reply - 1);
    ::close(answer[0]);
    EXPECT_EQ(std::string(reply, n > 0 ? static_cast<std::size_t>(n) : 0), "ERR user\n");
    EXPECT_TRUE(Posted().empty());
}

// The sender's side of the same rule: a process of another user is not
// asked, and a FIND that found only such a process says so.
TEST_F(IpcListener, DoesNotAskAnotherUsersProcess)
{
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a listener as another user";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const std::string otherName = "kestrava-test-other-" + std::to_string(::getpid());
    socklen_t length = 0;
    const sockaddr_un addr = Address(otherName, &length);
    const pid_t other = ::fork();
    if (other == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(2);
        const int listenFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::bind(listenFd, reinterpret_cast<const sockaddr*>(&addr), length) != 0 || ::listen(listenFd, 4) != 0) {
            ::_exit(3);
        }
        (void)!::write(ready[1], "L", 1);
        for (;;) {
            const int fd = ::accept(listenFd, nullptr, nullptr);
            (void)!::write(fd, "WND 5\n", 6);
            ::close(fd);
        }
    }
    ::close(ready[1]);
    ASSERT_GT(other, 0);
    char c = 0;
    const bool listening = ::read(ready[0], &c, 1) == 1;
    ::close(ready[0]);
    TempFolder otherRoot;
    std::filesystem::create_directories(otherRoot / ".ipc");
    std::ofstream(otherRoot / (".ipc/" + std::to_string(other))) << otherName;
    os::sim::SetIpcRoot(otherRoot.Path());
    const os::HWND found = listening ? os::FindWindowW(nullptr, "Other") : nullptr;
    const os::DWORD error = os::GetLastError();
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    ASSERT_TRUE(listening) << "the other user's listener could not start";
    EXPECT_EQ(found, nullptr);
    EXPECT_EQ(error, static_cast<os::DWORD>(os::ERROR_ACCESS_DENIED));
}

// A message sent from another process to a thread that does not take its
// messages: the receiver takes it back and answers within its time-out,
// before the sender gives up, so the sender learns why.
TEST_F(IpcListener, ASendNobodyHandlesIsTakenBackWithATimeOut)
{
    EXPECT_EQ(Ask(socketName_, MessageLine("SEND", main_, kSmsPopup, 1, 0)), "ERR timeout");
    EXPECT_TRUE(Posted().empty());
    EXPECT_EQ(g_handled, 0) << "taken back, never handled";
}

TEST_F(IpcListener, IdlePeersHoldUpNoOneAndTooManyMakeItBusy)
{
    std::vector<int> idle;
    for (int i = 0; i < os::detail::kIpcMaxPeers - 1; ++i) idle.push_back(Connect(socketName_));
    EXPECT_EQ(Ask(socketName_, MessageLine("POST", main_, kSmsPopup, 1, 0)), "OK");
    // The last free place is taken by the next idle peer (the listener takes
    // connections in the order they came).
    idle.push_back(Connect(socketName_));
    EXPECT_EQ(Ask(socketName_, MessageLine("POST", main_, kSmsPopup, 2, 0)), "ERR busy");
    for (const int fd : idle) ::close(fd);
    // The places come free as the listener sees the peers gone.
    std::string answer;
    for (int i = 0; i < 100 && answer != "OK"; ++i) {
        answer = Ask(socketName_, MessageLine("POST", main_, kSmsPopup, 3, 0));
        if (answer != "OK") os::Sleep(20);
    }
    EXPECT_EQ(answer, "OK");
    const std::vector<os::MSG> posted = Posted();
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].wParam, 1u);
    EXPECT_EQ(posted[1].wParam, 3u);
}

}  // namespace
