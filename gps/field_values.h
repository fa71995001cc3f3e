#pragma once

#include "gps/gps_state.h"

namespace veltaro {

// Readers of the fields several sentences share.

// Sets or clears a bit that follows the latest field carrying its value.
void markReceived(GpsState& state, Received bit, bool sent);

// The decimals of a number's field: "5327.03598945" has 8, "36" none.
Decimals decimalsOf(const char* field, int n);

// Records the time field of a GGA, RMC, GNS or ZDA: hour, minute and second, and whether it was whole.
void readTime(GpsState& state, const char* field, int n);

// An altitude or geoid separation field, in metres, with its decimals; an empty field marks it not sent.
void readAltitude(GpsState& state, const char* field, int n);
void readSeparation(GpsState& state, const char* field, int n);

// What one GGA, RMC or GNS line said about the position. Only a fix whose coordinates were both sent and lie
// on the globe is a position: a receiver that loses its fix sends empty fields, which read as 0, and a
// corrupted line can read as 100 degrees north.
struct PositionFields {
    bool fix = false;
    bool latitudeSent = false;
    bool longitudeSent = false;
    bool complete = false; // both hemisphere fields reached
    Decimals latitudeDecimals = 0;
    Decimals longitudeDecimals = 0;

    // The latitude, N/S, longitude and E/W fields, index 0 to 3, in the order every sentence sends them.
    void read(GpsState& state, int index, const char* field, int n);
    // Keeps the position as the last fix when it is one; true then.
    bool record(GpsState& state) const;
};

// The fields GGA and GNS share: 1 time, 2 to 5 the position, 7 satellites used, 8 HDOP, 9 altitude; false for
// any other field number.
bool readFixField(GpsState& state, PositionFields& position, int number, const char* field, int n);

} // namespace veltaro
