#include "platform/base/host_console.h"

#include <unistd.h>

#include <chrono>

namespace os::sim {

bool StdoutIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace os::sim
