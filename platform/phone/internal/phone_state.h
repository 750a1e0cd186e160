// Internal to the phone services: the configured phone and the live handles
// (text message handles, line applications), under one mutex that is never
// held across a platform call or host file write.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>

#include "platform/base/types.h"

#include "platform/phone/phone_sim.h"

namespace os::detail {

struct PhoneState {
    std::mutex mutex;
    sim::PhoneConfig config;
    std::set<std::uintptr_t> smsHandles;
    std::set<std::uintptr_t> lineApps;
    DWORD sent = 0;  // messages taken by the network in this run
};

PhoneState& Phone();

// The live handles of one kind (smsHandles or lineApps): a new value, whether
// a value is live, and its release (false when it was not live).
using PhoneHandles = std::set<std::uintptr_t> PhoneState::*;
std::uintptr_t OpenPhoneHandle(PhoneHandles kind);
bool IsPhoneHandle(PhoneHandles kind, std::uintptr_t value);
bool ClosePhoneHandle(PhoneHandles kind, std::uintptr_t value);

}  // namespace os::detail
