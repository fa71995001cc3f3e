#pragma once

#include <cstdint>
#include <random>

namespace veltaro::sim {

// A car on the road: it keeps to its course and speed for a while, then turns or changes speed,
// steering and accelerating as a car does. The same seed drives the same route.
class Route {
public:
    // Starts at the position (degrees, north and east positive) along the course (degrees from north).
    Route(double latitude, double longitude, double course, std::uint32_t seed);

    void advance(double seconds);

    double latitude() const { return lat; }
    double longitude() const { return lon; }
    double course() const { return heading; }
    double speedMetresPerSecond() const { return speed; }
    double speedKnots() const;

private:
    void step(double seconds); // at most one second
    void chooseManoeuvre();

    std::mt19937 random;
    double lat;
    double lon;
    double heading;
    double speed = 0;
    double targetHeading = 0;
    double targetSpeed = 0;
    double untilManoeuvre = 0;
};

} // namespace veltaro::sim
