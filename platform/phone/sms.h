// Text messages: the send side of the phone's SMS service. SmsOpen gives a
// handle for the text protocol in send mode; SmsSendMessage hands one
// message to the network and SmsClose ends the handle. The simulated
// network takes every message at once: it is appended to the outbox the
// simulator names (os::sim::ConfigurePhone) as one JSON line and logged as an
// "[os] sms ..." trace line. A profile whose sending fails gets SMS_E_SEND
// and nothing is written; an outbox the host refuses gives E_FAIL and
// is a host problem of the run. Addresses are UTF-8 like every text of the
// platform; the message body is the caller's bytes (UTF-16LE for the text
// protocol), written to the outbox as UTF-8.
#pragma once

#include "platform/base/com.h"
#include "platform/base/types.h"
#include "platform/media/com_types.h"

namespace os {

using SMS_HANDLE = HANDLE;
using SMS_MESSAGE_ID = DWORD;

constexpr const char* SMS_MSGTYPE_TEXT = "Microsoft Text SMS Protocol";

constexpr DWORD SMS_MODE_RECEIVE = 1;
constexpr DWORD SMS_MODE_SEND = 2;

// Besides E_INVALIDARG and E_FAIL, the service's own failures (values of this
// platform, in the SMS facility):
constexpr HRESULT SMS_E_INVALIDPROTOCOL = static_cast<HRESULT>(0x82000100u);
constexpr HRESULT SMS_E_INVALIDHANDLE = static_cast<HRESULT>(0x82000101u);
constexpr HRESULT SMS_E_SEND = static_cast<HRESULT>(0x82000102u);  // the network did not take it

constexpr int SMS_MAX_ADDRESS_LENGTH = 256;

enum SMS_ADDRESS_TYPE : DWORD {
    SMSAT_UNKNOWN = 0,
    SMSAT_INTERNATIONAL = 1,
    SMSAT_NATIONAL = 2,
};

struct SMS_ADDRESS {
    SMS_ADDRESS_TYPE smsatAddressType = SMSAT_UNKNOWN;
    char ptsAddress[SMS_MAX_ADDRESS_LENGTH] = {};  // UTF-8, terminated
};

enum SMS_DATA_ENCODING : DWORD {
    SMSDE_OPTIMAL = 0,
    SMSDE_GSM = 1,
    SMSDE_UCS2 = 2,
};

constexpr DWORD SMS_OPTION_DELIVERY_NONE = 0;
constexpr DWORD SMS_OPTION_DELIVERY_NO_RETRY = 1;

constexpr DWORD PS_MESSAGE_OPTION_NONE = 0x0;
constexpr DWORD PS_MESSAGE_OPTION_REPLYPATH = 0x1;
constexpr DWORD PS_MESSAGE_OPTION_STATUSREPORT = 0x2;
constexpr DWORD PS_MESSAGE_OPTION_DISCARD = 0x4;

enum PROVIDER_SPECIFIC_MESSAGE_CLASS : DWORD {
    PS_MESSAGE_CLASS0 = 0,
    PS_MESSAGE_CLASS1 = 1,
    PS_MESSAGE_CLASS2 = 2,
    PS_MESSAGE_CLASS3 = 3,
};

enum PROVIDER_SPECIFIC_REPLACE_OPTION : DWORD {
    PSRO_NONE = 0,
};

constexpr DWORD SMS_HEADER_DATA_BYTES = 672;

// The text protocol's provider data.
struct TEXT_PROVIDER_SPECIFIC_DATA {
    DWORD dwMessageOptions = PS_MESSAGE_OPTION_NONE;
    PROVIDER_SPECIFIC_MESSAGE_CLASS psMessageClass = PS_MESSAGE_CLASS1;
    PROVIDER_SPECIFIC_REPLACE_OPTION psReplaceOption = PSRO_NONE;
    DWORD dwHeaderDataSize = 0;  // bytes of pbHeaderData in use
    BYTE pbHeaderData[SMS_HEADER_DATA_BYTES] = {};
};
static_assert(sizeof(TEXT_PROVIDER_SPECIFIC_DATA) == 688);

// Only the text protocol and send mode are served. SMS_E_INVALIDPROTOCOL for
// another protocol, E_INVALIDARG for another mode or a null handle
// pointer. messageAvailableEvent belongs to the receive side and must be null.
HRESULT SmsOpen(const char* protocol, DWORD mode, SMS_HANDLE* handle, HANDLE* messageAvailableEvent);
// smscAddress and validity may be null (the network's defaults). The
// provider data must be a TEXT_PROVIDER_SPECIFIC_DATA (providerDataSize 688)
// whose header size is within its header bytes, the data an even number of
// bytes; else E_INVALIDARG. *messageId (may be null) receives the
// message's number, counted from 1 in the run.
HRESULT SmsSendMessage(SMS_HANDLE handle, const SMS_ADDRESS* smscAddress, const SMS_ADDRESS* destination,
                       const void* validity, const BYTE* data, DWORD dataSize, const BYTE* providerData,
                       DWORD providerDataSize, SMS_DATA_ENCODING encoding, DWORD options,
                       SMS_MESSAGE_ID* messageId);
HRESULT SmsClose(SMS_HANDLE handle);

}  // namespace os
