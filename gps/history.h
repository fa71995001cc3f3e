#pragma once

#include "gps/gps_state.h"

#include <cstdint>
#include <vector>

namespace veltaro {

// What kind of fix a receiver reports, worst first.
enum FixKind : std::uint8_t {
    FIX_NONE = 0,
    FIX_2D = 1,
    FIX_3D = 2,
    FIX_DGPS = 3,
    FIX_RTK_FLOAT = 4,
    FIX_RTK_FIXED = 5,
};

// One second of a receiver, as the history charts show it.
struct HistorySample {
    std::int64_t second = 0; // of the computer's clock
    std::int16_t used = -1;  // satellites used; -1 when the receiver did not say
    std::int16_t inView = -1;
    float cn0 = 0;  // the average C/N0 of the four strongest satellites, dB-Hz; NaN when none is heard
    float hdop = 0; // NaN when the receiver did not say
    FixKind fix = FIX_NONE;
};

// The fix kind, satellites, signal and HDOP a state shows.
HistorySample sampleOf(const GpsState& state);

// The last MAX_SAMPLES seconds of a receiver, a sample a second: the latest state of each second that brought
// data. A second without data has no sample, and the charts show a gap there.
class History {
public:
    static constexpr std::int64_t MAX_SAMPLES = 6 * 3600;

    History();
    // Records the state as the sample of the second nowMs falls in.
    void record(const GpsState& state, std::int64_t nowMs);

    std::int64_t size() const;
    // Sample i, the oldest first.
    const HistorySample& at(std::int64_t i) const;
    // How many samples were ever recorded: changes with each new second.
    std::int64_t recorded() const { return total; }

private:
    std::vector<HistorySample> ring; // the oldest at `oldest` once full
    std::int64_t oldest = 0;
    std::int64_t total = 0;
};

} // namespace veltaro
