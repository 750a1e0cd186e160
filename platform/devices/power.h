// Point-to-point message queues and the power manager.
//
// A message queue handle is a kernel event handle (see sync.h): a read handle
// is signalled while messages wait, a write handle while there is room, so
// WaitForSingleObject and WaitForMultipleObjects work on them directly.
// CloseMsgQueue closes the handle, which makes a thread waiting on it (or
// blocked in ReadMsgQueue on it) return with a failure. Queues are opened by
// name: two CreateMsgQueue calls with the same name reach the same queue,
// one usually for reading and one for writing. Queues never break: a queue
// without readers still takes messages up to its size.
//
// The power manager writes POWER_BROADCAST records into the queues given to
// RequestPowerNotifications. Its events come from the simulator (os::sim
// below): transitions between system power states, resume from suspend, and
// changes of battery and external power.
#pragma once

#include <string>
#include <vector>

#include "platform/base/types.h"

namespace os {

constexpr DWORD MSGQUEUE_NOPRECOMMIT = 0x00000001;
constexpr DWORD MSGQUEUE_ALLOW_BROKEN = 0x00000002;
constexpr DWORD MSGQUEUE_MSGALERT = 0x00000001;

struct MSGQUEUEOPTIONS {
    DWORD dwSize = sizeof(MSGQUEUEOPTIONS);
    DWORD dwFlags = 0;
    DWORD dwMaxMessages = 0;  // 0: no limit
    DWORD cbMaxMessage = 0;
    BOOL bReadAccess = TRUE;
};
static_assert(sizeof(MSGQUEUEOPTIONS) == 20);

// Null with ERROR_INVALID_PARAMETER for a bad options record (wrong size, no
// maximum message size). Opening an existing name keeps that queue's sizes.
HANDLE CreateMsgQueue(const char* name, const MSGQUEUEOPTIONS* options);
// Takes the oldest message, waiting up to timeoutMs for one (INFINITE: no
// limit). Fails with ERROR_TIMEOUT when none came, ERROR_INSUFFICIENT_BUFFER
// when the message is larger than the buffer (it stays queued),
// ERROR_ACCESS_DENIED on a write handle, ERROR_INVALID_HANDLE when the handle
// is not (or no longer) a queue. *flags receives MSGQUEUE_MSGALERT for an
// alert message, else 0.
BOOL ReadMsgQueue(HANDLE queue, void* buffer, DWORD bufferSize, DWORD* bytesRead, DWORD timeoutMs,
                  DWORD* flags);
// Adds a message, waiting up to timeoutMs for room. ERROR_INSUFFICIENT_BUFFER
// for a message above the queue's maximum, ERROR_TIMEOUT when it stays full,
// ERROR_ACCESS_DENIED on a read handle.
BOOL WriteMsgQueue(HANDLE queue, const void* data, DWORD size, DWORD timeoutMs, DWORD flags);
BOOL CloseMsgQueue(HANDLE queue);

// Power broadcast message types (also the bits of the notification mask).
constexpr DWORD PBT_TRANSITION = 0x00000001;
constexpr DWORD PBT_RESUME = 0x00000002;
constexpr DWORD PBT_POWERINFOCHANGE = 0x00000008;
constexpr DWORD POWER_NOTIFY_ALL = 0xFFFFFFFF;

// System power state flags.
constexpr DWORD POWER_STATE_ON = 0x00010000;
constexpr DWORD POWER_STATE_OFF = 0x00020000;
constexpr DWORD POWER_STATE_CRITICAL = 0x00040000;
constexpr DWORD POWER_STATE_BOOT = 0x00080000;
constexpr DWORD POWER_STATE_IDLE = 0x00100000;
constexpr DWORD POWER_STATE_SUSPEND = 0x00200000;
constexpr DWORD POWER_STATE_UNATTENDED = 0x00400000;
constexpr DWORD POWER_STATE_RESET = 0x00800000;
constexpr DWORD POWER_STATE_USERIDLE = 0x01000000;
constexpr DWORD POWER_STATE_BACKLIGHTON = 0x02000000;
constexpr DWORD POWER_STATE_PASSWORD = 0x10000000;
constexpr DWORD POWER_FORCE = 0x00001000;

// A power notification. A queued message is the first 12 + Length bytes:
// the state name of a transition is UTF-8 with its terminator counted in
// Length; resume and power-information messages carry no name (Length 0).
constexpr DWORD POWER_STATE_NAME_BYTES = 524;
struct POWER_BROADCAST {
    DWORD Message = 0;
    DWORD Flags = 0;
    DWORD Length = 0;
    char SystemPowerState[POWER_STATE_NAME_BYTES] = {};
};
constexpr DWORD POWER_BROADCAST_HEADER_BYTES = 12;
static_assert(sizeof(POWER_BROADCAST) == 536);

// Returns a notification handle (not waitable; end it with
// StopPowerNotifications), or null when `queue` is not a message queue.
HANDLE RequestPowerNotifications(HANDLE queue, DWORD mask);
BOOL StopPowerNotifications(HANDLE notification);

// Asks for a system power state by name or by flags; ERROR_SUCCESS or
// ERROR_INVALID_PARAMETER when both are missing. The request is recorded for
// the simulator, which decides what the handset does next.
DWORD SetSystemPowerState(const char* stateName, DWORD state, DWORD options);

constexpr BYTE AC_LINE_OFFLINE = 0x00;
constexpr BYTE AC_LINE_ONLINE = 0x01;
constexpr BYTE AC_LINE_UNKNOWN = 0xFF;
constexpr BYTE BATTERY_FLAG_HIGH = 0x01;
constexpr BYTE BATTERY_FLAG_LOW = 0x02;
constexpr BYTE BATTERY_FLAG_CRITICAL = 0x04;
constexpr BYTE BATTERY_FLAG_CHARGING = 0x08;
constexpr BYTE BATTERY_FLAG_NO_BATTERY = 0x80;
constexpr BYTE BATTERY_PERCENTAGE_UNKNOWN = 0xFF;
constexpr DWORD BATTERY_LIFE_UNKNOWN = 0xFFFFFFFF;

struct SYSTEM_POWER_STATUS_EX2 {
    BYTE ACLineStatus = AC_LINE_UNKNOWN;
    BYTE BatteryFlag = 0;
    BYTE BatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    BYTE Reserved1 = 0;
    DWORD BatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    DWORD BatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
    BYTE Reserved2 = 0;
    BYTE BackupBatteryFlag = 0;
    BYTE BackupBatteryLifePercent = BATTERY_PERCENTAGE_UNKNOWN;
    BYTE Reserved3 = 0;
    DWORD BackupBatteryLifeTime = BATTERY_LIFE_UNKNOWN;
    DWORD BackupBatteryFullLifeTime = BATTERY_LIFE_UNKNOWN;
    DWORD BatteryVoltage = 0;  // mV
    DWORD BatteryCurrent = 0;
    DWORD BatteryAverageCurrent = 0;
    DWORD BatteryAverageInterval = 0;
    DWORD BatterymAHourConsumed = 0;
    DWORD BatteryTemperature = 0;
    DWORD BackupBatteryVoltage = 0;
    BYTE BatteryChemistry = 0;
};
static_assert(sizeof(SYSTEM_POWER_STATUS_EX2) == 56);

// Copies min(length, sizeof record) bytes of the current status; returns the
// count, 0 for a null record.
DWORD GetSystemPowerStatusEx2(SYSTEM_POWER_STATUS_EX2* status, DWORD length, BOOL update);

}  // namespace os

// ---- Simulator side: the power events of a scenario.
namespace os::sim {

// The system enters a power state: PBT_TRANSITION with the flags and name
// (e.g. POWER_STATE_ON | POWER_STATE_BACKLIGHTON | POWER_STATE_PASSWORD, "on";
// 0x00400000, "unattended"; "backlightoff"). False for a name of 524 bytes
// or more, which no record can carry.
bool PowerTransition(DWORD flags, const std::string& stateName);
// The handset woke from suspend: PBT_RESUME.
void PowerResume();
// Battery or charger changed: updates the status, then PBT_POWERINFOCHANGE.
// False, nothing changed, for a percentage above 100.
bool SetPowerInfo(bool acOnline, int batteryPercent);

struct PowerStateRequest {
    std::string name;
    DWORD state = 0;
    DWORD options = 0;
};
std::vector<PowerStateRequest> PowerStateRequests();
// How many notification requests are active.
int ActivePowerNotifications();
// Messages the power manager could not deliver because a queue was full or gone.
int DroppedPowerMessages();
// Back to a fresh boot: no requests, no notifications, battery full on AC.
void ResetPower();

}  // namespace os::sim
