#pragma once

#include "gps/gps_state.h"

// Sentences beyond the four the GPS views were first built on, from receivers that send no RMC or no GGA
// and from those that estimate their error. Each is given the text after the sentence name and its comma.
namespace veltaro {

// Position, quality, satellites used and altitude, while no GGA has come; true for a position with a fix.
bool decodeGns(GpsState& state, const char* fields);
// Speed and course, while no RMC has come.
void decodeVtg(GpsState& state, const char* fields);
// Time and date, while no RMC has come.
void decodeZda(GpsState& state, const char* fields);
// The one-sigma errors of latitude, longitude and altitude.
void decodeGst(GpsState& state, const char* fields);

} // namespace veltaro
