#pragma once

#include <cstdint>
#include <type_traits>

namespace veltaro {

constexpr int MAX_SATELLITES = 32;
constexpr int USED_PRN_COUNT = 12;
constexpr int MAX_SYSTEM_SATELLITES = 64;

// Which values a receiver has sent since the parser started, so a reader can tell "nothing yet" from 0.
enum Received : std::uint32_t {
    RECEIVED_TIME = 1,     // a GGA or RMC time field of six characters or more
    RECEIVED_DATE = 2,     // an RMC date field of six characters or more
    RECEIVED_FIX = 4,      // a real fix: fixLatitude and fixLongitude
    RECEIVED_ALTITUDE = 8, // a GGA altitude field
    RECEIVED_GGA = 16,     // fixQuality and satsUsed
    RECEIVED_GSA = 32,     // fixType and the three DOPs
    RECEIVED_GSV = 64,     // a whole GSV cycle
};

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

// The decoded GPS data of one receiver: a flat value record, so a snapshot is one copy.
// Positions are in hundredths of a degree (degrees x 100 + minutes x 100/60), north and east positive.
// A default-constructed record holds the reset values.
struct GpsState {
    double latitude = 0;         // GGA, RMC
    double longitude = 0;        // GGA, RMC
    double satsUsed = 0;         // GGA
    double hdop = 0;             // GGA
    double speedKnots = 0;       // RMC, unconverted
    double course = 0;           // RMC, degrees
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

    // Set by the device on the user-interface thread, never by the decoder: how fresh the data is.
    std::int32_t quietSeconds = 0; // seconds without a line once that is news (5 or more), else 0
    std::int32_t sourceLost = 0;   // 1 while the source port is lost and being reopened

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
};

static_assert(std::is_trivially_copyable_v<GpsState>, "a snapshot is one flat copy");

} // namespace veltaro
