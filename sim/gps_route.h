// A drive along waypoints: where the simulated receiver is at a given time.
// Each waypoint gives the speed of the leg that starts there; the route is
// driven once and then stands at its last waypoint, or, looped, drives on
// from the last waypoint back to the first, again and again.
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct GpsWaypoint {
    double latitude = 0;   // decimal degrees, south negative
    double longitude = 0;  // decimal degrees, west negative
    double speedKmh = 50;  // on the leg from here to the next waypoint
    bool operator==(const GpsWaypoint&) const = default;
};

struct RoutePosition {
    double latitude = 0;
    double longitude = 0;
    double speedKmh = 0;
    double courseDeg = 0;  // true course, 0 to 360
};

// The position elapsedMs after the start of the drive. An empty route is at 0, 0.
RoutePosition PositionOnRoute(const std::vector<GpsWaypoint>& route, bool loop, std::int64_t elapsedMs);

// Length of the leg between two points in km (the earth as a sphere, legs
// short enough to be straight).
double LegKm(const GpsWaypoint& from, const GpsWaypoint& to);

}  // namespace sim
