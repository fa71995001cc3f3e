#pragma once

#include "gps/gps_state.h"

#include <cstdint>
#include <limits>

namespace veltaro {

// What reading every satellite system keeps from line to line: the GSV cycle of each system and
// signal, and the satellites each system's latest GSA used.
struct SystemCycles {
    static constexpr std::int64_t NEVER = std::numeric_limits<std::int64_t>::min();
    // A cycle not completed again for this long is gone, with its satellites: receivers report every
    // few seconds at the least, and a satellite that has set is simply no longer reported.
    static constexpr std::int64_t CYCLE_LIFETIME_MS = 10000;

    struct Sighting {
        char system;
        std::int32_t prn;
        std::int32_t elevation;
        std::int32_t azimuth;
        std::int32_t snr;
    };
    struct Cycle {
        char talker = 0;                  // the GSV talker's system, '?' for a combined (GN) talker
        std::int32_t signal = 0;          // the signal ID of NMEA 4.11, 0 where none is sent
        std::int32_t gathered = 0;        // satellites of the cycle so far
        std::int32_t complete = 0;        // satellites of the last complete cycle
        std::int64_t completedMs = NEVER; // when it was last completed
        std::int32_t next = 0;            // the message number the cycle being gathered waits for; 0 for none
        Sighting gathering[MAX_SATELLITES] = {};
        Sighting last[MAX_SATELLITES] = {};
    };
    struct UsedList {
        char key = 0; // the system the GSA is for
        std::int32_t count = 0;
        char system[USED_PRN_COUNT] = {};
        std::int32_t prn[USED_PRN_COUNT] = {};
    };
    static constexpr int MAX_CYCLES = 32;
    static constexpr int MAX_USED_LISTS = 8;

    Cycle cycles[MAX_CYCLES];
    int cycleCount = 0;
    UsedList used[MAX_USED_LISTS];
    int usedCount = 0;
};

// The system of a talker sentence's name ("$GLGSV" gives 'R'): 'G' for GP alone, '?' for the combined
// talker GN, 0 for a talker not read.
char talkerSystemOf(const char* name);

// A satellite number as a talker's system sends it ('G' for GP, '?' for GN), to its system and its number
// within that system: GPS talkers list SBAS (33-64) and QZSS (193-202) too.
void identifySatellite(char talker, int number, char& system, std::int32_t& prn);

// The signal ID a GSV's fields end with (NMEA 4.10), or -1 when they carry none.
int gsvSignalId(const char* fields);

// Reading every satellite system, given the fields after the name and the talker's system: a GSV message into
// its system's and signal's cycle, a GSA into its system's used list; state.allSystems follows.
void readSystemGsv(GpsState& state, SystemCycles& cycles, char system, const char* fields, std::int64_t nowMs);
void readSystemGsa(GpsState& state, SystemCycles& cycles, char system, const char* fields);

// Removes the cycles not completed again within CYCLE_LIFETIME_MS of nowMs, with their satellites.
void expireCycles(GpsState& state, SystemCycles& cycles, std::int64_t nowMs);

} // namespace veltaro
