#include "sensing/accident_sms.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/base/text_encoding.h"
#include "platform/base/trace.h"
#include "platform/devices/device.h"
#include "platform/media/com_types.h"
#include "platform/phone/sms.h"
#include "platform/phone/tapi.h"

namespace {

constexpr const char* kLineAppName = "ZaVuro_Zud";
constexpr const char* kCellularLine = "Cellular Line";
constexpr os::DWORD kOwnNumberAddress = 1;
constexpr std::size_t kHeaderNumberBytes = 63;
// The handsets whose network wants the sender's number in the message header.
constexpr const char* kNumberInHeaderModels[] = {"sch-m710", "sch-m715", "sph-m8400"};

bool NumberGoesInHeader()
{
    std::string model;
    if (!os::SystemParametersInfoW(os::SPI_GETOEMINFO, 256, &model, 0)) return false;
    std::transform(model.begin(), model.end(), model.begin(), [](unsigned char c) { return std::tolower(c); });
    return std::any_of(std::begin(kNumberInHeaderModels), std::end(kNumberInHeaderModels),
                       [&](const char* name) { return model == name; });
}

// A capability record of the line service, grown until the texts fit: the
// fixed part first, then as many bytes as the service says it needs.
template <typename Caps, typename Query>
Caps* ReadCaps(std::vector<std::uint32_t>* storage, Query query)
{
    storage->assign(sizeof(Caps) / 4 + 1, 0);
    auto* caps = reinterpret_cast<Caps*>(storage->data());
    caps->dwTotalSize = static_cast<os::DWORD>(storage->size() * 4);
    if (query(caps) != 0) return nullptr;
    if (caps->dwNeededSize <= caps->dwTotalSize) return caps;
    const os::DWORD needed = caps->dwNeededSize;
    storage->assign((needed + 3) / 4, 0);
    caps = reinterpret_cast<Caps*>(storage->data());
    caps->dwTotalSize = needed;
    return query(caps) == 0 && caps->dwNeededSize <= caps->dwTotalSize ? caps : nullptr;
}

// A text of a record, checked to lie within what the service filled.
std::string CapsText(const void* record, os::DWORD used, os::DWORD offset, os::DWORD size)
{
    if (size == 0 || offset > used || size > used - offset) return {};
    const char* text = static_cast<const char*>(record) + offset;
    return std::string(text, strnlen(text, size));
}

bool IsCellularLine(os::HLINEAPP app, os::DWORD device, os::DWORD* version)
{
    os::LINEEXTENSIONID extension;
    if (os::lineNegotiateAPIVersion(app, device, os::TAPI_CURRENT_VERSION, os::TAPI_CURRENT_VERSION, version,
                                    &extension) != 0) {
        return false;
    }
    std::vector<std::uint32_t> storage;
    const auto* caps = ReadCaps<os::LINEDEVCAPS>(
        &storage, [&](os::LINEDEVCAPS* c) { return os::lineGetDevCaps(app, device, *version, 0, c); });
    return caps != nullptr &&
           CapsText(caps, caps->dwUsedSize, caps->dwLineNameOffset, caps->dwLineNameSize) == kCellularLine;
}

os::HRESULT OwnNumberOfLines(os::HLINEAPP app, os::DWORD devices, os::DWORD addressIndex, std::string* number)
{
    for (os::DWORD device = 0; device < devices; ++device) {
        os::DWORD version = 0;
        if (!IsCellularLine(app, device, &version)) continue;
        std::vector<std::uint32_t> storage;
        const auto* caps = ReadCaps<os::LINEADDRESSCAPS>(&storage, [&](os::LINEADDRESSCAPS* c) {
            return os::lineGetAddressCaps(app, device, addressIndex, version, 0, c);
        });
        if (caps == nullptr) return os::E_FAIL;
        *number = CapsText(caps, caps->dwUsedSize, caps->dwAddressOffset, caps->dwAddressSize);
        return number->empty() ? os::E_FAIL : os::S_OK;
    }
    return os::E_FAIL;
}

// The body as the text protocol takes it: UTF-16LE bytes, two per unit.
bool Utf16Body(const char* text, std::vector<os::BYTE>* body)
{
    const int units = os::MultiByteToWideChar(os::CP_UTF8, 0, text, static_cast<int>(std::strlen(text)), nullptr, 0);
    if (units <= 0 && *text != '\0') return false;
    std::vector<char16_t> wide(static_cast<std::size_t>(units));
    if (units > 0 && os::MultiByteToWideChar(os::CP_UTF8, 0, text, static_cast<int>(std::strlen(text)), wide.data(),
                                             units) != units) {
        return false;
    }
    body->clear();
    for (char16_t unit : wide) {
        body->push_back(static_cast<os::BYTE>(unit & 0xFF));
        body->push_back(static_cast<os::BYTE>(unit >> 8));
    }
    return true;
}

void PutOwnNumberInHeader(os::TEXT_PROVIDER_SPECIFIC_DATA* provider)
{
    char number[kOwnNumberCapacity] = {};
    if (GetOwnPhoneNumber(number, kOwnNumberCapacity, kOwnNumberAddress) != os::S_OK) {
        os::Trace("SmsSendAccident: the phone's own number is unknown");
        return;
    }
    const std::size_t length = std::min(std::strlen(number), kHeaderNumberBytes);
    std::memcpy(provider->pbHeaderData, number, length);
    provider->dwHeaderDataSize = static_cast<os::DWORD>(length);
}

}  // namespace

bool IsValidSmsRecipient(std::string_view recipient)
{
    return !recipient.empty() && recipient.size() < os::SMS_MAX_ADDRESS_LENGTH &&
           std::all_of(recipient.begin(), recipient.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

int SmsSendAccident(const char* recipient, const char* text, int statusReport)
{
    if (recipient == nullptr || text == nullptr || !IsValidSmsRecipient(recipient)) {
        os::Trace("SmsSendAccident: no valid recipient, nothing sent");
        return 0;
    }
    std::vector<os::BYTE> body;
    if (!Utf16Body(text, &body)) {
        os::Trace("SmsSendAccident: the message text is not UTF-8, nothing sent");
        return 0;
    }
    os::SMS_HANDLE sms = nullptr;
    if (os::FAILED(os::SmsOpen(os::SMS_MSGTYPE_TEXT, os::SMS_MODE_SEND, &sms, nullptr))) {
        os::Trace("SmsSendAccident: the SMS service did not open");
        return 0;
    }
    os::SMS_ADDRESS destination;
    destination.smsatAddressType = os::SMSAT_INTERNATIONAL;
    std::strncpy(destination.ptsAddress, recipient, os::SMS_MAX_ADDRESS_LENGTH - 1);
    os::TEXT_PROVIDER_SPECIFIC_DATA provider;
    provider.dwMessageOptions = statusReport ? os::PS_MESSAGE_OPTION_STATUSREPORT : os::PS_MESSAGE_OPTION_NONE;
    provider.psMessageClass = os::PS_MESSAGE_CLASS1;
    provider.psReplaceOption = os::PSRO_NONE;
    if (NumberGoesInHeader()) PutOwnNumberInHeader(&provider);
    const os::HRESULT sent = os::SmsSendMessage(
        sms, nullptr, &destination, nullptr, body.data(), static_cast<os::DWORD>(body.size()),
        reinterpret_cast<const os::BYTE*>(&provider), sizeof provider, os::SMSDE_OPTIMAL, 0, nullptr);
    os::SmsClose(sms);
    if (os::FAILED(sent)) {
        os::Trace("SmsSendAccident: the network did not take the message (0x%08x)", static_cast<unsigned>(sent));
        return 0;
    }
    return 1;
}

os::HRESULT GetOwnPhoneNumber(char* buffer, int capacity, os::DWORD addressIndex)
{
    if (buffer == nullptr || capacity <= 0) return os::E_FAIL;
    buffer[0] = '\0';
    os::HLINEAPP app = nullptr;
    os::DWORD devices = 0;
    os::DWORD version = os::TAPI_CURRENT_VERSION;
    os::LINEINITIALIZEEXPARAMS params;
    if (os::lineInitializeEx(&app, nullptr, nullptr, kLineAppName, &devices, &version, &params) != 0) {
        return os::E_FAIL;
    }
    std::string number;
    os::HRESULT result = os::E_FAIL;
    try {
        result = OwnNumberOfLines(app, devices, addressIndex, &number);
    } catch (const std::bad_alloc&) {
        result = os::E_OUTOFMEMORY;
    }
    os::lineShutdown(app);
    if (result != os::S_OK) return result;
    const std::size_t length = std::min(number.size(), static_cast<std::size_t>(capacity - 1));
    std::memcpy(buffer, number.data(), length);
    buffer[length] = '\0';
    return os::S_OK;
}
