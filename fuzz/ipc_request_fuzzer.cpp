// A request line from another process, and the answer line that comes back.
// Whatever arrives, a request line that parses formats back to an equal
// request (texts have one spelling, so FIND lines come back byte for byte);
// every request the sending side can format parses back to itself, unless
// the line is too long, when it is refused. An answer line that parses
// formats back to an equal answer, and every answer the receiving side can
// give parses back to itself.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/check.h"
#include "platform/ipc/internal/ipc_protocol.h"

namespace {

using os::detail::IpcError;
using os::detail::IpcReply;
using os::detail::IpcRequest;
using Kind = IpcRequest::Kind;

bool Same(const IpcRequest& a, const IpcRequest& b)
{
    return a.kind == b.kind && a.className == b.className && a.title == b.title && a.window == b.window &&
           a.msg == b.msg && a.wParam == b.wParam && a.lParam == b.lParam;
}

bool SameReply(const IpcReply& a, const IpcReply& b)
{
    if (a.kind != b.kind) return false;
    switch (a.kind) {
    case IpcReply::Kind::Window: return a.window == b.window;
    case IpcReply::Kind::Result: return a.result == b.result;
    case IpcReply::Kind::Error: return a.error == b.error;
    case IpcReply::Kind::None:
    case IpcReply::Kind::Ok: break;
    }
    return true;
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

void CheckReceivedReply(std::string_view line)
{
    const std::optional<IpcReply> parsed = os::detail::ParseIpcReply(line);
    if (!parsed) {
        return;
    }
    const std::string again = os::detail::FormatIpcReply(*parsed);
    FUZZ_CHECK(again.size() <= line.size());  // only leading zeros and "-0" have other spellings
    const std::optional<IpcReply> reparsed = os::detail::ParseIpcReply(again);
    FUZZ_CHECK(reparsed && SameReply(*reparsed, *parsed));
}

void CheckGivenReply(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider in(data, size);
    IpcReply reply;
    reply.kind = in.PickValueInArray({IpcReply::Kind::Window, IpcReply::Kind::None, IpcReply::Kind::Ok,
                                      IpcReply::Kind::Result, IpcReply::Kind::Error});
    reply.window = in.ConsumeIntegral<std::uint32_t>();
    reply.result = in.ConsumeIntegral<std::int64_t>();
    reply.error = in.PickValueInArray({IpcError::Refused, IpcError::OtherUser, IpcError::Window, IpcError::Busy,
                                       IpcError::Timeout, IpcError::Malformed});
    const std::optional<IpcReply> parsed = os::detail::ParseIpcReply(os::detail::FormatIpcReply(reply));
    FUZZ_CHECK(parsed && SameReply(*parsed, reply));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CheckReceivedLine(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckSentRequest(data, size);
    CheckReceivedReply(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckGivenReply(data, size);
    return 0;
}
