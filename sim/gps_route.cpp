#include "sim/gps_route.h"

#include <cmath>
#include <numbers>

namespace sim {
namespace {

constexpr double kEarthRadiusKm = 6371.0;
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;

struct LegVector {
    double northKm;
    double eastKm;
};

LegVector Vector(const GpsWaypoint& from, const GpsWaypoint& to)
{
    const double meanLatitude = (from.latitude + to.latitude) / 2 * kRadiansPerDegree;
    return {(to.latitude - from.latitude) * kRadiansPerDegree * kEarthRadiusKm,
            (to.longitude - from.longitude) * kRadiansPerDegree * kEarthRadiusKm * std::cos(meanLatitude)};
}

double LegMs(const GpsWaypoint& from, const GpsWaypoint& to)
{
    return LegKm(from, to) / from.speedKmh * 3'600'000.0;
}

RoutePosition OnLeg(const GpsWaypoint& from, const GpsWaypoint& to, double fraction)
{
    const LegVector v = Vector(from, to);
    double course = std::atan2(v.eastKm, v.northKm) / kRadiansPerDegree;
    if (course < 0) course += 360;
    return {from.latitude + (to.latitude - from.latitude) * fraction,
            from.longitude + (to.longitude - from.longitude) * fraction, from.speedKmh, course};
}

}  // namespace

double LegKm(const GpsWaypoint& from, const GpsWaypoint& to)
{
    const LegVector v = Vector(from, to);
    return std::hypot(v.northKm, v.eastKm);
}

RoutePosition PositionOnRoute(const std::vector<GpsWaypoint>& route, bool loop, std::int64_t elapsedMs)
{
    if (route.empty()) return {};
    const std::size_t legs = loop && route.size() > 1 ? route.size() : route.size() - 1;
    double totalMs = 0;
    for (std::size_t i = 0; i < legs; ++i) totalMs += LegMs(route[i], route[(i + 1) % route.size()]);
    double t = static_cast<double>(elapsedMs);
    if (loop && totalMs > 0) t = std::fmod(t, totalMs);
    for (std::size_t i = 0; i < legs; ++i) {
        const GpsWaypoint& from = route[i];
        const GpsWaypoint& to = route[(i + 1) % route.size()];
        const double legMs = LegMs(from, to);
        if (t < legMs) return OnLeg(from, to, t / legMs);
        t -= legMs;
    }
    const GpsWaypoint& last = route.back();
    return {last.latitude, last.longitude, 0, 0};
}

}  // namespace sim
