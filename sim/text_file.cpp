#include "sim/text_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace sim {

bool ReadTextFile(const std::string& path, std::string* text, std::string* error)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        *error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    std::string content;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        content.append(buffer, n);
    }
    if (std::ferror(file.get()) != 0) {
        *error = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    *text = std::move(content);
    return true;
}

}  // namespace sim
