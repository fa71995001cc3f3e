#pragma once

#include "tools/simulator/nmea_writer.h"
#include "tools/simulator/route.h"
#include "tools/simulator/sky.h"

#include <chrono>
#include <cstdint>
#include <random>

namespace veltaro::sim {

// What a receiver on the route reports at the time: its position, speed and course with a 3D fix
// from the satellites in view.
Fix makeFix(const Route& route, const Sky& sky, std::chrono::sys_seconds time);

// The position error of a receiver that stands still: about a metre each way horizontally and two vertically,
// wandering over some ten seconds as real receivers' errors do, not jumping from fix to fix.
class ParkedNoise {
public:
    explicit ParkedNoise(std::uint32_t seed) : random(seed) {}
    // Moves the fix by the next second's error and stills it.
    void apply(Fix& fix);

private:
    std::mt19937 random;
    double east = 0; // metres
    double north = 0;
    double up = 0;
};

} // namespace veltaro::sim
