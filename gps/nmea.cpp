#include "gps/nmea.h"

#include "gps/field_reader.h"
#include "gps/field_values.h"
#include "gps/sentence_table.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace veltaro {

namespace {

// hhmmss.ss or ddmmyy: three two-digit values. A shorter field is read only as far as it goes.
void readTriple(const char* field, int n, std::int32_t& first, std::int32_t& second, std::int32_t& third) {
    auto pair = [&](int at) { return n > at ? parseDecimal(field + at, n - at < 2 ? n - at : 2) : 0; };
    first = pair(0);
    second = pair(2);
    third = pair(4);
}

// A hemisphere letter after a coordinate: only an upper-case S or W makes it negative.
void applyHemisphere(double& coordinate, const char* field, char negative) {
    if (field[0] == negative) {
        coordinate = -coordinate;
    }
}

// The read that defines a real field's value: the longest prefix that forms a number, as "%lf" reads it,
// correctly rounded. strtod rather than sscanf, because MinGW's scanf rounds twice (through long double)
// and yields the neighbouring double for fields such as 3644.762563; glibc's strtod and "%lf" agree.
double scanReal(const char* text, int n) {
    const std::string copy(text, static_cast<std::size_t>(n));
    return std::strtod(copy.c_str(), nullptr);
}

constexpr double POWERS_OF_TEN[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::uint64_t EXACT_LIMIT = std::uint64_t{1} << 53;

enum class Checksum { NONE, GOOD, BAD };

// What "*" and two hex digits at the end of a line say of the XOR of the bytes between its first character
// and "*".
Checksum checksumOf(const char* line, int length) {
    const char* star = static_cast<const char*>(std::memchr(line, '*', static_cast<std::size_t>(length)));
    if (star == nullptr) {
        return Checksum::NONE;
    }
    unsigned sum = 0;
    for (const char* p = line + 1; p < star; ++p) {
        sum ^= static_cast<unsigned char>(*p);
    }
    const int digitsAt = static_cast<int>(star - line) + 1;
    if (length - digitsAt != 2) {
        return Checksum::BAD;
    }
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        return -1;
    };
    const int high = hex(line[digitsAt]);
    const int low = hex(line[digitsAt + 1]);
    return high < 0 || low < 0 || static_cast<unsigned>(high * 16 + low) != sum ? Checksum::BAD : Checksum::GOOD;
}

} // namespace

void markReceived(GpsState& state, Received bit, bool sent) {
    state.received = sent ? state.received | bit : state.received & ~static_cast<std::uint32_t>(bit);
}

Decimals decimalsOf(const char* field, int n) {
    int point = 0;
    while (point < n && field[point] != '.') {
        ++point;
    }
    int decimals = 0;
    while (point + 1 + decimals < n && field[point + 1 + decimals] >= '0' && field[point + 1 + decimals] <= '9' &&
           decimals < 20) {
        ++decimals;
    }
    return static_cast<Decimals>(decimals);
}

void readTime(GpsState& state, const char* field, int n) {
    readTriple(field, n, state.hour, state.minute, state.second);
    markReceived(state, RECEIVED_TIME, n >= 6);
}

void PositionFields::read(GpsState& state, int index, const char* field, int n) {
    double& coordinate = index < 2 ? state.latitude : state.longitude;
    if (index % 2 == 0) {
        coordinate = convertCoordinate(field, n);
        (index == 0 ? latitudeSent : longitudeSent) = n > 0;
        (index == 0 ? latitudeDecimals : longitudeDecimals) = decimalsOf(field, n);
    } else {
        applyHemisphere(coordinate, field, index == 1 ? 'S' : 'W');
        complete = complete || index == 3;
    }
}

bool PositionFields::record(GpsState& state) const {
    if (!fix || !latitudeSent || !longitudeSent || !complete || !(std::abs(state.latitude) <= 9000.0) ||
        !(std::abs(state.longitude) <= 18000.0)) {
        return false;
    }
    state.fixLatitude = state.latitude;
    state.fixLongitude = state.longitude;
    state.latitudeDecimals = latitudeDecimals;
    state.longitudeDecimals = longitudeDecimals;
    state.received |= RECEIVED_FIX;
    return true;
}

int parseDecimal(const char* text, int n) {
    // No validation, in wrapping 32-bit arithmetic: receivers send garbage and it must not trap.
    std::uint32_t value = 0;
    for (int i = 0; i < n; ++i) {
        const int code = static_cast<signed char>(text[i]);
        value = value * 10u + static_cast<std::uint32_t>(code - 48);
    }
    return static_cast<int>(value);
}

double parseReal(const char* text, int n) {
    if (n <= 0) {
        return 0.0;
    }
    // Fast path for plain decimal fields, the usual case: with at most 2^53 as the digits' value and
    // at most 22 decimals, both operands are exact doubles and one correctly rounded division gives
    // the same double as the full read. Anything else takes the full read.
    int i = 0;
    bool negative = false;
    if (text[0] == '-' || text[0] == '+') {
        negative = text[0] == '-';
        i = 1;
    }
    std::uint64_t mantissa = 0;
    int decimals = 0;
    bool point = false;
    bool digits = false;
    for (; i < n; ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        const unsigned digit = static_cast<unsigned char>(c) - static_cast<unsigned>('0');
        if (digit > 9 || mantissa > (EXACT_LIMIT - digit) / 10) {
            return scanReal(text, n);
        }
        mantissa = mantissa * 10 + digit;
        decimals += point ? 1 : 0;
        digits = true;
    }
    if (!digits || decimals > 22) {
        return scanReal(text, n);
    }
    const double value = static_cast<double>(mantissa) / POWERS_OF_TEN[decimals];
    return negative ? -value : value;
}

double convertCoordinate(const char* text, int n) {
    const double value = parseReal(text, n);
    const double hundreds = 100.0 * std::trunc(value / 100.0);
    const double minutes = value - hundreds;
    return hundreds + minutes * 1.6666666666666667; // minutes to hundredths of a degree
}

void sortSatellites(SatelliteTable& table) {
    const int n = table.inView < MAX_SATELLITES ? table.inView : MAX_SATELLITES;
    for (int i = 0; i < n - 1; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (table.prn[i] > table.prn[j]) {
                std::swap(table.prn[i], table.prn[j]);
                std::swap(table.elevation[i], table.elevation[j]);
                std::swap(table.azimuth[i], table.azimuth[j]);
                std::swap(table.snr[i], table.snr[j]);
            }
        }
    }
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47
//  1 UTC time hhmmss.ss   2 latitude ddmm.mmmm   3 N/S   4 longitude dddmm.mmmm   5 E/W
//  6 fix quality   7 satellites used   8 HDOP   9 altitude, metres   10 M   11 geoid separation, metres
//  12.. (not kept)
bool decodeGga(GpsState& state, const char* fields) {
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    PositionFields position;
    state.received |= RECEIVED_GGA;
    for (int number = 1; number <= 11 && reader.read(field, n); ++number) {
        if (readFixField(state, position, number, field, n)) {
            continue;
        }
        if (number == 6) {
            // An empty field reads its separator, as receivers without a fix have always been shown.
            state.fixQuality = static_cast<signed char>(field[0]) - 48;
            position.fix = state.fixQuality >= 1;
            markReceived(state, RECEIVED_QUALITY, n > 0);
        } else if (number == 11) {
            readSeparation(state, field, n);
        }
    }
    return position.record(state);
}

// $GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68
//  1 UTC time   2 status A/V   3 latitude   4 N/S   5 longitude   6 E/W
//  7 speed over ground, knots   8 course over ground, degrees   9 date ddmmyy
//  10.. magnetic variation, mode (not kept)
bool decodeRmc(GpsState& state, const char* fields) {
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    PositionFields position;
    state.received |= RECEIVED_RMC;
    for (int number = 1; number <= 9 && reader.read(field, n); ++number) {
        if (number >= 3 && number <= 6) {
            position.read(state, number - 3, field, n);
            continue;
        }
        switch (number) {
        case 1:
            readTime(state, field, n);
            break;
        case 2:
            state.rmcValid = field[0] == 'A' ? 1 : 0;
            position.fix = state.rmcValid == 1;
            break;
        case 7:
            state.speedKnots = parseReal(field, n);
            break;
        case 8:
            state.course = parseReal(field, n);
            break;
        case 9:
            readTriple(field, n, state.day, state.month, state.year);
            markReceived(state, RECEIVED_DATE, n >= 6);
            break;
        }
    }
    return position.record(state);
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39
//  1 mode M/A   2 fix type 1/2/3   3..14 PRNs of the satellites used   15 PDOP   16 HDOP   17 VDOP
void decodeGsa(GpsState& state, const char* fields) {
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    state.received |= RECEIVED_GSA;
    for (int number = 1; number <= 17 && reader.read(field, n); ++number) {
        if (number >= 3 && number <= 14) {
            // A one-character PRN is taken as empty: receivers that mean it send two digits.
            state.usedPrn[number - 3] = n < 2 ? -1 : parseDecimal(field, n);
            continue;
        }
        switch (number) {
        case 1:
            state.gsaMode = field[0];
            break;
        case 2:
            state.fixType = parseDecimal(field, n);
            markReceived(state, RECEIVED_FIX_TYPE, n > 0);
            break;
        case 15:
            state.pdop = parseReal(field, n);
            markReceived(state, RECEIVED_PDOP, n > 0);
            break;
        case 16:
            state.gsaHdop = parseReal(field, n);
            markReceived(state, RECEIVED_GSA_HDOP, n > 0);
            break;
        case 17:
            state.vdop = parseReal(field, n);
            markReceived(state, RECEIVED_VDOP, n > 0);
            break;
        }
    }
}

// $GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74
//  1 messages in the cycle   2 this message's number   3 satellites in view
//  4.. groups of four: PRN, elevation (degrees), azimuth (degrees), SNR (dB)
// The cycle is gathered in working and committed to state only after its last message, so readers
// always see a whole cycle.
void decodeGsv(GpsState& state, SatelliteTable& working, const char* fields) {
    std::int32_t* const columns[] = {working.prn, working.elevation, working.azimuth, working.snr};
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    int total = 0;
    int message = 0;
    bool commit = false;
    for (int number = 1; reader.read(field, n); ++number) {
        if (number == 1) {
            total = parseDecimal(field, n);
        } else if (number == 2) {
            message = parseDecimal(field, n);
            if (message == 1) {
                working.storedCount = 0;
                working.inView = 0;
            }
        } else if (number == 3) {
            if (message == total) {
                working.inView = parseDecimal(field, n);
                commit = true;
            }
        } else {
            const int column = (number - 4) % 4;
            const int k = working.storedCount;
            const int value = parseDecimal(field, n);
            if (k >= 0 && k < MAX_SATELLITES) {
                columns[column][k] = value;
            }
            if (column == 3) {
                ++working.storedCount;
            }
        }
    }
    if (commit) {
        sortSatellites(working);
        state.satellites = working;
        state.received |= RECEIVED_GSV;
    }
}

bool readFixField(GpsState& state, PositionFields& position, int number, const char* field, int n) {
    switch (number) {
    case 1:
        readTime(state, field, n);
        return true;
    case 2:
    case 3:
    case 4:
    case 5:
        position.read(state, number - 2, field, n);
        return true;
    case 7:
        state.satsUsed = parseReal(field, n);
        markReceived(state, RECEIVED_SATS_USED, n > 0);
        return true;
    case 8:
        state.hdop = parseReal(field, n);
        return true;
    case 9:
        readAltitude(state, field, n);
        return true;
    }
    return false;
}

void readAltitude(GpsState& state, const char* field, int n) {
    if (n > 0) {
        state.altitude = parseReal(field, n);
        state.altitudeDecimals = decimalsOf(field, n);
    }
    markReceived(state, RECEIVED_ALTITUDE, n > 0);
}

void readSeparation(GpsState& state, const char* field, int n) {
    state.separation = parseReal(field, n);
    state.separationDecimals = decimalsOf(field, n);
    markReceived(state, RECEIVED_SEPARATION, n > 0);
}

bool decodeSentence(GpsState& state, SatelliteTable& working, char* line, int count) {
    if (count <= 0 || line[0] != '$') {
        return false;
    }
    const char* fields = splitSentence(line, count);
    SentenceContext context{state, working, nullptr, 0};
    const SentenceType* row = findSentence(line, context.system);
    // The four sentences of the GPS talker alone: "$GNGGA" and "$GPGSAX" are not among them.
    if (row == nullptr || !row->original || context.system != 'G') {
        return false;
    }
    return row->decode(context, fields);
}

bool hasBadChecksum(const char* line, int length) {
    while (length > 0 && line[length - 1] == '\0') {
        --length; // readLine's count may take in the terminator
    }
    return length > 0 && line[0] == '$' && checksumOf(line, length) == Checksum::BAD;
}

bool hasGoodChecksum(const char* line, int length) {
    return length > 0 && (line[0] == '$' || line[0] == '!') && checksumOf(line, length) == Checksum::GOOD;
}

} // namespace veltaro
