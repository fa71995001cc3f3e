#pragma once

#include "gps/gps_state.h"

#include <algorithm>
#include <cstdio>

namespace veltaro {

// The satellites a view shows: the GPS table, or, while every system is read, every system's satellites
// labelled with their system's letter ("E11").
class SatelliteList {
public:
    explicit SatelliteList(const GpsState& state) : state(state), every(state.everySystem != 0) {}

    // Entries past a table's size, or a negative count from a broken sentence, are not shown.
    int count() const {
        return every ? std::clamp<int>(state.allSystems.count, 0, MAX_SYSTEM_SATELLITES)
                     : std::clamp<int>(state.satellites.inView, 0, MAX_SATELLITES);
    }
    bool labelsSystems() const { return every; }
    int elevation(int i) const { return every ? state.allSystems.elevation[i] : state.satellites.elevation[i]; }
    int azimuth(int i) const { return every ? state.allSystems.azimuth[i] : state.satellites.azimuth[i]; }
    int snr(int i) const { return every ? state.allSystems.snr[i] : state.satellites.snr[i]; }
    // In a valid fix, as the GSA said.
    bool used(int i) const {
        return every ? state.rmcValid != 0 && state.allSystems.used[i] != 0
                     : state.isSatelliteUsed(state.satellites.prn[i]);
    }
    void label(int i, char* text, int size) const {
        if (every) {
            std::snprintf(text, static_cast<std::size_t>(size), "%c%i", state.allSystems.system[i],
                          state.allSystems.prn[i]);
        } else {
            std::snprintf(text, static_cast<std::size_t>(size), "%i", state.satellites.prn[i]);
        }
    }

private:
    const GpsState& state;
    bool every;
};

} // namespace veltaro
