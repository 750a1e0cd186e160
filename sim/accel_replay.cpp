#include "sim/accel_replay.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace sim {
namespace {

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") + 1 - first);
}

bool ParseNumber(const std::string& field, double* out)
{
    const std::string text = Trimmed(field);
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, *out);
    return !text.empty() && ec == std::errc() && at == end && std::isfinite(*out);
}

// The four fields of a line, or false when it has another count or one is not a number.
bool ParseRow(const std::string& line, double (&fields)[4])
{
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = line.find(',', start);
        if ((comma == std::string::npos) != (i == 3)) return false;
        if (!ParseNumber(line.substr(start, comma == std::string::npos ? std::string::npos : comma - start), &fields[i]))
            return false;
        start = comma + 1;
    }
    return true;
}

std::int16_t ToCounts(double value, AccelerometerUnits units, int countsPerG)
{
    double counts = value;
    if (units == AccelerometerUnits::MetresPerSecondSquared) counts = value / kStandardGravity * countsPerG;
    if (units == AccelerometerUnits::G) counts = value * countsPerG;
    return static_cast<std::int16_t>(std::clamp(std::round(counts), -32768.0, 32767.0));
}

}  // namespace

bool ParseAccelReplay(const std::string& text, AccelerometerUnits units, int countsPerG,
                      std::vector<os::sim::AccelerometerRow>* out, std::string* error)
{
    std::vector<os::sim::AccelerometerRow> rows;
    std::size_t start = 0;
    for (std::size_t number = 1; start < text.size(); ++number) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (Trimmed(line).empty()) continue;
        double fields[4] = {};
        if (!ParseRow(line, fields)) {
            if (number == 1) continue;  // the header
            *error = "line " + std::to_string(number) + ": expected time_ms,x,y,z as four numbers";
            return false;
        }
        const double ms = fields[0];
        if (ms < 0 || ms != std::floor(ms) || ms > 1e15) {
            *error = "line " + std::to_string(number) + ": the time is not whole milliseconds from 0";
            return false;
        }
        const auto timeMs = static_cast<std::int64_t>(ms);
        if (!rows.empty() && timeMs < rows.back().timeMs) {
            *error = "line " + std::to_string(number) + ": the time goes back";
            return false;
        }
        rows.push_back({timeMs,
                        {ToCounts(fields[1], units, countsPerG), ToCounts(fields[2], units, countsPerG),
                         ToCounts(fields[3], units, countsPerG)}});
    }
    if (rows.empty()) {
        *error = "no rows of time_ms,x,y,z";
        return false;
    }
    *out = std::move(rows);
    return true;
}

}  // namespace sim
