// The requests one kestrava process sends another on the same device root,
// one line each, and their answers:
//   FIND <class> <title>               -> "WND <id>" or "NONE"   ("-" matches any, "=" is empty, else hex of UTF-8)
//   POST <id> <msg> <wparam> <lparam>  -> "OK"
//   SEND <id> <msg> <wparam> <lparam>  -> "RES <result>"
// and to any request "ERR <why>" when it is not carried out (IpcError).
// Numbers are decimal; lparam and result are signed. Anything else is refused.
//
// One time-out bounds an exchange: the receiver answers within
// kIpcReceiverTimeoutMs of accepting the connection, and the sender waits
// longer than that, so that a late answer still arrives as "ERR timeout".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace os::detail {

constexpr std::size_t kIpcMaxLine = 600;
constexpr int kIpcReceiverTimeoutMs = 5000;
constexpr int kIpcSenderTimeoutMs = kIpcReceiverTimeoutMs + 1000;
static_assert(kIpcSenderTimeoutMs >= kIpcReceiverTimeoutMs);
// Connections served at once; one more is answered "ERR busy".
constexpr int kIpcMaxPeers = 4;

struct IpcRequest {
    enum class Kind { Find, Post, Send } kind = Kind::Find;
    std::optional<std::string> className;
    std::optional<std::string> title;
    std::uint32_t window = 0;
    std::uint32_t msg = 0;
    std::uint64_t wParam = 0;
    std::int64_t lParam = 0;
};

// Why a request was not carried out.
enum class IpcError {
    Refused,    // not a message the program takes from other processes, or not its window
    OtherUser,  // the peer runs as another user
    Window,     // no such window
    Busy,       // every connection the receiver serves at once is taken
    Timeout,    // not answered in time
    Malformed,  // not a request of this protocol
};

struct IpcReply {
    enum class Kind { Window, None, Ok, Result, Error } kind = Kind::None;
    std::uint32_t window = 0;
    std::int64_t result = 0;
    IpcError error = IpcError::Malformed;
};

std::optional<IpcRequest> ParseIpcRequest(std::string_view line);
std::string FormatFindRequest(const char* className, const char* title);
std::string FormatMessageRequest(bool send, std::uint32_t window, std::uint32_t msg, std::uint64_t wParam,
                                 std::int64_t lParam);

std::optional<IpcReply> ParseIpcReply(std::string_view line);
std::string FormatIpcReply(const IpcReply& reply);

}  // namespace os::detail
