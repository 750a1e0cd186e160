// The accident SMS: one text message to the number the driver configured,
// through the phone's SMS service, and the phone's own number from the
// telephony service. Both open and close their service within the call and
// touch nothing else; a failure ends the send quietly (traced) and never
// affects recording. Every copy into a fixed field is bounded.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/base/types.h"
#include "platform/media/com_types.h"

constexpr int kOwnNumberCapacity = 260;

// A recipient the alert may send to: one to 256 characters, digits only.
bool IsValidSmsRecipient(std::string_view recipient);
// Sends text (UTF-8) to recipient; statusReport asks the network for a
// delivery report. 1 when the network took the message, 0 otherwise (an
// invalid recipient or text included).
int SmsSendAccident(const char* recipient, const char* text, int statusReport);
// The phone's own number from the given address of the "Cellular Line",
// terminated and cut to capacity. 0, or 0x80004005 on failure (buffer
// emptied), 0x8007000E when memory runs out.
os::HRESULT GetOwnPhoneNumber(char* buffer, int capacity, os::DWORD addressIndex);
