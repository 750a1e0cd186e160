// kestrava-info: the companion program that reads recordings on the host.
#include <iostream>
#include <string>
#include <vector>

#include "tools/info_command.h"

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    return kinfo::RunInfo(args, std::cout, std::cerr);
}
