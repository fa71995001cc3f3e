#pragma once

#include <cstdint>
#include <type_traits>

namespace veltaro {

constexpr int MAX_SATELLITES = 32;
constexpr int USED_PRN_COUNT = 12;
constexpr int MAX_SYSTEM_SATELLITES = 64;
// The satellite systems' letters in the order they are shown: GPS, GLONASS, Galileo, BeiDou, QZSS, NavIC, SBAS.
constexpr const char* SYSTEM_LETTERS = "GRECJIS";

// Which values a receiver has sent, so a reader can tell "nothing yet" or "empty now" from 0. A bit for a
// single field follows the latest sentence that carries that field: an empty field clears it.
enum Received : std::uint32_t {
    RECEIVED_TIME = 1,        // the latest time field had six characters or more
    RECEIVED_DATE = 2,        // the latest date field had six characters or more
    RECEIVED_FIX = 4,         // a real fix: fixLatitude and fixLongitude
    RECEIVED_ALTITUDE = 8,    // the latest altitude field
    RECEIVED_GGA = 16,        // a GGA has come
    RECEIVED_GSA = 32,        // a GSA has come
    RECEIVED_GSV = 64,        // a whole GSV cycle
    RECEIVED_RMC = 128,       // an RMC has come
    RECEIVED_QUALITY = 256,   // the latest fix quality field (GGA, or GNS's mode)
    RECEIVED_SATS_USED = 512, // the latest satellites-used field
    RECEIVED_FIX_TYPE = 1024, // the latest GSA fix type field
    RECEIVED_PDOP = 2048,     // the latest GSA PDOP, HDOP and VDOP fields
    RECEIVED_GSA_HDOP = 4096,
    RECEIVED_VDOP = 8192,
    RECEIVED_SEPARATION = 16384, // the latest geoid separation field
    RECEIVED_GST = 32768,        // a GST has come: errorNorth, errorEast, errorUp
};

// How many decimals a receiver sent in a number's field: how precisely to show it.
using Decimals = std::int8_t;

// Satellites in view, as one GSV cycle reported them. Entries 0 to min(inView, 32) - 1 are
// meaningful and ordered by ascending PRN.
struct SatelliteTable {
    std::int32_t storedCount = 0; // satellites stored during the cycle, also those past 32
    std::int32_t inView = 0;      // from the cycle's last message
    std::int32_t prn[MAX_SATELLITES] = {};
    std::int32_t elevation[MAX_SATELLITES] = {}; // degrees
    std::int32_t azimuth[MAX_SATELLITES] = {};   // degrees
    std::int32_t snr[MAX_SATELLITES] = {};       // dB
};

// Satellites in view from every satellite system's latest complete GSV cycle, each satellite once with
// its strongest signal, ordered by system (G R E C J I S) and number.
struct SystemSatellites {
    std::int32_t count = 0;
    // 'G' GPS, 'R' GLONASS, 'E' Galileo, 'C' BeiDou, 'J' QZSS, 'I' NavIC, 'S' SBAS
    char system[MAX_SYSTEM_SATELLITES] = {};
    std::int32_t prn[MAX_SYSTEM_SATELLITES] = {};
    std::int32_t elevation[MAX_SYSTEM_SATELLITES] = {};
    std::int32_t azimuth[MAX_SYSTEM_SATELLITES] = {};
    std::int32_t snr[MAX_SYSTEM_SATELLITES] = {};
    std::int8_t used[MAX_SYSTEM_SATELLITES] = {}; // listed in the latest GSA of its system
};

constexpr int MAX_SIGNALS = 128;

// Each satellite's signals from every system's latest complete GSV cycles (one cycle a system and signal),
// ordered by system (G R E C J I S), number and signal.
struct SignalTable {
    std::int32_t count = 0;
    char system[MAX_SIGNALS] = {};
    std::int32_t prn[MAX_SIGNALS] = {};
    std::int32_t signal[MAX_SIGNALS] = {}; // the NMEA 4.10 signal ID, -1 where the receiver sent none
    std::int32_t snr[MAX_SIGNALS] = {};    // C/N0, dB-Hz; 0 while not tracked
    std::int32_t elevation[MAX_SIGNALS] = {};
    std::int32_t azimuth[MAX_SIGNALS] = {};
    std::int8_t used[MAX_SIGNALS] = {}; // listed in the latest GSA of its system
};

// The decoded GPS data of one receiver: a flat value record, so a snapshot is one copy.
// Positions are in hundredths of a degree (degrees x 100 + minutes x 100/60), north and east positive.
// A default-constructed record holds the reset values.
struct GpsState {
    double latitude = 0;         // GGA, RMC
    double longitude = 0;        // GGA, RMC
    double satsUsed = 0;         // GGA
    double hdop = 0;             // GGA; NaN for a value refused as out of range
    double speedKnots = 0;       // RMC, unconverted; NaN for a speed refused as out of range
    double course = 0;           // RMC, degrees; NaN for a course refused as out of range
    double pdop = 0;             // GSA
    double gsaHdop = 0;          // GSA
    double vdop = 0;             // GSA
    std::int32_t rmcValid = 0;   // 1 when the last RMC status was "A"
    std::int32_t fixType = 0;    // GSA: 1 no fix, 2 two-dimensional, 3 three-dimensional
    std::int32_t fixQuality = 0; // GGA: code of the field's first character minus 48
    char gsaMode = 'A';          // GSA
    std::int32_t active = 0;     // 1 while the parser thread runs
    std::int32_t hour = 0;       // UTC, GGA and RMC
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t day = 0; // RMC
    std::int32_t month = 0;
    std::int32_t year = 0;                     // two digits
    SatelliteTable satellites;                 // committed once per complete GSV cycle
    std::int32_t usedPrn[USED_PRN_COUNT] = {}; // GSA, -1 for an empty field
    double altitude = 0;                       // GGA, metres above mean sea level
    // The last position reported with a fix (GGA quality 1 or more, or RMC status A, both coordinates
    // sent and on the globe): a lost fix leaves it where the receiver last knew it was.
    double fixLatitude = 0;
    double fixLongitude = 0;
    std::uint32_t received = 0; // Received bits
    // 1 while sentences of every satellite system are read: the views then show allSystems.
    std::int32_t everySystem = 0;
    SystemSatellites allSystems;
    SignalTable signals;         // while every system is read
    std::int32_t gpsSignal = -1; // the signal ID of the GPS cycle in satellites, -1 where none was sent
    // Decimals sent in the fields of the last fix's coordinates, the altitude and the separation.
    Decimals latitudeDecimals = 0;
    Decimals longitudeDecimals = 0;
    Decimals altitudeDecimals = 0;
    Decimals separationDecimals = 0;
    double separation = 0; // GGA, GNS: the geoid above the ellipsoid, metres
    // GST: one-sigma errors of latitude, longitude and altitude in metres; NaN for an empty field.
    double errorNorth = 0;
    double errorEast = 0;
    double errorUp = 0;
    Decimals errorDecimals[3] = {};
    // While every system is read: satellites listed in the latest GSA of each system, in the order
    // G R E C J I S, and their sum.
    std::int32_t usedBySystem[7] = {};
    std::int32_t usedAllSystems = 0;
    // When the last fix arrived, in milliseconds of the parser's clock (GpsParser::clockMs).
    std::int64_t fixTickMs = 0;

    // Set by the device on the user-interface thread, never by the decoder: how fresh the data is.
    std::int32_t quietSeconds = 0;  // seconds without a line once that is news (5 or more), else 0
    std::int32_t sourceLost = 0;    // 1 while the source port is lost and being reopened
    std::int32_t fixAgeSeconds = 0; // since the last fix arrived

    // Whether the receiver's latest word is that it has no fix: GGA quality 0, RMC status V or GSA type 1.
    bool reportsNoFix() const {
        // An empty quality field reads below 0: no fix either.
        return ((received & (RECEIVED_GGA | RECEIVED_QUALITY)) != 0 && fixQuality < 1) ||
               ((received & RECEIVED_RMC) != 0 && rmcValid == 0) ||
               ((received & RECEIVED_FIX_TYPE) != 0 && fixType == 1);
    }

    // Whether the satellite takes part in a valid fix.
    bool isSatelliteUsed(int prn) const {
        if (rmcValid == 0) {
            return false;
        }
        for (std::int32_t used : usedPrn) {
            if (used == prn) {
                return true;
            }
        }
        return false;
    }
};

// A position reported with a fix (GGA or RMC), in hundredths of a degree.
struct TrackFix {
    double latitude;
    double longitude;
    double altitude = 0;        // metres above mean sea level; NaN when the receiver sent none
    std::int64_t arrivedMs = 0; // on the parser's clock
};

static_assert(std::is_trivially_copyable_v<GpsState>, "a snapshot is one flat copy");

} // namespace veltaro
