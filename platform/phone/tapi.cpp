// The line service: one simulated cellular line whose one address is the
// handset's own number.
#include "platform/phone/tapi.h"

#include <cstring>
#include <string>

#include "platform/base/trace.h"
#include "platform/phone/internal/phone_state.h"
#include "platform/phone/phone_sim.h"

namespace os {
namespace {

constexpr const char* kLineName = "Cellular Line";
constexpr const char* kProviderInfo = "Kestrava simulated cellular provider";
constexpr DWORD kPermanentLineId = 0x00010000;
constexpr DWORD kAddressCount = 2;

bool IsLineApp(HLINEAPP lineApp)
{
    return detail::IsPhoneHandle(&detail::PhoneState::lineApps, reinterpret_cast<std::uintptr_t>(lineApp));
}

// The checks every call on a device makes: a live application, a line that
// exists, a version it takes. The configuration is copied out for the caller.
LONG CheckDevice(HLINEAPP lineApp, DWORD deviceId, DWORD apiVersion, sim::PhoneConfig* config)
{
    if (!IsLineApp(lineApp)) return LINEERR_INVALAPPHANDLE;
    *config = sim::CurrentPhone();
    if (!config->line || deviceId != 0) return LINEERR_BADDEVICEID;
    if (apiVersion < TAPI_LOWEST_VERSION || apiVersion > TAPI_CURRENT_VERSION) return LINEERR_INCOMPATIBLEAPIVERSION;
    return 0;
}

// Places the texts after the fixed part of a record whose first three
// fields are total, needed and used sizes, when the caller's buffer holds
// them all; each text's size and offset go to the given fields.
struct Text {
    const std::string* value;
    DWORD* size;
    DWORD* offset;
};

template <typename Caps, std::size_t N>
void PlaceTexts(Caps* caps, const Text (&texts)[N])
{
    DWORD needed = sizeof(Caps);
    for (const Text& text : texts) needed += static_cast<DWORD>(text.value->size() + 1);
    caps->dwNeededSize = needed;
    caps->dwUsedSize = sizeof(Caps);
    if (caps->dwTotalSize < needed) return;
    char* base = reinterpret_cast<char*>(caps);
    DWORD at = sizeof(Caps);
    for (const Text& text : texts) {
        const DWORD size = static_cast<DWORD>(text.value->size() + 1);
        std::memcpy(base + at, text.value->c_str(), size);
        *text.size = size;
        *text.offset = at;
        at += size;
    }
    caps->dwUsedSize = at;
}

}  // namespace

LONG lineInitializeEx(HLINEAPP* lineApp, HINSTANCE instance, LINECALLBACK callback, const char* appName,
                      DWORD* deviceCount, DWORD* apiVersion, LINEINITIALIZEEXPARAMS* params)
{
    (void)instance;
    (void)callback;
    if (lineApp == nullptr || appName == nullptr || deviceCount == nullptr || apiVersion == nullptr) {
        return LINEERR_INVALPOINTER;
    }
    if (params != nullptr && params->dwTotalSize < sizeof(LINEINITIALIZEEXPARAMS)) return LINEERR_STRUCTURETOOSMALL;
    if (*apiVersion < TAPI_LOWEST_VERSION) return LINEERR_INCOMPATIBLEAPIVERSION;
    const std::uintptr_t value = detail::OpenPhoneHandle(&detail::PhoneState::lineApps);
    const bool line = sim::CurrentPhone().line;
    if (params != nullptr) {
        params->dwNeededSize = sizeof(LINEINITIALIZEEXPARAMS);
        params->dwUsedSize = sizeof(LINEINITIALIZEEXPARAMS);
        params->hEvent = nullptr;
    }
    *lineApp = reinterpret_cast<HLINEAPP>(value);
    *deviceCount = line ? 1 : 0;
    *apiVersion = TAPI_CURRENT_VERSION;
    PlatformLog("line service opened by %s: %u line device(s)", appName, *deviceCount);
    return 0;
}

LONG lineNegotiateAPIVersion(HLINEAPP lineApp, DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                             DWORD* apiVersion, LINEEXTENSIONID* extensionId)
{
    if (apiVersion == nullptr || extensionId == nullptr) return LINEERR_INVALPOINTER;
    sim::PhoneConfig config;
    const LONG checked = CheckDevice(lineApp, deviceId, TAPI_CURRENT_VERSION, &config);
    if (checked != 0) return checked;
    if (highVersion < TAPI_LOWEST_VERSION || lowVersion > TAPI_CURRENT_VERSION || lowVersion > highVersion) {
        return LINEERR_INCOMPATIBLEAPIVERSION;
    }
    *apiVersion = highVersion < TAPI_CURRENT_VERSION ? highVersion : TAPI_CURRENT_VERSION;
    *extensionId = LINEEXTENSIONID{};
    return 0;
}

LONG lineGetDevCaps(HLINEAPP lineApp, DWORD deviceId, DWORD apiVersion, DWORD extVersion, LINEDEVCAPS* caps)
{
    (void)extVersion;
    if (caps == nullptr) return LINEERR_INVALPOINTER;
    sim::PhoneConfig config;
    const LONG checked = CheckDevice(lineApp, deviceId, apiVersion, &config);
    if (checked != 0) return checked;
    if (caps->dwTotalSize < sizeof(LINEDEVCAPS)) return LINEERR_STRUCTURETOOSMALL;
    const DWORD total = caps->dwTotalSize;
    *caps = LINEDEVCAPS{};
    caps->dwTotalSize = total;
    caps->dwPermanentLineID = kPermanentLineId;
    caps->dwStringFormat = STRINGFORMAT_ASCII;
    caps->dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    caps->dwNumAddresses = kAddressCount;
    const std::string provider = kProviderInfo;
    const std::string name = kLineName;
    PlaceTexts(caps, {Text{&provider, &caps->dwProviderInfoSize, &caps->dwProviderInfoOffset},
                      Text{&name, &caps->dwLineNameSize, &caps->dwLineNameOffset}});
    return 0;
}

LONG lineGetAddressCaps(HLINEAPP lineApp, DWORD deviceId, DWORD addressId, DWORD apiVersion, DWORD extVersion,
                        LINEADDRESSCAPS* caps)
{
    (void)extVersion;
    if (caps == nullptr) return LINEERR_INVALPOINTER;
    sim::PhoneConfig config;
    const LONG checked = CheckDevice(lineApp, deviceId, apiVersion, &config);
    if (checked != 0) return checked;
    if (addressId >= kAddressCount) return LINEERR_INVALADDRESSID;
    if (caps->dwTotalSize < sizeof(LINEADDRESSCAPS)) return LINEERR_STRUCTURETOOSMALL;
    const DWORD total = caps->dwTotalSize;
    *caps = LINEADDRESSCAPS{};
    caps->dwTotalSize = total;
    caps->dwLineDeviceID = deviceId;
    caps->dwAddressSharing = LINEADDRESSSHARING_PRIVATE;
    PlaceTexts(caps, {Text{&config.number, &caps->dwAddressSize, &caps->dwAddressOffset}});
    return 0;
}

LONG lineShutdown(HLINEAPP lineApp)
{
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(lineApp);
    return detail::ClosePhoneHandle(&detail::PhoneState::lineApps, value) ? 0 : LINEERR_INVALAPPHANDLE;
}

}  // namespace os
