#include "gps/value_ranges.h"

#include <cmath>
#include <limits>

namespace veltaro {

namespace {

constexpr double NO_VALUE = std::numeric_limits<double>::quiet_NaN();
// What receivers send for a dilution they cannot compute.
constexpr double DOP_NOT_KNOWN = 99.99;

bool within(double value, double least, double most) {
    return value >= least && value <= most; // false for NaN
}

bool dopWithin(double value) {
    return within(value, 0, 100) && std::abs(value - DOP_NOT_KNOWN) > 1e-9;
}

void keepIf(GpsState& state, Received bit, bool inRange) {
    if (!inRange) {
        state.received &= ~static_cast<std::uint32_t>(bit);
    }
}

} // namespace

void refuseOutOfRange(std::int32_t& elevation, std::int32_t& azimuth, std::int32_t& snr) {
    if (elevation < -90 || elevation > 90 || azimuth < 0 || azimuth > 359) {
        elevation = 0; // 0 and 0 is "no position sent": the sky plot leaves it out
        azimuth = 0;
    }
    if (snr < 0 || snr > 99) {
        snr = 0;
    }
}

void refuseOutOfRange(GpsState& state) {
    keepIf(state, RECEIVED_TIME,
           within(state.hour, 0, 23) && within(state.minute, 0, 59) && within(state.second, 0, 60));
    keepIf(state, RECEIVED_DATE, within(state.day, 1, 31) && within(state.month, 1, 12));
    keepIf(state, RECEIVED_ALTITUDE, within(state.altitude, -1000, 100000));
    keepIf(state, RECEIVED_SATS_USED, within(state.satsUsed, 0, 99));
    keepIf(state, RECEIVED_PDOP, dopWithin(state.pdop));
    keepIf(state, RECEIVED_GSA_HDOP, dopWithin(state.gsaHdop));
    keepIf(state, RECEIVED_VDOP, dopWithin(state.vdop));
    if (!within(state.speedKnots, 0, 10000)) {
        state.speedKnots = NO_VALUE;
    }
    if (!within(state.course, 0, 360)) {
        state.course = NO_VALUE;
    }
    if (!dopWithin(state.hdop)) {
        state.hdop = NO_VALUE;
    }
    // Every system's sightings are refused as they are read, before the strongest signal is chosen.
    SatelliteTable& gps = state.satellites;
    for (int i = 0; i < MAX_SATELLITES; ++i) {
        refuseOutOfRange(gps.elevation[i], gps.azimuth[i], gps.snr[i]);
    }
}

} // namespace veltaro
