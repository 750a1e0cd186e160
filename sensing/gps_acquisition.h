// GPS acquisition: the receiver is found through the GPS driver's device
// state, whose multiplexer port is read at 4800 baud by the serial reader;
// its bytes go into the NMEA parser, and an update worker rebuilds the live
// GpsFix from the parser once a second (see gps_update.h).
//
// Acquisition runs from GpsInit to GpsDeinit, both on the main window's
// thread. Without a receiver the user is asked whether to go on without GPS:
// the live record then stays all zero, and a GPS log still works but gets no
// records.
#pragma once

#include <cstdint>

#include "platform/base/types.h"
#include "sensing/gps_fix.h"

// Makes the parser and the GPS lock, opens the receiver's port and starts
// the update worker. Without a receiver: 1 when the user goes on without
// GPS, 0 when they decline.
int GpsInit(os::HWND hwnd);
// Stops a running log, ends the workers, closes the port and frees the
// parser and the locks. 0 when a worker did not end: what it uses is then
// kept, and the application state must be kept too.
int GpsDeinit(os::HWND hwnd);

// The serial reader's callback; arg is the GpsState.
void GpsDataCallback(const uint8_t* data, uint32_t size, void* arg);

// A copy of the live record taken under the GPS lock.
int GpsGetFix(os::HWND hwnd, GpsFix* out);
