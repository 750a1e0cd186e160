// Telephony: enough of the line service to find the handset's own number.
// The simulated phone has at most one line device, id 0, named "Cellular
// Line", with two addresses (ids 0 and 1, as a handset lists its voice and
// data numbers) whose text is the phone's own number; a profile without a
// cellular line has no line devices at all.
//
// Capability records follow the service's variable-size protocol: the caller
// sets dwTotalSize to the bytes it gives (at least the fixed part); the call
// fills the fixed part, sets dwNeededSize to what the whole record takes and,
// when it fits, places the texts after the fixed part (their offsets count
// from the start of the record, sizes include the terminator) with
// dwUsedSize = dwNeededSize. A buffer too small for the texts still succeeds,
// with dwUsedSize the fixed part and the texts' sizes 0: the caller grows it
// to dwNeededSize and asks again. Texts are UTF-8, as everywhere in the
// platform (dwStringFormat STRINGFORMAT_ASCII for the plain numbers and names
// the line has). Results are 0 or a negative LINEERR_ value.
#pragma once

#include "platform/base/types.h"

namespace os {

struct HLINEAPP__;
using HLINEAPP = HLINEAPP__*;
using LINECALLBACK = void (*)(DWORD device, DWORD message, std::uintptr_t instance, std::uintptr_t p1, std::uintptr_t p2,
                              std::uintptr_t p3);

constexpr DWORD TAPI_CURRENT_VERSION = 0x00020000;
constexpr DWORD TAPI_LOWEST_VERSION = 0x00010004;

constexpr LONG LINEERR_BADDEVICEID = static_cast<LONG>(0x80000002u);
constexpr LONG LINEERR_INCOMPATIBLEAPIVERSION = static_cast<LONG>(0x8000000Cu);
constexpr LONG LINEERR_INVALADDRESSID = static_cast<LONG>(0x80000011u);
constexpr LONG LINEERR_INVALAPPHANDLE = static_cast<LONG>(0x80000014u);
constexpr LONG LINEERR_INVALPOINTER = static_cast<LONG>(0x80000035u);
constexpr LONG LINEERR_OPERATIONFAILED = static_cast<LONG>(0x80000048u);
constexpr LONG LINEERR_STRUCTURETOOSMALL = static_cast<LONG>(0x8000004Du);

constexpr DWORD LINEINITIALIZEEXOPTION_USEHIDDENWINDOW = 1;
constexpr DWORD LINEINITIALIZEEXOPTION_USEEVENT = 2;
constexpr DWORD STRINGFORMAT_ASCII = 1;
constexpr DWORD LINEADDRESSMODE_ADDRESSID = 1;
constexpr DWORD LINEADDRESSSHARING_PRIVATE = 1;

struct LINEINITIALIZEEXPARAMS {
    DWORD dwTotalSize = sizeof(LINEINITIALIZEEXPARAMS);
    DWORD dwNeededSize = 0;
    DWORD dwUsedSize = 0;
    DWORD dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
    HANDLE hEvent = nullptr;  // out, for the event option: never signalled, the line raises no events
    DWORD dwCompletionKey = 0;
};

struct LINEEXTENSIONID {
    DWORD dwExtensionID0 = 0;
    DWORD dwExtensionID1 = 0;
    DWORD dwExtensionID2 = 0;
    DWORD dwExtensionID3 = 0;
};

// The fixed part of a line device's capabilities; the texts follow it.
struct LINEDEVCAPS {
    DWORD dwTotalSize = sizeof(LINEDEVCAPS);
    DWORD dwNeededSize = 0;
    DWORD dwUsedSize = 0;
    DWORD dwProviderInfoSize = 0;
    DWORD dwProviderInfoOffset = 0;
    DWORD dwSwitchInfoSize = 0;
    DWORD dwSwitchInfoOffset = 0;
    DWORD dwPermanentLineID = 0;
    DWORD dwLineNameSize = 0;
    DWORD dwLineNameOffset = 0;
    DWORD dwStringFormat = 0;
    DWORD dwAddressModes = 0;
    DWORD dwNumAddresses = 0;
};
static_assert(sizeof(LINEDEVCAPS) == 52);

// The fixed part of an address's capabilities; the address text follows it.
struct LINEADDRESSCAPS {
    DWORD dwTotalSize = sizeof(LINEADDRESSCAPS);
    DWORD dwNeededSize = 0;
    DWORD dwUsedSize = 0;
    DWORD dwLineDeviceID = 0;
    DWORD dwAddressSize = 0;
    DWORD dwAddressOffset = 0;
    DWORD dwDevSpecificSize = 0;
    DWORD dwDevSpecificOffset = 0;
    DWORD dwAddressSharing = 0;
    DWORD dwAddressStates = 0;
};
static_assert(sizeof(LINEADDRESSCAPS) == 40);

// *apiVersion: in, the highest version the caller takes (at least
// TAPI_LOWEST_VERSION); out, TAPI_CURRENT_VERSION. params may be null (the
// hidden-window option); the callback is kept and never called, since the
// line raises no events. lineApp, appName, deviceCount and apiVersion must
// not be null (LINEERR_INVALPOINTER).
LONG lineInitializeEx(HLINEAPP* lineApp, HINSTANCE instance, LINECALLBACK callback, const char* appName,
                      DWORD* deviceCount, DWORD* apiVersion, LINEINITIALIZEEXPARAMS* params);
// The version both sides take: the highest of [low, high] the line has.
LONG lineNegotiateAPIVersion(HLINEAPP lineApp, DWORD deviceId, DWORD lowVersion, DWORD highVersion,
                             DWORD* apiVersion, LINEEXTENSIONID* extensionId);
LONG lineGetDevCaps(HLINEAPP lineApp, DWORD deviceId, DWORD apiVersion, DWORD extVersion, LINEDEVCAPS* caps);
LONG lineGetAddressCaps(HLINEAPP lineApp, DWORD deviceId, DWORD addressId, DWORD apiVersion, DWORD extVersion,
                        LINEADDRESSCAPS* caps);
LONG lineShutdown(HLINEAPP lineApp);

}  // namespace os
