#include "ui/indicators.h"

#include <algorithm>

namespace {

constexpr double kBytesPerMB = 1048576.0;
constexpr double kReserveSlack = 4096.0;

int ClampPercent(double p)
{
    if (!(p > 0)) return 0;  // also NaN
    return p >= 100 ? 100 : static_cast<int>(p);
}

}  // namespace

MemoryGauge ComputeMemoryGauge(std::uint64_t usableTotal, std::uint64_t evtTotal, std::uint64_t evtFree,
                               std::uint32_t minFreeSpaceMB)
{
    MemoryGauge gauge;
    if (usableTotal == 0) return gauge;
    const double reserve = minFreeSpaceMB * kBytesPerMB - kReserveSlack;
    const double window = static_cast<double>(kGaugeWindowBytes);
    const double total = static_cast<double>(usableTotal);
    const double events = static_cast<double>(evtTotal);
    if (usableTotal > kGaugeWindowBytes && evtFree < kGaugeWindowBytes) {
        gauge.continuous = true;
        gauge.percent = ClampPercent((events - (total - window) + reserve) / window * 100);
    } else {
        gauge.percent = ClampPercent((events + reserve) / total * 100);
    }
    return gauge;
}

int MemoryGaugeLength(const MemoryGauge& gauge, int fullLength)
{
    const int percent = std::clamp(gauge.percent, 0, 100);
    if (gauge.continuous) return percent * fullLength / 100;
    return percent / 10 * fullLength / 10;
}

int MemoryGaugeLevel(int percent)
{
    if (percent < 50) return 1;
    return percent < 70 ? 2 : 3;
}

int BatteryCell(bool externalPower, int percent)
{
    if (externalPower) return 0;
    if (percent >= 80) return 1;
    if (percent >= 40) return 2;
    return percent >= 15 ? 3 : 4;
}

int GpsCellLeft(int imageWidth, int cellWidth, int state)
{
    if (cellWidth <= 0 || imageWidth < cellWidth) return 0;
    const int cells = imageWidth / cellWidth;
    return imageWidth - std::clamp(state, 1, cells) * cellWidth;
}

int OnAirCellLeft(int recordingFileStatus, int cellWidth)
{
    return recordingFileStatus == 0 ? 0 : 2 * cellWidth;
}

int MemoryIconHalf(std::string_view selectDisk)
{
    return selectDisk.find("Storage Card") != std::string_view::npos ? 1 : 0;
}
