#include "tools/host_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kinfo {

int ReadHostFile(const std::string& path, std::vector<std::uint8_t>* bytes, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = path + ": cannot open: " + std::strerror(errno);
        return 0;
    }
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *error = path + ": read error";
        return 0;
    }
    return 1;
}

}  // namespace kinfo
