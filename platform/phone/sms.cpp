// The text message service: open, send into the simulator's outbox, close.
#include "platform/phone/sms.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/base/host_problem.h"
#include "platform/base/trace.h"
#include "platform/kernel/clock.h"
#include "platform/phone/internal/phone_state.h"

namespace os {
namespace {

void AppendUtf8(std::string* out, std::uint32_t c)
{
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// UTF-16LE to UTF-8; a lone surrogate becomes U+FFFD.
std::string FromUtf16(const BYTE* data, DWORD size)
{
    std::string text;
    for (DWORD i = 0; i + 1 < size; i += 2) {
        std::uint32_t c = data[i] | (data[i + 1] << 8);
        if (c >= 0xD800 && c < 0xDC00 && i + 3 < size) {
            const std::uint32_t low = data[i + 2] | (data[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            } else {
                c = 0xFFFD;
            }
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(&text, c);
    }
    return text;
}

bool IsOpenSms(SMS_HANDLE handle)
{
    return detail::IsPhoneHandle(&detail::PhoneState::smsHandles, reinterpret_cast<std::uintptr_t>(handle));
}

// One line appended to the outbox; false with the host's reason.
bool AppendLine(const std::string& path, const std::string& line, std::string* why)
{
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (file == nullptr) {
        *why = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) return true;
    *why = std::strerror(written ? errno : writeErrno);
    return false;
}

}  // namespace

HRESULT SmsOpen(const char* protocol, DWORD mode, SMS_HANDLE* handle, HANDLE* messageAvailableEvent)
{
    if (protocol == nullptr || std::strcmp(protocol, SMS_MSGTYPE_TEXT) != 0) {
        PlatformLog("sms open: protocol %s refused", protocol == nullptr ? "(none)" : protocol);
        return SMS_E_INVALIDPROTOCOL;
    }
    if (handle == nullptr || mode != SMS_MODE_SEND || messageAvailableEvent != nullptr) {
        PlatformLog("sms open: only send mode with a handle and no event is served");
        return E_INVALIDARG;
    }
    *handle = reinterpret_cast<SMS_HANDLE>(detail::OpenPhoneHandle(&detail::PhoneState::smsHandles));
    return S_OK;
}

HRESULT SmsSendMessage(SMS_HANDLE handle, const SMS_ADDRESS* smscAddress, const SMS_ADDRESS* destination,
                       const void* validity, const BYTE* data, DWORD dataSize, const BYTE* providerData,
                       DWORD providerDataSize, SMS_DATA_ENCODING encoding, DWORD options,
                       SMS_MESSAGE_ID* messageId)
{
    (void)smscAddress;
    (void)validity;
    (void)encoding;
    (void)options;
    if (!IsOpenSms(handle)) return SMS_E_INVALIDHANDLE;
    TEXT_PROVIDER_SPECIFIC_DATA provider;
    if (destination == nullptr || providerData == nullptr || providerDataSize != sizeof provider ||
        (data == nullptr && dataSize != 0) || dataSize % 2 != 0 ||
        std::memchr(destination->ptsAddress, '\0', sizeof destination->ptsAddress) == nullptr ||
        destination->ptsAddress[0] == '\0') {
        PlatformLog("sms send: refused, bad arguments");
        return E_INVALIDARG;
    }
    std::memcpy(&provider, providerData, sizeof provider);
    if (provider.dwHeaderDataSize > SMS_HEADER_DATA_BYTES) {
        PlatformLog("sms send: refused, header data size %u", provider.dwHeaderDataSize);
        return E_INVALIDARG;
    }
    const std::string to = destination->ptsAddress;
    const std::string text = FromUtf16(data, dataSize);
    const bool statusReport = (provider.dwMessageOptions & PS_MESSAGE_OPTION_STATUSREPORT) != 0;
    const std::string header(reinterpret_cast<const char*>(provider.pbHeaderData), provider.dwHeaderDataSize);
    sim::PhoneConfig config;
    {
        detail::PhoneState& phone = detail::Phone();
        std::lock_guard lock(phone.mutex);
        config = phone.config;
    }
    if (config.smsFails) {
        PlatformLog("sms send to %s: the network refused it", to.c_str());
        return SMS_E_SEND;
    }
    const std::int64_t timeMs = DeviceTimeUs() / 1000;
    if (!config.outboxPath.empty()) {
        const nlohmann::json line = {{"time_ms", timeMs},          {"to", to},
                                     {"address_type", destination->smsatAddressType},
                                     {"text", text},               {"status_report", statusReport},
                                     {"header", header}};
        std::string why;
        if (!AppendLine(config.outboxPath, line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n",
                        &why)) {
            PlatformLog("sms send to %s: the outbox %s refused it: %s", to.c_str(), config.outboxPath.c_str(),
                        why.c_str());
            sim::ReportHostProblem("sms outbox", "cannot write the text message outbox " + config.outboxPath + ": " + why);
            return E_FAIL;
        }
    }
    DWORD id = 0;
    {
        detail::PhoneState& phone = detail::Phone();
        std::lock_guard lock(phone.mutex);
        id = ++phone.sent;
    }
    PlatformLog("sms %u sent to %s, %zu bytes of text, status report %s", id, to.c_str(), text.size(),
                statusReport ? "asked" : "not asked");
    if (messageId != nullptr) *messageId = id;
    return S_OK;
}

HRESULT SmsClose(SMS_HANDLE handle)
{
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    return detail::ClosePhoneHandle(&detail::PhoneState::smsHandles, value) ? S_OK : SMS_E_INVALIDHANDLE;
}

}  // namespace os
