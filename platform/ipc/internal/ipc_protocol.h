// The requests one kestrava process sends another on the same device root,
// one line each, and their answers:
//   FIND <class> <title>          -> "WND <id>" or "NONE"   ("-" matches any, "=" is empty, else hex of UTF-8)
//   POST <id> <msg> <wparam> <lparam>  -> "OK" or "ERR"
//   SEND <id> <msg> <wparam> <lparam>  -> "RES <result>" or "ERR"
// Numbers are decimal; lparam and result are signed. Anything else is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace os::detail {

constexpr std::size_t kIpcMaxLine = 600;

struct IpcRequest {
    enum class Kind { Find, Post, Send } kind = Kind::Find;
    std::optional<std::string> className;
    std::optional<std::string> title;
    std::uint32_t window = 0;
    std::uint32_t msg = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
};

std::optional<IpcRequest> ParseIpcRequest(std::string_view line);
std::string FormatFindRequest(const char* className, const char* title);
std::string FormatMessageRequest(bool send, std::uint32_t window, std::uint32_t msg, std::uint64_t wParam,
                                 std::int64_t lParam);

}  // namespace os::detail
