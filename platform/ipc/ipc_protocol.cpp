#include "platform/ipc/internal/ipc_protocol.h"

#include <charconv>
#include <utility>
#include <vector>

namespace os::detail {

namespace {

std::vector<std::string_view> Split(std::string_view line)
{
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t end = line.find(' ', i);
        const std::size_t stop = end == std::string_view::npos ? line.size() : end;
        if (stop == i) return {};  // doubled or trailing space: not a request we make
        words.push_back(line.substr(i, stop - i));
        i = stop + 1;
        if (end != std::string_view::npos && i == line.size()) return {};
    }
    return words;
}

template <typename T>
bool ParseNumber(std::string_view text, T* out)
{
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *out);
    return ec == std::errc() && end == text.data() + text.size();
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool ParseText(std::string_view word, std::optional<std::string>* out)
{
    if (word == "-") {
        out->reset();
        return true;
    }
    if (word == "=") {
        *out = std::string();
        return true;
    }
    if (word.size() % 2 != 0) return false;
    std::string text;
    for (std::size_t i = 0; i < word.size(); i += 2) {
        const int hi = HexValue(word[i]);
        const int lo = HexValue(word[i + 1]);
        if (hi < 0 || lo < 0) return false;
        const char c = static_cast<char>(hi * 16 + lo);
        if (c == '\0') return false;
        text += c;
    }
    *out = std::move(text);
    return true;
}

std::string HexText(const char* text)
{
    if (text == nullptr) return "-";
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? std::string("=") : out;
}

constexpr std::pair<IpcError, std::string_view> kErrorWords[] = {
    {IpcError::Refused, "refused"}, {IpcError::OtherUser, "user"},   {IpcError::Window, "window"},
    {IpcError::Busy, "busy"},       {IpcError::Timeout, "timeout"}, {IpcError::Malformed, "malformed"},
};

}  // namespace

std::optional<IpcRequest> ParseIpcRequest(std::string_view line)
{
    if (line.size() > kIpcMaxLine) return std::nullopt;
    const std::vector<std::string_view> words = Split(line);
    if (words.empty()) return std::nullopt;
    IpcRequest request;
    if (words[0] == "FIND" && words.size() == 3) {
        request.kind = IpcRequest::Kind::Find;
        if (!ParseText(words[1], &request.className) || !ParseText(words[2], &request.title)) return std::nullopt;
        return request;
    }
    if ((words[0] == "POST" || words[0] == "SEND") && words.size() == 5) {
        request.kind = words[0] == "POST" ? IpcRequest::Kind::Post : IpcRequest::Kind::Send;
        if (!ParseNumber(words[1], &request.window) || !ParseNumber(words[2], &request.msg) ||
            !ParseNumber(words[3], &request.wParam) || !ParseNumber(words[4], &request.lParam)) {
            return std::nullopt;
        }
        return request;
    }
    return std::nullopt;
}

std::string FormatFindRequest(const char* className, const char* title)
{
    return "FIND " + HexText(className) + " " + HexText(title);
}

std::string FormatMessageRequest(bool send, std::uint32_t window, std::uint32_t msg, std::uint64_t wParam,
                                 std::int64_t lParam)
{
    return std::string(send ? "SEND " : "POST ") + std::to_string(window) + " " + std::to_string(msg) + " " +
           std::to_string(wParam) + " " + std::to_string(lParam);
}

std::optional<IpcReply> ParseIpcReply(std::string_view line)
{
    if (line.size() > kIpcMaxLine) return std::nullopt;
    const std::vector<std::string_view> words = Split(line);
    IpcReply reply;
    if (words.size() == 1 && (words[0] == "NONE" || words[0] == "OK")) {
        reply.kind = words[0] == "OK" ? IpcReply::Kind::Ok : IpcReply::Kind::None;
        return reply;
    }
    if (words.size() != 2) return std::nullopt;
    if (words[0] == "WND") {
        reply.kind = IpcReply::Kind::Window;
        return ParseNumber(words[1], &reply.window) ? std::optional(reply) : std::nullopt;
    }
    if (words[0] == "RES") {
        reply.kind = IpcReply::Kind::Result;
        return ParseNumber(words[1], &reply.result) ? std::optional(reply) : std::nullopt;
    }
    if (words[0] == "ERR") {
        reply.kind = IpcReply::Kind::Error;
        for (const auto& [error, word] : kErrorWords) {
            if (word != words[1]) continue;
            reply.error = error;
            return reply;
        }
    }
    return std::nullopt;
}

std::string FormatIpcReply(const IpcReply& reply)
{
    switch (reply.kind) {
    case IpcReply::Kind::Window: return "WND " + std::to_string(reply.window);
    case IpcReply::Kind::None: return "NONE";
    case IpcReply::Kind::Ok: return "OK";
    case IpcReply::Kind::Result: return "RES " + std::to_string(reply.result);
    case IpcReply::Kind::Error: break;
    }
    for (const auto& [error, word] : kErrorWords) {
        if (error == reply.error) return "ERR " + std::string(word);
    }
    return "ERR malformed";
}

}  // namespace os::detail
