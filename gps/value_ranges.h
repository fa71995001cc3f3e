#pragma once

#include "gps/gps_state.h"

#include <cstdint>

namespace veltaro {

// A receiver, or a corrupted line sent without a checksum, can report values no receiver can mean: hour 99,
// 99999 knots, DOP -2.5. Such a value counts as not received: its Received bit is cleared, a sighting's
// field reads as an empty one (0), and speed, course and GGA's HDOP, which have no bit, become NaN.
// Applied after every line, so the state views read never holds an out-of-range value as received.
void refuseOutOfRange(GpsState& state);

// One GSV sighting: a position off the sky or a signal past 99 dB reads as an empty field.
void refuseOutOfRange(std::int32_t& elevation, std::int32_t& azimuth, std::int32_t& snr);

} // namespace veltaro
