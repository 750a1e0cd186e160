#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/base/host_console.h"
#include "platform/kernel/clock.h"
#include "tests/support/platform_fixture.h"

namespace {

// StdoutIsTerminal with standard output on `fd` for the call.
bool TerminalWithStdoutOn(int fd)
{
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(fd, STDOUT_FILENO);
    const bool terminal = os::sim::StdoutIsTerminal();
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    return terminal;
}

TEST(HostConsole, StdoutIsATerminalOnlyWhenItIsOne)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    EXPECT_FALSE(TerminalWithStdoutOn(pipeFds[1]));
    for (int fd : pipeFds) ::close(fd);
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) GTEST_SKIP() << "no pseudo-terminal here";
    const int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    EXPECT_TRUE(TerminalWithStdoutOn(slave));
    ::close(slave);
    ::close(master);
}

class HostConsoleClock : public testing_support::PlatformTest {};

TEST_F(HostConsoleClock, WallTimeFollowsTheHostNotTheDeviceClock)
{
    const double start = os::sim::WallSeconds();
    os::Sleep(3'600'000);  // an hour of virtual time passes at once
    double now = os::sim::WallSeconds();
    EXPECT_LT(now - start, 3600.0);
    const double before = now;
    for (int i = 0; i < 10'000'000 && now == before; ++i) now = os::sim::WallSeconds();
    EXPECT_GT(now, before);  // it moves with the host
}

}  // namespace
