// kestrava-info: the companion program that reads recordings on the host.
// Standard output goes through a buffer that keeps why a write failed: a
// full disk or a closed file there is an error, not a short result.
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "tools/host_file.h"
#include "tools/info_command.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    kinfo::FdWriteBuffer buffer(STDOUT_FILENO);
    std::ostream out(&buffer);
    const int result = kinfo::RunInfo(args, out, std::cerr);
    out.flush();
    if (buffer.Failure() != 0) {
        std::cerr << "kestrava-info: standard output: cannot write: " << std::strerror(buffer.Failure()) << "\n";
        return result == 0 ? 1 : result;
    }
    return result;
}
