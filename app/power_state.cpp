#include "app/power_state.h"

#include "platform/devices/power.h"

int EnterIdlePowerState(os::HWND)
{
    return os::SetSystemPowerState(nullptr, os::POWER_STATE_IDLE, 0) == os::ERROR_SUCCESS ? 1 : 0;
}
