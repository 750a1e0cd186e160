// A request line from another process. Whatever arrives, a line that parses
// formats back to an equal request (texts have one spelling, so FIND lines
// come back byte for byte); and every request the sending side can format
// parses back to itself, unless the line is too long, when it is refused.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/check.h"
#include "platform/ipc/internal/ipc_protocol.h"

namespace {

using os::detail::IpcRequest;
using Kind = IpcRequest::Kind;

bool Same(const IpcRequest& a, const IpcRequest& b)
{
    return a.kind == b.kind && a.className == b.className && a.title == b.title && a.window == b.window &&
           a.msg == b.msg && a.wParam == b.wParam && a.lParam == b.lParam;
}

const char* Text(const std::optional<std::string>& text)
{
    return text ? text->c_str() : nullptr;
}

std::string Format(const IpcRequest& r)
{
    if (r.kind == Kind::Find) {
        return os::detail::FormatFindRequest(Text(r.className), Text(r.title));
    }
    return os::detail::FormatMessageRequest(r.kind == Kind::Send, r.window, r.msg, r.wParam, r.lParam);
}

void CheckReceivedLine(std::string_view line)
{
    const std::optional<IpcRequest> parsed = os::detail::ParseIpcRequest(line);
    if (!parsed) {
        return;
    }
    FUZZ_CHECK(line.size() <= os::detail::kIpcMaxLine);
    const std::string again = Format(*parsed);
    if (parsed->kind == Kind::Find) {
        FUZZ_CHECK(again == line);
    } else {
        FUZZ_CHECK(again.size() <= line.size());  // only leading zeros and "-0" have other spellings
    }
    const std::optional<IpcRequest> reparsed = os::detail::ParseIpcRequest(again);
    FUZZ_CHECK(reparsed && Same(*reparsed, *parsed));
}

// A C string, as the sending side passes class names and titles.
std::optional<std::string> MaybeText(FuzzedDataProvider* in)
{
    if (!in->ConsumeBool()) {
        return std::nullopt;
    }
    return std::string(in->ConsumeRandomLengthString(400).c_str());
}

void CheckSentRequest(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    IpcRequest request;
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        request.kind = Kind::Find;
        request.className = MaybeText(&in);
        request.title = MaybeText(&in);
        break;
    default:
        request.kind = in.ConsumeBool() ? Kind::Send : Kind::Post;
        request.window = in.ConsumeIntegral<std::uint32_t>();
        request.msg = in.ConsumeIntegral<std::uint32_t>();
        request.wParam = in.ConsumeIntegral<std::uint64_t>();
        request.lParam = in.ConsumeIntegral<std::int64_t>();
        break;
    }
    const std::string line = Format(request);
    const std::optional<IpcRequest> parsed = os::detail::ParseIpcRequest(line);
    if (line.size() > os::detail::kIpcMaxLine) {
        FUZZ_CHECK(!parsed);
        return;
    }
    FUZZ_CHECK(parsed && Same(*parsed, request));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckReceivedLine(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckSentRequest(data, size);
    return 0;
}
