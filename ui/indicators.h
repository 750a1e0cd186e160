// What the status indicators of the recording screen show, as numbers: the
// memory gauge's fill, the battery, GPS, on-air and memory icon cells. Pure
// functions of the values the screen reads; the drawing uses them.
//
// Every result stays within its picture: a gauge never divides by zero nor
// goes below 0 % or above 100 %, and a state outside an icon's cells is
// brought to the nearest one.
#pragma once

#include <cstdint>
#include <string_view>

// The room for ordinary clips below which the gauge starts to fill: 120 MiB.
constexpr std::uint64_t kGaugeWindowBytes = 125829120;

struct MemoryGauge {
    int percent = 0;          // 0 to 100
    bool continuous = false;  // drawn pixel by pixel (little room left), else in whole tens
};

// From the space counters and MinFreeSpaceMB.
MemoryGauge ComputeMemoryGauge(std::uint64_t usableTotal, std::uint64_t evtTotal, std::uint64_t evtFree,
                               std::uint32_t minFreeSpaceMB);
// The bar's length in pixels for a full bar of fullLength pixels.
int MemoryGaugeLength(const MemoryGauge& gauge, int fullLength);
// The bar's colour level: 1 below 50 %, 2 below 70 %, 3 from 70 %.
int MemoryGaugeLevel(int percent);

// The battery picture's cell, 0 to 4: 0 on external power, then by charge.
int BatteryCell(bool externalPower, int percent);
// The left edge, in the GPS picture, of the cell for `state` (1 is the
// rightmost cell); the cell count is imageWidth / cellWidth.
int GpsCellLeft(int imageWidth, int cellWidth, int state);
// The on-air mark's cell: recording (state 0) or not.
int OnAirCellLeft(int recordingFileStatus, int cellWidth);
// The memory picture's half: 1 (right) for a storage card, 0 otherwise.
int MemoryIconHalf(std::string_view selectDisk);
