#pragma once

#include "gps/gps_state.h"

#include <string>

namespace veltaro {

// What reading every satellite system keeps from line to line: the GSV cycle of each system and
// signal, and the satellites each system's latest GSA used.
struct SystemCycles {
    struct Sighting {
        char system;
        std::int32_t prn;
        std::int32_t elevation;
        std::int32_t azimuth;
        std::int32_t snr;
    };
    struct Cycle {
        char talker = 0;           // the GSV talker's system, '?' for a combined (GN) talker
        std::int32_t signal = 0;   // the signal ID of NMEA 4.11, 0 where none is sent
        std::int32_t gathered = 0; // satellites of the cycle so far
        std::int32_t complete = 0; // satellites of the last complete cycle
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

// Decodes one line (as decodeSentence takes it) reading every satellite system: GGA, RMC and GSA of any
// talker by the rules of their "$GP" forms, each system's GSV cycles into state.allSystems, and "$GPGSV"
// into state.satellites as well. True when the line reported a position with a fix.
bool decodeEverySystem(GpsState& state, SatelliteTable& working, SystemCycles& cycles, char* line, int count);

// How a line stands to the two ways of reading.
enum SentenceKind {
    SENTENCE_NONE,         // not a sentence: no "$" at its start
    SENTENCE_GPS,          // "$GPGGA", "$GPRMC", "$GPGSA" or "$GPGSV": always read
    SENTENCE_OTHER_SYSTEM, // a position or satellite sentence of another system: read on request
    SENTENCE_OTHER,        // never read
};

// The kind of a line, given a count at least its length, and its sentence name (at most 10 characters).
SentenceKind sentenceKind(const char* line, int count, std::string& name);

} // namespace veltaro
