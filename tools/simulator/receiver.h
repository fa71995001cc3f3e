#pragma once

#include "tools/simulator/nmea_writer.h"
#include "tools/simulator/route.h"
#include "tools/simulator/sky.h"

#include <chrono>

namespace veltaro::sim {

// What a receiver on the route reports at the time: its position, speed and course with a 3D fix
// from the satellites in view.
Fix makeFix(const Route& route, const Sky& sky, std::chrono::sys_seconds time);

} // namespace veltaro::sim
