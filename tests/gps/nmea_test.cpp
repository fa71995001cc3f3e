#include "gps/nmea.h"

#include "support/captures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace veltaro {
namespace {

using namespace std::string_literals;

void decode(GpsState& state, SatelliteTable& working, const std::string& line) {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back('\0');
    decodeSentence(state, working, buffer.data(), static_cast<int>(line.size()));
}

// Compares the whole record, so a decoder that writes a field it should not is caught too.
void expectState(const GpsState& expected, const GpsState& actual) {
    EXPECT_NEAR(actual.latitude, expected.latitude, 1e-9);
    EXPECT_NEAR(actual.longitude, expected.longitude, 1e-9);
    EXPECT_EQ(actual.satsUsed, expected.satsUsed);
    EXPECT_EQ(actual.hdop, expected.hdop);
    EXPECT_EQ(actual.speedKnots, expected.speedKnots);
    EXPECT_EQ(actual.course, expected.course);
    EXPECT_EQ(actual.pdop, expected.pdop);
    EXPECT_EQ(actual.gsaHdop, expected.gsaHdop);
    EXPECT_EQ(actual.vdop, expected.vdop);
    EXPECT_EQ(actual.rmcValid, expected.rmcValid);
    EXPECT_EQ(actual.fixType, expected.fixType);
    EXPECT_EQ(actual.fixQuality, expected.fixQuality);
    EXPECT_EQ(actual.gsaMode, expected.gsaMode);
    EXPECT_EQ(actual.active, expected.active);
    EXPECT_EQ(actual.hour, expected.hour);
    EXPECT_EQ(actual.minute, expected.minute);
    EXPECT_EQ(actual.second, expected.second);
    EXPECT_EQ(actual.day, expected.day);
    EXPECT_EQ(actual.month, expected.month);
    EXPECT_EQ(actual.year, expected.year);
    EXPECT_EQ(0, std::memcmp(&actual.satellites, &expected.satellites, sizeof(SatelliteTable)));
    for (int i = 0; i < USED_PRN_COUNT; ++i) {
        EXPECT_EQ(actual.usedPrn[i], expected.usedPrn[i]) << "usedPrn[" << i << "]";
    }
}

struct SentenceCase {
    std::string line;                      // may hold NUL bytes: the decoder is given the whole length
    std::function<void(GpsState&)> expect; // turns the reset record into the expected one
};

void runCases(const std::vector<SentenceCase>& cases) {
    for (const SentenceCase& c : cases) {
        SCOPED_TRACE(c.line);
        GpsState state;
        SatelliteTable working;
        decode(state, working, c.line);
        GpsState expected;
        c.expect(expected);
        expectState(expected, state);
    }
}

void setTime(GpsState& s, int hour, int minute, int second) {
    s.hour = hour;
    s.minute = minute;
    s.second = second;
}

void setDate(GpsState& s, int day, int month, int year) {
    s.day = day;
    s.month = month;
    s.year = year;
}

TEST(NmeaTest, DecodesGga) {
    const auto munich = [](GpsState& s) {
        setTime(s, 12, 35, 19);
        s.latitude = 4811.73;
        s.longitude = 1151.6666666666667;
        s.fixQuality = 1;
        s.satsUsed = 8.0;
        s.hdop = 0.9;
    };
    runCases({
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", munich},
        // GlobalSat BU-353-S4 in New Zealand: south and east.
        {"$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D",
         [](GpsState& s) {
             setTime(s, 3, 7, 19);
             s.latitude = -(3700 + 47.0873 * 100 / 60);
             s.longitude = 17500 + 18.8938 * 100 / 60;
             s.fixQuality = 1;
             s.satsUsed = 8.0;
             s.hdop = 1.1;
         }},
        // Hemisphere receiver without a fix: everything empty.
        {"$GPGGA,,,,,,0,,,,M,,M,,*66", [](GpsState&) {}},
        // u-blox LEA-5Q before its first fix.
        {"$GPGGA,001901.00,,,,,0,00,99.99,,,,,,*6F",
         [](GpsState& s) {
             setTime(s, 0, 19, 1);
             s.hdop = 99.99;
         }},
        // An empty fix quality reads its separator: "," - 48.
        {"$GPGGA,1235,,,,,,07,*00",
         [](GpsState& s) {
             setTime(s, 12, 35, 0);
             s.fixQuality = -4;
             s.satsUsed = 7;
         }},
        // Cut off after the latitude: what was reached is stored, the rest untouched.
        {"$GPGGA,123519,4807.038,N,0113",
         [](GpsState& s) {
             setTime(s, 12, 35, 19);
             s.latitude = 4811.73;
         }},
        // A NUL from line noise before the first comma: the comma is still found within the count.
        {"$GPGGA\0,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"s, munich},
        // A NUL after it ends the fields: the hemisphere before it has no separator behind it.
        {"$GPGGA,123519,4807.038,N\0,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"s,
         [](GpsState& s) {
             setTime(s, 12, 35, 19);
             s.latitude = 4811.73;
         }},
        // Lower-case hemisphere letters do not negate.
        {"$GPGGA,123519,4807.038,s,01131.000,w,2,08,0.9,*00",
         [](GpsState& s) {
             setTime(s, 12, 35, 19);
             s.latitude = 4811.73;
             s.longitude = 1151.6666666666667;
             s.fixQuality = 2;
             s.satsUsed = 8.0;
             s.hdop = 0.9;
         }},
    });
}

TEST(NmeaTest, DecodesRmc) {
    runCases({
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68",
         [](GpsState& s) {
             setTime(s, 22, 54, 46);
             s.rmcValid = 1;
             s.latitude = 4900 + 16.45 * 100 / 60;
             s.longitude = -(12300 + 11.12 * 100 / 60);
             s.speedKnots = 0.5;
             s.course = 54.7;
             setDate(s, 19, 11, 94);
         }},
        // Garmin 48, southern hemisphere.
        {"$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D",
         [](GpsState& s) {
             setTime(s, 22, 53, 8);
             s.rmcValid = 1;
             s.latitude = -(4500 + 27.458 * 100 / 60);
             s.longitude = 16700 + 9.165 * 100 / 60;
             s.course = 94.5;
             setDate(s, 6, 6, 1);
         }},
        // Garmin Mobile 10: fractional seconds dropped, NMEA 2.3 mode field not kept.
        {"$GPRMC,165008.000,A,4143.6059,N,08338.0786,W,0.32,172.38,180710,,,A*76",
         [](GpsState& s) {
             setTime(s, 16, 50, 8);
             s.rmcValid = 1;
             s.latitude = 4100 + 43.6059 * 100 / 60;
             s.longitude = -(8300 + 38.0786 * 100 / 60);
             s.speedKnots = 0.32;
             s.course = 172.38;
             setDate(s, 18, 7, 10);
         }},
        // Garmin 25LP: status V is not a valid fix, the position is still stored.
        {"$GPRMC,120316,V,4221.4394,N,01321.9948,E,000.0,000.0,150305,001.4,E*63",
         [](GpsState& s) {
             setTime(s, 12, 3, 16);
             s.latitude = 4200 + 21.4394 * 100 / 60;
             s.longitude = 1300 + 21.9948 * 100 / 60;
             setDate(s, 15, 3, 5);
         }},
        // No time yet: status and position are still decoded.
        {"$GPRMC,,A,4916.45,N,12311.12,W,,,080108,*00",
         [](GpsState& s) {
             s.rmcValid = 1;
             s.latitude = 4900 + 16.45 * 100 / 60;
             s.longitude = -(12300 + 11.12 * 100 / 60);
             setDate(s, 8, 1, 8);
         }},
        // Short time and date fields are read only as far as they go.
        {"$GPRMC,12,V,,,,,,,1911,*00",
         [](GpsState& s) {
             setTime(s, 12, 0, 0);
             setDate(s, 19, 11, 0);
         }},
        // Without "*" the last field is never decoded: here the date.
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194",
         [](GpsState& s) {
             setTime(s, 22, 54, 46);
             s.rmcValid = 1;
             s.latitude = 4900 + 16.45 * 100 / 60;
             s.longitude = -(12300 + 11.12 * 100 / 60);
             s.speedKnots = 0.5;
             s.course = 54.7;
         }},
    });
}

void setUsed(GpsState& s, std::initializer_list<int> prns) {
    int i = 0;
    for (int prn : prns) {
        s.usedPrn[i++] = prn;
    }
}

TEST(NmeaTest, DecodesGsa) {
    runCases({
        {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39",
         [](GpsState& s) {
             s.fixType = 3;
             setUsed(s, {4, 5, -1, 9, 12, -1, -1, 24, -1, -1, -1, -1});
             s.pdop = 2.5;
             s.gsaHdop = 1.3;
             s.vdop = 2.1;
         }},
        // Quectel, NMEA 4.10: the system id in field 18 is not stored.
        {"$GPGSA,A,2,06,07,11,19,22,28,30,,,,,,1.4,1.1,0.8,1*23",
         [](GpsState& s) {
             s.fixType = 2;
             setUsed(s, {6, 7, 11, 19, 22, 28, 30, -1, -1, -1, -1, -1});
             s.pdop = 1.4;
             s.gsaHdop = 1.1;
             s.vdop = 0.8;
         }},
        // A one-character PRN counts as empty; mode M is stored as sent.
        {"$GPGSA,M,3,4,05,,,,,,,,,,,9.9,8.8,7.7*00",
         [](GpsState& s) {
             s.gsaMode = 'M';
             s.fixType = 3;
             setUsed(s, {-1, 5, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1});
             s.pdop = 9.9;
             s.gsaHdop = 8.8;
             s.vdop = 7.7;
         }},
        // i.Trek M3's truncated sentence: fields never reached keep their values.
        {"$GPGSA,A,1,,,,",
         [](GpsState& s) {
             s.fixType = 1;
             setUsed(s, {-1, -1, -1});
         }},
        // An empty mode stores its separator.
        {"$GPGSA,,1,,,,,,,,,,,,,,,*1E",
         [](GpsState& s) {
             s.gsaMode = ',';
             s.fixType = 1;
             setUsed(s, {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1});
         }},
        // Lower-case sentence names are the same sentence.
        {"$gpgsa,A,3,04,,,,,,,,,,,,2.5,1.3,2.1*39",
         [](GpsState& s) {
             s.fixType = 3;
             setUsed(s, {4, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1});
             s.pdop = 2.5;
             s.gsaHdop = 1.3;
             s.vdop = 2.1;
         }},
    });
}

TEST(NmeaTest, IgnoresOtherLines) {
    runCases({
        {"$GNRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68", [](GpsState&) {}},
        {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", [](GpsState&) {}},
        {"$GPGGAX,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", [](GpsState&) {}},
        {"$GPGGA", [](GpsState&) {}},
        {"$GPGGA*47", [](GpsState&) {}},
        {"$GP\0GGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47"s, [](GpsState&) {}},
        {"$PGRME,15.0,M,45.0,M,25.0,M*1C", [](GpsState&) {}},
        {"", [](GpsState&) {}},
    });

    GpsState state;
    SatelliteTable working;
    char line[] = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    decodeSentence(state, working, line, 0);
    EXPECT_EQ(state.hour, 0) << "a count of 0 is an empty line";
}

TEST(NmeaTest, DecodeOverwritesOnlyTheFirstComma) {
    GpsState state;
    SatelliteTable working;
    char line[] = "$GPGSA,A,3,04*00";
    decodeSentence(state, working, line, static_cast<int>(std::strlen(line)));
    EXPECT_STREQ(line, "$GPGSA");
    EXPECT_STREQ(line + 7, "A,3,04*00");
}

// Feeds one cycle of GSV messages, checking the committed table after each.
struct GsvStep {
    const char* line;
    bool commits;
};

TEST(NmeaTest, GsvCycleIsCommittedOnceAfterItsLastMessageSortedByPrn) {
    GpsState state;
    SatelliteTable working;
    const GsvStep steps[] = {
        {"$GPGSV,3,1,10,24,04,342,11,05,04,187,12,28,39,055,13,09,43,270,14*00", false},
        {"$GPGSV,3,2,10,15,78,214,15,02,25,106,16,18,32,294,17,22,13,324,18*00", false},
        {"$GPGSV,3,3,10,12,03,212,19,07,55,139,20*00", true},
    };
    for (const GsvStep& step : steps) {
        SCOPED_TRACE(step.line);
        decode(state, working, step.line);
        if (!step.commits) {
            EXPECT_EQ(state.satellites.inView, 0);
            EXPECT_EQ(state.satellites.prn[0], 0);
        }
    }
    const SatelliteTable& table = state.satellites;
    EXPECT_EQ(table.storedCount, 10);
    EXPECT_EQ(table.inView, 10);
    const int prn[] = {2, 5, 7, 9, 12, 15, 18, 22, 24, 28};
    const int elevation[] = {25, 4, 55, 43, 3, 78, 32, 13, 4, 39};
    const int azimuth[] = {106, 187, 139, 270, 212, 214, 294, 324, 342, 55};
    const int snr[] = {16, 12, 20, 14, 19, 15, 17, 18, 11, 13};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(table.prn[i], prn[i]) << i;
        EXPECT_EQ(table.elevation[i], elevation[i]) << i;
        EXPECT_EQ(table.azimuth[i], azimuth[i]) << i;
        EXPECT_EQ(table.snr[i], snr[i]) << i;
    }
}

TEST(NmeaTest, GsvSingleMessageCycleCommitsAtOnce) {
    GpsState state;
    SatelliteTable working;
    decode(state, working, "$GPGSV,1,1,02,07,20,200,40,05,10,100,*00");
    EXPECT_EQ(state.satellites.inView, 2);
    EXPECT_EQ(state.satellites.prn[0], 5);
    EXPECT_EQ(state.satellites.snr[0], 0) << "an empty SNR reads 0";
    EXPECT_EQ(state.satellites.prn[1], 7);
}

TEST(NmeaTest, GsvCycleWithoutItsLastMessageIsNeverCommitted) {
    GpsState state;
    SatelliteTable working;
    decode(state, working, "$GPGSV,1,1,01,07,20,200,40*00");
    decode(state, working, "$GPGSV,2,1,05,01,01,001,01,02,02,002,02,03,03,003,03,04,04,004,04*00");
    // message 2 of 2 lost; a new cycle begins
    decode(state, working, "$GPGSV,2,1,05,11,01,001,01,12,02,002,02,13,03,003,03,14,04,004,04*00");
    EXPECT_EQ(state.satellites.inView, 1);
    EXPECT_EQ(state.satellites.prn[0], 7);
    decode(state, working, "$GPGSV,2,2,05,10,05,005,05*00");
    EXPECT_EQ(state.satellites.inView, 5);
    const int prn[] = {10, 11, 12, 13, 14};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(state.satellites.prn[i], prn[i]) << i;
    }
}

TEST(NmeaTest, GsvKeepsAtMost32SatellitesButCountsAll) {
    GpsState state;
    SatelliteTable working;
    int prn = 40;
    for (int message = 1; message <= 9; ++message) {
        std::string line = "$GPGSV,9," + std::to_string(message) + ",36";
        for (int group = 0; group < 4; ++group) {
            line += "," + std::to_string(prn--) + ",10,100,30";
        }
        decode(state, working, line + "*00");
    }
    EXPECT_EQ(state.satellites.storedCount, 36);
    EXPECT_EQ(state.satellites.inView, 36);
    // PRNs 40 down to 9 were stored (the first 32); sorted they run 9 to 40.
    for (int i = 0; i < MAX_SATELLITES; ++i) {
        EXPECT_EQ(state.satellites.prn[i], 9 + i) << i;
    }
}

TEST(NmeaTest, SortLeavesEqualPrnsAndEntriesPastInViewAlone) {
    SatelliteTable table;
    table.inView = 3;
    const int prn[] = {7, 3, 7, 1};
    const int snr[] = {70, 30, 71, 10};
    for (int i = 0; i < 4; ++i) {
        table.prn[i] = prn[i];
        table.snr[i] = snr[i];
    }
    sortSatellites(table);
    EXPECT_EQ(table.prn[0], 3);
    EXPECT_EQ(table.prn[1], 7);
    EXPECT_EQ(table.snr[1], 70);
    EXPECT_EQ(table.snr[2], 71);
    EXPECT_EQ(table.prn[3], 1) << "past inView";
}

// Only a line that reports a fix with both coordinates on the globe moves the fix position; everything
// else keeps the last one, whatever it writes into latitude and longitude.
TEST(NmeaTest, OnlyARealFixGivesAPosition) {
    const char* const FIX = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    struct Case {
        const char* line;
        bool fix;
        double latitude; // the fix position after the line, hundredths of a degree
        double longitude;
    };
    const Case cases[] = {
        {FIX, true, 4811.73, 1151.6666666666667},
        {"$gpgga,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", true, 4811.73, 1151.6666666666667},
        {"$GPRMC,225446,A,4916.45,S,12311.12,W,000.5,054.7,191194,020.3,E*68", true, -4927.416666666667,
         -12318.533333333333},
        {"$gprmc,225446,A,4916.45,N,12311.12,E,000.5,054.7,191194,020.3,E*68", true, 4927.416666666667,
         12318.533333333333},
        // A receiver losing its fix (garmin-10x): quality 0 with empty fields, and RMC status V.
        {"$GPGGA,165019.000,,,,,0,00,,,M,0.0,M,,0000*5C", false, 0, 0},
        {"$GPRMC,165010.000,V,4143.6057,N,08338.0788,W,0.60,231.03,180710,,,E*67", false, 0, 0},
        {"$GPGGA,123519,,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", false, 0, 0},
        {"$GPRMC,225446,A,4916.45,N,,W,000.5,054.7,191194,020.3,E*68", false, 0, 0},
        // Corrupted: 99 degrees 99 minutes north, and 181 degrees east.
        {"$GPGGA,123519,9999.000,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", false, 0, 0},
        {"$GPRMC,225446,A,4916.45,N,18100.00,E,000.5,054.7,191194,020.3,E*68", false, 0, 0},
        {"$GPGGA,123519,inf,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", false, 0, 0},
        // Cut before the quality or the hemisphere: not known to be a fix.
        {"$GPGGA,123519,4807.038,N,01131.000,E", false, 0, 0},
        {"$GPRMC,225446,A,4916.45,N,12311.12", false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        GpsState state;
        SatelliteTable working;
        std::string line = c.line;
        EXPECT_EQ(decodeSentence(state, working, line.data(), static_cast<int>(line.size())), c.fix);
        EXPECT_NEAR(state.fixLatitude, c.latitude, 1e-9);
        EXPECT_NEAR(state.fixLongitude, c.longitude, 1e-9);
        EXPECT_EQ((state.received & RECEIVED_FIX) != 0, c.fix);
    }
}

// Which values a line counts as received, so a reader shows "--" for the rest; and the GGA altitude.
TEST(NmeaTest, MarksWhatWasReceived) {
    struct Case {
        const char* line;
        std::uint32_t received;
        double altitude;
    };
    constexpr std::uint32_t WHOLE_GGA = RECEIVED_TIME | RECEIVED_FIX | RECEIVED_GGA | RECEIVED_ALTITUDE |
                                        RECEIVED_QUALITY | RECEIVED_SATS_USED | RECEIVED_SEPARATION;
    const Case cases[] = {
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", WHOLE_GGA, 545.4},
        {"$GPGGA,,,,,,0,00,,,M,,M,,*66", RECEIVED_GGA | RECEIVED_QUALITY | RECEIVED_SATS_USED, 0},
        {"$GPGGA,,,,,,,,,,M,,M,,*66", RECEIVED_GGA, 0},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,-12.5,M,46.9,M,,*47", WHOLE_GGA, -12.5},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68",
         RECEIVED_TIME | RECEIVED_FIX | RECEIVED_DATE | RECEIVED_RMC, 0},
        {"$GPRMC,,V,,,,,,,,,,N*53", RECEIVED_RMC, 0},
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1E", RECEIVED_GSA | RECEIVED_FIX_TYPE, 0},
        {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,,2.1*39",
         RECEIVED_GSA | RECEIVED_FIX_TYPE | RECEIVED_PDOP | RECEIVED_VDOP, 0},
        {"$GPGSV,1,1,01,01,78,221,47*70", RECEIVED_GSV, 0},
        {"$GPGSV,2,1,05,01,78,221,47*70", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        GpsState state;
        SatelliteTable working;
        std::string line = c.line;
        decodeSentence(state, working, line.data(), static_cast<int>(line.size()));
        EXPECT_EQ(state.received, c.received);
        EXPECT_EQ(state.altitude, c.altitude);
    }
}

TEST(NmeaTest, FindsChecksumsThatMatchOrNot) {
    const struct {
        std::string line;
        bool bad;
        bool good;
    } cases[] = {
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", false, true},
        {"$GPGSA,A,1,,,,,,,,,,,,,,,*1e", false, true},                                          // lower-case hex
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\0"s, false, false}, // readLine's count
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", false, false},       // none sent
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*48", true, false},
        {"$GPGGA,123519,4807.039,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", true, false},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4", true, false},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4G", true, false},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*477", true, false},
        // Encapsulated sentences are not decoded, so never refused, but their checksums are theirs.
        {"!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26", false, true},
        {"!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*27", false, false},
        {"GPGGA,123519*47", false, false}, // not a sentence
        {"", false, false},
    };
    for (const auto& c : cases) {
        const int length = static_cast<int>(c.line.size());
        EXPECT_EQ(hasBadChecksum(c.line.data(), length), c.bad) << c.line;
        EXPECT_EQ(hasGoodChecksum(c.line.data(), length), c.good) << c.line;
    }
}

TEST(NmeaTest, ParseDecimalTakesEveryCharacterAsADigit) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"", 0},        {"0", 0}, {"42", 42}, {"08", 8}, {"4a", 89}, // 'a' - 48 = 49
        {"-1", -29},                                                 // '-' - 48 = -3
        {"\xc3", -109},                                              // a byte above 127 counts as negative
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseDecimal(c.text, static_cast<int>(std::strlen(c.text))), c.expected) << c.text;
    }
    // Longer than an int32 holds: wraps without trapping.
    EXPECT_EQ(parseDecimal("99999999999", 11), static_cast<int>(99999999999LL & 0xffffffffLL));
}

TEST(NmeaTest, ConvertCoordinateGivesHundredthsOfADegree) {
    EXPECT_NEAR(convertCoordinate("4807.038", 8), 4811.73, 1e-9);
    EXPECT_DOUBLE_EQ(convertCoordinate("01131.000", 9), 1151.6666666666667);
    EXPECT_EQ(convertCoordinate("", 0), 0.0);
    EXPECT_DOUBLE_EQ(convertCoordinate("8960.0000", 9), 9000.0) << "60 minutes from an MTK without a fix";
    EXPECT_NEAR(convertCoordinate("-4807.038", 9), -4811.73, 1e-9);
    EXPECT_NEAR(convertCoordinate("4807.038XYZ", 8), 4811.73, 1e-9) << "only n characters count";
}

// A field's value is what "%lf" reads, correctly rounded. MinGW's scanf rounds twice (through long
// double), so there the correctly rounded strtod stands in; with glibc both are checked to agree.
double referenceRead(const std::string& text) {
    const double value = std::strtod(text.c_str(), nullptr);
#ifndef _WIN32
    double scanned = 0.0;
    if (std::sscanf(text.c_str(), "%lf", &scanned) != 1) {
        scanned = 0.0;
    }
    EXPECT_EQ(0, std::memcmp(&value, &scanned, sizeof value)) << '"' << text << "\" %lf read " << scanned;
#endif
    return value;
}

void expectSameAsFormattedRead(const std::string& text) {
    const double fast = parseReal(text.data(), static_cast<int>(text.size()));
    const double reference = referenceRead(text);
    EXPECT_EQ(0, std::memcmp(&fast, &reference, sizeof fast))
        << '"' << text << "\" gave " << fast << ", not " << reference;
}

TEST(NmeaTest, ParseRealMatchesTheFormattedReadBitForBit) {
    const char* crafted[] = {"",
                             "0",
                             "-0",
                             "-0.0",
                             "+1.5",
                             ".5",
                             "5.",
                             "-",
                             ".",
                             "+",
                             "1e3",
                             " 7.25",
                             "12.5M",
                             "0x1A",
                             "inf",
                             "1.2.3",
                             "9007199254740992",
                             "9007199254740993",
                             "123456789012345678901234",
                             "0.1234567890123456789012",
                             "0.00000000000000000000001",
                             "1.7976931348623157e308",
                             "4807.0380000",
                             "00000000000000000000000001.5"};
    for (const char* text : crafted) {
        expectSameAsFormattedRead(text);
    }

    std::mt19937_64 random(20261207);
    for (int i = 0; i < 200000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int digits = 1 + static_cast<int>(random() % 18);
        const int point = static_cast<int>(random() % (digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == point) {
                text += '.';
            }
            text += static_cast<char>('0' + random() % 10);
        }
        expectSameAsFormattedRead(text);
        if (HasFailure()) {
            break;
        }
    }
}

TEST(NmeaTest, ParseRealMatchesTheFormattedReadOnEveryCapturedField) {
    for (const test::Capture& capture : test::loadCaptures()) {
        std::size_t start = 0;
        for (std::size_t i = 0; i < capture.bytes.size(); ++i) {
            const char c = capture.bytes[i];
            if (c == ',' || c == '*' || c == '\r' || c == '\n') {
                expectSameAsFormattedRead(capture.bytes.substr(start, i - start));
                start = i + 1;
            }
        }
        ASSERT_FALSE(HasFailure()) << capture.name;
    }
}

} // namespace
} // namespace veltaro
