#pragma once

#include "gps/gps_state.h"

namespace veltaro {

// Decodes one NMEA line (NUL-terminated, without its CR/LF) into state. count is the length
// readLine reported, at least the line's length. The first comma within count characters is
// overwritten, even behind a NUL.
// Only $GPGGA, $GPRMC, $GPGSA and $GPGSV are understood; every other line is ignored.
// working is the GSV table being filled; it is committed to state at the end of each cycle.
// True when the line reported a position with a fix (see GpsState::fixLatitude).
bool decodeSentence(GpsState& state, SatelliteTable& working, char* line, int count);

// One per sentence, given the text after the sentence name and its comma. GGA and RMC return whether
// they reported a position with a fix.
bool decodeGga(GpsState& state, const char* fields);
bool decodeRmc(GpsState& state, const char* fields);
void decodeGsa(GpsState& state, const char* fields);
void decodeGsv(GpsState& state, SatelliteTable& working, const char* fields);

// Field conversions over n characters of text.
int parseDecimal(const char* text, int n);
double parseReal(const char* text, int n);
double convertCoordinate(const char* text, int n); // ddmm.mmmm to hundredths of a degree

// Whether a sentence carries a checksum ("*" and two hex digits) that does not match its text, given
// the line without its CR/LF and a count at least its length, as readLine reports. A line without "*"
// has nothing to check.
bool hasBadChecksum(const char* line, int length);
// Whether a sentence ("$" or "!") ends in "*" and two hex digits that match its text, given the line without
// its CR/LF.
bool hasGoodChecksum(const char* line, int length);

// Orders the first min(inView, 32) entries by ascending PRN.
void sortSatellites(SatelliteTable& table);

} // namespace veltaro
