#include "tools/simulator/receiver.h"

#include <cmath>

namespace veltaro::sim {

Fix makeFix(const Route& route, const Sky& sky, std::chrono::sys_seconds time) {
    Fix fix;
    fix.time = time;
    fix.latitude = route.latitude();
    fix.longitude = route.longitude();
    fix.altitude = 520.0;
    fix.geoidSeparation = 47.0;
    fix.speedKnots = route.speedKnots();
    fix.course = route.course();
    fix.inView = sky.inView(time);
    fix.used = usedSatellites(fix.inView);
    // Not a geometry solution: more satellites give smaller figures, in the range receivers report.
    fix.hdop = fix.used.empty() ? 99.9 : 0.5 + 4.0 / static_cast<double>(fix.used.size());
    fix.pdop = 1.8 * fix.hdop;
    fix.vdop = std::sqrt(fix.pdop * fix.pdop - fix.hdop * fix.hdop);
    return fix;
}

void ParkedNoise::apply(Fix& fix) {
    // A first-order Gauss-Markov process: each second keeps 90% of the last error, and the fresh part keeps the
    // spread at sigma.
    constexpr double KEEP = 0.9;
    const double fresh = std::sqrt(1 - KEEP * KEEP);
    std::normal_distribution<double> normal(0.0, 1.0);
    east = KEEP * east + fresh * 1.0 * normal(random);
    north = KEEP * north + fresh * 1.0 * normal(random);
    up = KEEP * up + fresh * 2.0 * normal(random);
    constexpr double METRES_PER_DEGREE = 111320.0;
    fix.latitude += north / METRES_PER_DEGREE;
    fix.longitude += east / (METRES_PER_DEGREE * std::cos(fix.latitude * 3.141592653589793 / 180));
    fix.altitude += up;
    fix.speedKnots = 0;
    fix.course = 0;
}

} // namespace veltaro::sim
