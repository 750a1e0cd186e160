// The phone services' state and its simulator side.
#include "platform/phone/internal/phone_state.h"

#include "platform/base/internal/fresh_start.h"
#include "platform/kernel/internal/handle_table.h"

namespace os::detail {

PhoneState& Phone()
{
    static PhoneState state;
    return state;
}

std::uintptr_t OpenPhoneHandle(PhoneHandles kind)
{
    const std::uintptr_t value = NewHandleValue(HandleKind::Phone);
    PhoneState& phone = Phone();
    std::lock_guard lock(phone.mutex);
    (phone.*kind).insert(value);
    return value;
}

bool IsPhoneHandle(PhoneHandles kind, std::uintptr_t value)
{
    PhoneState& phone = Phone();
    std::lock_guard lock(phone.mutex);
    return (phone.*kind).count(value) != 0;
}

bool ClosePhoneHandle(PhoneHandles kind, std::uintptr_t value)
{
    {
        PhoneState& phone = Phone();
        std::lock_guard lock(phone.mutex);
        if ((phone.*kind).erase(value) == 0) return false;
    }
    ReleaseHandleValue(value, HandleKind::Phone);
    return true;
}

// The handle values themselves are forgotten by the handle table's reset.
void ResetPhone()
{
    PhoneState& phone = Phone();
    std::lock_guard lock(phone.mutex);
    phone.config = sim::PhoneConfig{};
    phone.smsHandles.clear();
    phone.lineApps.clear();
    phone.sent = 0;
}

}  // namespace os::detail

namespace os::sim {

void ConfigurePhone(const PhoneConfig& config)
{
    detail::PhoneState& phone = detail::Phone();
    std::lock_guard lock(phone.mutex);
    phone.config = config;
}

PhoneConfig CurrentPhone()
{
    detail::PhoneState& phone = detail::Phone();
    std::lock_guard lock(phone.mutex);
    return phone.config;
}

}  // namespace os::sim
