#include "gps/history.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <iterator>

namespace veltaro {

namespace {

float strongestFour(const GpsState& state) {
    std::vector<std::int32_t> heard;
    const bool every = state.everySystem != 0;
    const int count = every ? std::clamp<int>(state.allSystems.count, 0, MAX_SYSTEM_SATELLITES)
                            : std::clamp<int>(state.satellites.inView, 0, MAX_SATELLITES);
    for (int i = 0; i < count; ++i) {
        const std::int32_t snr = every ? state.allSystems.snr[i] : state.satellites.snr[i];
        if (snr > 0) {
            heard.push_back(snr);
        }
    }
    const std::size_t n = std::min<std::size_t>(heard.size(), 4);
    if (n == 0) {
        return std::nanf("");
    }
    std::partial_sort(heard.begin(), heard.begin() + static_cast<std::ptrdiff_t>(n), heard.end(), std::greater<>());
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += heard[i];
    }
    return static_cast<float>(sum / static_cast<double>(n));
}

FixKind fixKind(const GpsState& state) {
    if (state.reportsNoFix() || (state.received & (RECEIVED_GGA | RECEIVED_RMC | RECEIVED_GSA)) == 0) {
        return FIX_NONE;
    }
    switch (state.fixQuality) {
    case 4:
        return FIX_RTK_FIXED;
    case 5:
        return FIX_RTK_FLOAT;
    case 2:
        return FIX_DGPS;
    default:
        return state.fixType == 2 ? FIX_2D : FIX_3D;
    }
}

} // namespace

HistorySample sampleOf(const GpsState& state) {
    HistorySample sample;
    if (state.everySystem != 0 && state.usedAllSystems > 0) {
        sample.used = static_cast<std::int16_t>(state.usedAllSystems);
    } else if ((state.received & RECEIVED_SATS_USED) != 0) {
        sample.used = static_cast<std::int16_t>(state.satsUsed);
    }
    if ((state.received & RECEIVED_GSV) != 0) {
        sample.inView =
            static_cast<std::int16_t>(state.everySystem != 0 ? state.allSystems.count : state.satellites.inView);
    }
    sample.cn0 = strongestFour(state);
    // GSA's HDOP is the fix's own; GGA's stands in for receivers that send no GSA.
    if ((state.received & RECEIVED_GSA_HDOP) != 0) {
        sample.hdop = static_cast<float>(state.gsaHdop);
    } else if ((state.received & RECEIVED_GGA) != 0 && state.hdop > 0) {
        sample.hdop = static_cast<float>(state.hdop);
    } else {
        sample.hdop = std::nanf("");
    }
    sample.fix = fixKind(state);
    return sample;
}

History::History() {
    ring.reserve(static_cast<std::size_t>(MAX_SAMPLES));
}

void History::record(const GpsState& state, std::int64_t nowMs) {
    HistorySample sample = sampleOf(state);
    sample.second = nowMs / 1000;
    if (size() > 0 && at(size() - 1).second == sample.second) {
        // The second's sample holds its latest state.
        ring[static_cast<std::size_t>((oldest + size() - 1) % MAX_SAMPLES)] = sample;
        return;
    }
    ++total;
    if (static_cast<std::int64_t>(ring.size()) < MAX_SAMPLES) {
        ring.push_back(sample); // within the reserved room: never reallocates
        return;
    }
    ring[static_cast<std::size_t>(oldest)] = sample;
    oldest = (oldest + 1) % MAX_SAMPLES;
}

std::int64_t History::size() const {
    return static_cast<std::int64_t>(ring.size());
}

const HistorySample& History::at(std::int64_t i) const {
    return ring[static_cast<std::size_t>((oldest + i) % MAX_SAMPLES)];
}

} // namespace veltaro
