#include "tools/simulator/route.h"

#include <algorithm>
#include <cmath>

namespace veltaro::sim {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr double EARTH_RADIUS = 6371000.0; // metres, the mean radius
constexpr double TURN_RATE = 6.0;          // degrees per second: a car taking a bend
constexpr double ACCELERATION = 1.5;       // metres per second squared, either way
constexpr double METRES_PER_NAUTICAL_MILE = 1852.0;

double radians(double degrees) {
    return degrees * PI / 180.0;
}

double degrees(double radians) {
    return radians * 180.0 / PI;
}

// Into [0, 360).
double normalizeCourse(double course) {
    const double c = std::fmod(course, 360.0);
    return c < 0 ? c + 360.0 : c;
}

} // namespace

Route::Route(double latitude, double longitude, double course, std::uint32_t seed)
    : random(seed), lat(latitude), lon(longitude), heading(normalizeCourse(course)) {
    chooseManoeuvre();
    targetHeading = heading; // set off straight ahead
    speed = targetSpeed;
}

double Route::speedKnots() const {
    return speed * 3600.0 / METRES_PER_NAUTICAL_MILE;
}

void Route::advance(double seconds) {
    while (seconds > 0) {
        const double dt = std::min(seconds, 1.0);
        step(dt);
        seconds -= dt;
    }
}

void Route::chooseManoeuvre() {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // Town and country roads, 30 to 100 km/h.
    targetSpeed = 8.0 + 20.0 * unit(random);
    // Most manoeuvres are turns of 15 to 100 degrees either way; the rest only change speed.
    if (unit(random) < 0.7) {
        const double turn = 15.0 + 85.0 * unit(random);
        targetHeading = normalizeCourse(heading + (unit(random) < 0.5 ? -turn : turn));
    }
    untilManoeuvre = 20.0 + 40.0 * unit(random);
}

void Route::step(double seconds) {
    untilManoeuvre -= seconds;
    if (untilManoeuvre <= 0) {
        chooseManoeuvre();
    }

    // Steer the short way round towards the target course.
    double turn = std::fmod(targetHeading - heading + 540.0, 360.0) - 180.0;
    turn = std::clamp(turn, -TURN_RATE * seconds, TURN_RATE * seconds);
    heading = normalizeCourse(heading + turn);
    speed += std::clamp(targetSpeed - speed, -ACCELERATION * seconds, ACCELERATION * seconds);

    // Within a second the earth is flat enough: metres north and east to degrees.
    const double distance = speed * seconds;
    lat += degrees(distance * std::cos(radians(heading)) / EARTH_RADIUS);
    lon += degrees(distance * std::sin(radians(heading)) / (EARTH_RADIUS * std::cos(radians(lat))));
    if (lon > 180.0) {
        lon -= 360.0;
    } else if (lon <= -180.0) {
        lon += 360.0;
    }
}

} // namespace veltaro::sim
