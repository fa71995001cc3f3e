#pragma once

#include "tools/simulator/nmea_writer.h"

#include <chrono>
#include <cstdint>
#include <vector>

namespace veltaro::sim {

// The satellites overhead, a function of the time. Sixteen satellites cross the sky on evenly spread
// passes of about a quarter of an hour (far faster than real orbits, so a viewer sees them rise and set),
// so that at every moment eight to ten are in view, at least five of them high enough to use; a whole
// cycle then fits into a second at 4800 baud.
class Sky {
public:
    explicit Sky(std::uint32_t seed);

    // Above the horizon at the time, ordered by PRN.
    std::vector<Satellite> inView(std::chrono::sys_seconds time) const;

private:
    struct Pass {
        int prn;
        double phase;        // where in the round the pass starts, 0 to 1
        double maxElevation; // degrees, at the middle of the pass
        double riseAzimuth;  // degrees
        double sweep;        // degrees of azimuth crossed from rising to setting, either way round
        int snrOffset;       // this satellite's signal against the others, dB
    };
    std::vector<Pass> passes;
};

// The satellites a receiver uses: at least 10 degrees up, the 12 highest at most; PRNs in ascending order.
std::vector<int> usedSatellites(const std::vector<Satellite>& inView);

} // namespace veltaro::sim
