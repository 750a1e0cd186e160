// The GPS log: one ".gps" file per log, written while logging is on.
//
//   0    "PGPSSTRT", 56 zero bytes
//   64   the 128-byte RecordingSummary (zero until the log is stopped)
//   192  u32 record count (1 until the log is stopped)
//   196  the 316-byte GpsFix records, marked 0xFFFFFFFE, indexed from 0
//   then 56 zero bytes and "PGPSFEND"
//
// At the stop the first 196 bytes are written again with the summary and the
// count of records (a log without records also says 1). Everything here runs
// under the GPS lock. A record that cannot be written is not counted and
// logging goes on.
#pragma once

#include "platform/base/types.h"
#include "sensing/gps_state.h"

// Creates the log file at path (replacing one there) and starts logging;
// the start sound first if asked. 0, nothing changed, when a log already
// runs, the file cannot be written, or GPS was never set up.
int GpsLogStart(os::HWND hwnd, const char* path, int playSound);
// Ends the running log and closes its file, then the stop sound if asked.
// 0 when no log was running.
int GpsLogStop(os::HWND hwnd, int playSound);

// For the update step, with the GPS lock held: appends the live record.
void GpsLogAppendFix(GpsState* gps);
