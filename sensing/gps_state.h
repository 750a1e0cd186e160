// The GPS part of the application state: the NMEA parser fed by the serial
// worker, the live GpsFix built from it once a second by the update worker,
// and the GPS log. Zero-filled with the application state; GpsInit makes the
// parser, the two locks and the workers, GpsDeinit ends and frees them.
//
// Locks: parserLock guards the parser (the serial worker feeds it, the
// update worker copies it out); lock, the GPS lock, guards everything else
// here between the update worker and the main window. No thread holds both.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/kernel/sync.h"
#include "platform/base/types.h"
#include "recorder/avi/recording_summary.h"
#include "sensing/gps_fix.h"

class CNMEAParser;
struct SerialReader;

struct GpsState {
    CNMEAParser* parser = nullptr;
    os::CRITICAL_SECTION parserLock;
    os::CRITICAL_SECTION lock;  // the GPS lock
    std::atomic<bool> locksMade{false};  // the recorder reads it from the streaming threads

    GpsFix fix{};                  // the live record; all zero until the first update
    float displayedSpeedKmh = 0;   // as the screens show it
    float previousLatitude = 0;    // the last position counted into logDistanceKm
    float previousLongitude = 0;

    os::HANDLE logFile = nullptr;  // null while no log is open
    uint32_t logRecordCount = 0;   // 1 when a log starts; one more per record written
    RecordingSummary logSummary{};
    float logDistanceKm = 0;
    os::SYSTEMTIME logStartTime{};
    os::SYSTEMTIME logStopTime{};
    int logging = 0;
    uint32_t logFailedRecords = 0;  // records lost since the last one written (a full card)

    SerialReader* serial = nullptr;
    os::HANDLE updateThread = nullptr;
    os::HANDLE updateStop = nullptr;  // manual reset: ends the update worker
};
