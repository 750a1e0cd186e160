// The GPS update: one step of the update worker turns the parser's latest
// values into the live GpsFix, grades the signal, keeps the displayed speed
// and, while a GPS log runs, its distance and its records.
#pragma once

#include <cstdint>

#include "sensing/gps_state.h"

// Signal level 1 (no usable fix) to 6 from the GSA fix type, the PDOP and
// the number of satellites in view that take part in the fix.
uint8_t GradeSignalLevel(uint8_t fixType, float pdop, uint32_t usedCount);

// Rebuilds gps->fix from the parser (parser lock), then, under the GPS lock,
// the displayed speed, the log distance and the log record. Nothing happens
// without a parser.
void GpsUpdate(GpsState* gps);
