#include "gps/more_sentences.h"

#include "gps/field_reader.h"
#include "gps/field_values.h"
#include "gps/nmea.h"

#include <cmath>
#include <cstring>

namespace veltaro {

namespace {

// GNS's mode letter as the fix quality GGA would send for it.
int qualityOfMode(char mode) {
    const char* const MODES = "NADPRFEMS"; // none, autonomous, differential, precise, RTK fixed, RTK float, ...
    const char* at = mode != '\0' ? std::strchr(MODES, mode) : nullptr;
    return at != nullptr ? static_cast<int>(at - MODES) : 0;
}

// One letter a system (GPS, GLONASS, Galileo, BeiDou...): the best of them is the fix's, RTK fixed first.
char bestMode(const char* field, int n) {
    const char* const BEST_FIRST = "RFPDAEMS";
    const char* best = nullptr;
    for (int i = 0; i < n; ++i) {
        const char* at = field[i] != '\0' ? std::strchr(BEST_FIRST, field[i]) : nullptr;
        best = at != nullptr && (best == nullptr || at < best) ? at : best;
    }
    return best != nullptr ? *best : 'N';
}

} // namespace

// $GNGNS,014035.00,4332.69262,S,17235.48549,E,RR,13,0.9,25.63,11.24,,*70
//  1 UTC time   2 latitude   3 N/S   4 longitude   5 E/W   6 mode, one letter a system
//  7 satellites used   8 HDOP   9 altitude, metres   10 geoid separation, metres   11.. (not kept)
bool decodeGns(GpsState& state, const char* fields) {
    if ((state.received & RECEIVED_GGA) != 0) {
        return false; // GGA says the same, and wins
    }
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    PositionFields position;
    for (int number = 1; number <= 10 && reader.read(field, n); ++number) {
        if (readFixField(state, position, number, field, n)) {
            continue;
        }
        if (number == 6) {
            state.fixQuality = qualityOfMode(bestMode(field, n));
            position.fix = state.fixQuality >= 1;
            markReceived(state, RECEIVED_QUALITY, n > 0);
        } else if (number == 10) {
            readSeparation(state, field, n);
        }
    }
    return position.record(state);
}

// $GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A*25   (NMEA 2.3 and later)
// $GPVTG,054.7,034.4,005.5,010.2*4B             (older receivers: no unit letters)
//  course true, course magnetic, speed in knots, speed in km/h
void decodeVtg(GpsState& state, const char* fields) {
    if ((state.received & RECEIVED_RMC) != 0) {
        return; // RMC says the same
    }
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    bool letters = false;
    for (int number = 1; number <= 5 && reader.read(field, n); ++number) {
        if (number == 1) {
            state.course = parseReal(field, n);
        } else if (number == 2) {
            letters = n == 1 && field[0] == 'T';
        } else if (number == (letters ? 5 : 3)) {
            state.speedKnots = parseReal(field, n);
        }
    }
}

// $GPZDA,081411.000,26,05,2014,,*5D
//  1 UTC time   2 day   3 month   4 year (four digits)   5, 6 local zone (not kept)
void decodeZda(GpsState& state, const char* fields) {
    if ((state.received & RECEIVED_RMC) != 0) {
        return; // RMC says the same
    }
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    bool date = true;
    for (int number = 1; number <= 4 && reader.read(field, n); ++number) {
        if (number == 1) {
            readTime(state, field, n);
            continue;
        }
        date = date && n > 0;
        const int value = parseDecimal(field, n);
        (number == 2 ? state.day : number == 3 ? state.month : state.year) = number == 4 ? value % 100 : value;
        if (number == 4) {
            markReceived(state, RECEIVED_DATE, date);
        }
    }
}

// $GNGST,003956.00,235111,,,,2.3,3.5,4.0*46
//  1 UTC time   2 RMS of the pseudoranges   3, 4, 5 error ellipse   6 latitude error, metres
//  7 longitude error, metres   8 altitude error, metres
void decodeGst(GpsState& state, const char* fields) {
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    double* const errors[] = {&state.errorNorth, &state.errorEast, &state.errorUp};
    for (int number = 1; number <= 8 && reader.read(field, n); ++number) {
        if (number >= 6) {
            *errors[number - 6] = n > 0 ? parseReal(field, n) : std::nan("");
            state.errorDecimals[number - 6] = decimalsOf(field, n);
            state.received |= RECEIVED_GST;
        }
    }
}

} // namespace veltaro
