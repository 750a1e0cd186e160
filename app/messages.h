// The program's own window messages and commands.
#pragma once

#include "platform/windows/window.h"

constexpr os::UINT WM_RECORDER_PHONE_STATE = 10338;
// The lParam the phone-state notification carries for the call state.
constexpr os::LPARAM kPhoneStateUserData = 2069;
constexpr os::UINT WM_RECORDER_INIT = 10435;
constexpr os::UINT WM_RECORDER_GPS_PORT_CLOSE = 10436;
constexpr os::UINT WM_RECORDER_GPS_PORT_OPEN = 10437;
constexpr os::UINT WM_RECORDER_ACTIVATE = 10523;
constexpr os::UINT WM_RECORDER_ACCIDENT_ALERT = 10535;
constexpr os::UINT WM_RECORDER_SMS_POPUP = 10539;

constexpr os::UINT IDOK = 1;
constexpr os::UINT IDM_ABOUT = 40002;
constexpr os::UINT IDM_REC_START = 40004;
constexpr os::UINT IDM_REC_STOP = 40005;
constexpr os::UINT IDM_BUTTON = 40007;
constexpr os::UINT IDM_REC_PAUSE = 40008;
constexpr os::UINT IDM_SETTINGS = 40009;

// lParam of WM_CLOSE: an orderly exit, and the power thread's power loss.
constexpr os::LPARAM kCloseOrderly = 7;
constexpr os::LPARAM kClosePowerLoss = 1911;

constexpr const char* kAppTitle = "Ardvane";

// String 26: no storage card; shown at start-up and when recording starts.
constexpr os::UINT kNoStorageCard = 26;
// The full-screen flags the main window is shown with: no task bar, no input-panel button.
constexpr os::DWORD kFullScreenFlags = 24;
