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

} // namespace veltaro::sim
