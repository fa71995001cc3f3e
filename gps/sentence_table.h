#pragma once

#include "gps/every_system.h"
#include "gps/gps_state.h"

#include <cstdint>

namespace veltaro {

// How a sentence is read in each of the two ways of reading.
enum SentenceKind {
    KIND_FIX,        // position, motion, fix and DOP: "$GP" only by default, every talker with every system
    KIND_SATELLITES, // satellites in view: "$GP" L1 C/A by default, every talker and signal with every system
    KIND_ANY_TALKER, // time and error estimates: whichever talker sends them, in both ways
};

// What one line's decoder works on.
struct SentenceContext {
    GpsState& state;
    SatelliteTable& working; // the GPS satellite table being gathered
    SystemCycles* cycles;    // every system's cycles while every system is read, else null
    char system;             // the talker's system (talkerSystemOf)
    std::int64_t nowMs = 0;  // when the line arrived
};

// One kind of sentence: the address after its talker, how it is read, and its decoder, which returns
// whether the line reported a position with a fix.
struct SentenceType {
    const char* type; // "GGA"
    SentenceKind kind;
    bool original; // one of the four "$GP" sentences the GPS views were built on
    bool position; // a position sentence: named first among those not read
    bool (*decode)(SentenceContext& context, const char* fields);
};

// The row for a sentence name ("$GNGGA", any case) and its talker's system; null when no row reads it.
const SentenceType* findSentence(const char* name, char& system);

// Decodes one line (as decodeSentence takes it) reading every satellite system: each row's sentence of any
// talker, each system's GSV cycles into state.allSystems and the GPS L1 cycle into state.satellites as well.
// True when the line reported a position with a fix.
bool decodeEverySystem(GpsState& state, SatelliteTable& working, SystemCycles& cycles, char* line, int count,
                       std::int64_t nowMs = 0);

} // namespace veltaro
