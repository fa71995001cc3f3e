#pragma once

#include "gps/gps_state.h"

namespace veltaro {

// Decodes one NMEA line (NUL-terminated, without its CR/LF) into state. count is the length
// readLine reported, at least the line's length. The first comma within count characters is
// overwritten, even behind a NUL.
// Only $GPGGA, $GPRMC, $GPGSA and $GPGSV are understood; every other line is ignored.
// working is the GSV table being filled; it is committed to state at the end of each cycle.
void decodeSentence(GpsState& state, SatelliteTable& working, char* line, int count);

// One per sentence, given the text after the sentence name and its comma.
void decodeGga(GpsState& state, const char* fields);
void decodeRmc(GpsState& state, const char* fields);
void decodeGsa(GpsState& state, const char* fields);
void decodeGsv(GpsState& state, SatelliteTable& working, const char* fields);

// Field conversions over n characters of text.
int parseDecimal(const char* text, int n);
double parseReal(const char* text, int n);
double convertCoordinate(const char* text, int n); // ddmm.mmmm to hundredths of a degree

// Orders the first min(inView, 32) entries by ascending PRN.
void sortSatellites(SatelliteTable& table);

} // namespace veltaro
