// The simulated receiver's logic: sentence formatting, the route and sky, capture pacing and line throttling.
#include "tools/simulator/nmea_writer.h"
#include "tools/simulator/pacing.h"
#include "tools/simulator/receiver.h"

#include "gps/nmea.h"
#include "support/captures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace veltaro::sim {
namespace {

using namespace std::chrono_literals;

constexpr double PI = 3.14159265358979323846;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = line.find_first_of(",*", start)) != std::string::npos; start = end + 1) {
        result.push_back(line.substr(start, end - start));
    }
    return result;
}

TEST(NmeaWriterTest, ChecksumsMatchRealReceivers) {
    const char* const lines[] = {
        "$GPGGA,030719.000,3747.0873,S,17518.8938,E,1,08,1.1,59.9,M,23.7,M,,0000*7D", // bu353s4
        "$GPRMC,125106,V,3854.5087,N,07726.4523,W,0.0,0.0,241011,10.5,W,S*28",        // GPSmap-76S
        "$GPRMC,225310,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*64",       // garmin48
        "$GPGSA,A,2,06,07,11,19,22,28,30,,,,,,1.4,1.1,0.8,1*23",                      // quectel
        "$GPGSV,3,1,12,05,04,187,,08,11,078,29,09,43,270,37,12,03,212,*75",           // ublox-lea-5h
        "$GPGGA,,,,,,0,,,,M,,M,,*66",                                                 // hemi
        "$GNRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*07",       // ublox-zed-f9p
        "$PGRME,9.1,M,15.0,M,12.0,M*21",                                              // garmin48
    };
    for (const std::string line : lines) {
        SCOPED_TRACE(line);
        const std::size_t star = line.find('*');
        EXPECT_EQ(sentence(line.substr(1, star - 1)), line + "\r\n");
    }
    // AIS lines start with "!"; the sum is taken the same way.
    EXPECT_EQ(checksum("AIVDM,2,1,9,B,55R3Vn82=ILTQ3KKS>1<D60Dq@E918U<F222221J1`?164vc03S1CCAD,0"), 0x2Au);
}

TEST(NmeaWriterTest, FormatsCoordinatesWithHemispheresAndWholeMinutes) {
    struct Case {
        double degrees;
        const char* latitude;
        const char* longitude;
    };
    const Case cases[] = {
        {48.1173, "4807.0380,N", "04807.0380,E"},
        {-37.784788333333, "3747.0873,S", "03747.0873,W"},
        {11.516666666667, "1131.0000,N", "01131.0000,E"},
        {-77.440871666667, "7726.4523,S", "07726.4523,W"},
        {48.99999, "4859.9994,N", "04859.9994,E"},
        // Minutes that round up to 60 carry into the degrees.
        {59.99999999, "6000.0000,N", "06000.0000,E"},
        {-0.99999999, "0100.0000,S", "00100.0000,W"},
        {0.0, "0000.0000,N", "00000.0000,E"},
        // Rounded to nothing: no southern or western zero.
        {-0.0000000001, "0000.0000,N", "00000.0000,E"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.degrees);
        EXPECT_EQ(latitudeFields(c.degrees), c.latitude);
        EXPECT_EQ(longitudeFields(c.degrees), c.longitude);
    }
    EXPECT_EQ(longitudeFields(175.314896666667), "17518.8938,E");
    EXPECT_EQ(longitudeFields(-179.99999999), "18000.0000,W");
}

TEST(NmeaWriterTest, CourseAndSpeedStayInTheirRanges) {
    struct Case {
        double course;
        double knots;
        const char* courseField;
        const char* speedField;
    };
    const Case cases[] = {
        {84.44, 22.44, "084.4", "022.4"},
        {359.94, 0.04, "359.9", "000.0"},
        {359.96, 99.96, "000.0", "100.0"}, // not 360.0
        {0.0, 0.0, "000.0", "000.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.course);
        Fix fix;
        fix.course = c.course;
        fix.speedKnots = c.knots;
        const std::vector<std::string> rmcFields = fields(rmc(fix));
        ASSERT_EQ(rmcFields.size(), 13u);
        EXPECT_EQ(rmcFields[7], c.speedField);
        EXPECT_EQ(rmcFields[8], c.courseField);
    }
}

TEST(NmeaWriterTest, SplitsGsvIntoMessagesOfFourSatellites) {
    struct Case {
        std::size_t inView;
        std::vector<std::string> heads; // the first three fields of each message
    };
    const Case cases[] = {
        {0, {"$GPGSV,1,1,00"}},
        {4, {"$GPGSV,1,1,04"}},
        {5, {"$GPGSV,2,1,05", "$GPGSV,2,2,05"}},
        {12, {"$GPGSV,3,1,12", "$GPGSV,3,2,12", "$GPGSV,3,3,12"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inView);
        std::vector<Satellite> inView;
        for (std::size_t i = 0; i < c.inView; ++i) {
            inView.push_back({static_cast<int>(i) + 1, 45, 180, 40});
        }
        const std::string text = gsv(inView);
        std::vector<std::string> heads;
        std::size_t satellites = 0;
        std::size_t start = 0;
        for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
            const std::vector<std::string> f = fields(text.substr(start, end - start));
            heads.push_back(f[0] + "," + f[1] + "," + f[2] + "," + f[3]);
            EXPECT_EQ((f.size() - 4) % 4, 0u);
            EXPECT_LE(f.size() - 4, 16u);
            satellites += (f.size() - 4) / 4;
        }
        EXPECT_EQ(heads, c.heads);
        EXPECT_EQ(satellites, c.inView);
    }
}

TEST(SkyTest, UsesTheTwelveHighestSatellitesAboveTenDegrees) {
    std::vector<Satellite> inView;
    for (int prn = 1; prn <= 16; ++prn) {
        inView.push_back({prn, 85 - 5 * prn, 0, 40}); // 80 down to 5 degrees
    }
    // Fifteen are at 10 degrees or more; the three lowest of them (PRNs 13 to 15) are left out.
    EXPECT_EQ(usedSatellites(inView), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(usedSatellites({{3, 9, 0, 30}, {7, 10, 0, 30}, {20, 60, 0, 45}}), (std::vector<int>{7, 20}));
}

// Decodes each line of a cycle, as the program's parser does.
GpsState decodeCycle(const std::string& text) {
    GpsState state;
    SatelliteTable working;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::string line = text.substr(start, end - start);
        const std::size_t star = line.find('*');
        EXPECT_NE(star, std::string::npos) << line;
        EXPECT_EQ(std::strtoul(line.substr(star + 1).c_str(), nullptr, 16), checksum(line.substr(1, star - 1))) << line;
        decodeSentence(state, working, line.data(), static_cast<int>(line.size()));
    }
    EXPECT_EQ(start, text.size()) << "every line ends in CR LF";
    return state;
}

TEST(ReceiverTest, GeneratedCyclesDecodeToTheRoute) {
    struct Case {
        double latitude;
        double longitude;
        double course;
        double seconds; // driven before the fix
    };
    const Case cases[] = {
        {48.1173, 11.5167, 45.0, 30.0},   {-37.7848, 175.3149, 200.0, 300.0}, // south and east
        {40.7128, -74.0060, 300.0, 95.5},                                     // north and west
        {-0.0001, -0.0001, 10.0, 1.0}, // crossing the equator and the prime meridian
        {0.0, 179.9999, 90.0, 2.0},    // over the date line into the west
    };
    const std::chrono::sys_seconds time = std::chrono::sys_days{std::chrono::year{2024} / 3 / 9} + 23h + 59min + 58s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latitude);
        SCOPED_TRACE(c.longitude);
        Route route(c.latitude, c.longitude, c.course, 7);
        route.advance(c.seconds);
        const Fix fix = makeFix(route, Sky(7), time);
        const GpsState state = decodeCycle(cycle(fix));

        // The decoder keeps hundredths of a degree; the sentences carry ten-thousandths of a minute.
        EXPECT_NEAR(state.latitude, route.latitude() * 100, 2e-4);
        EXPECT_NEAR(state.longitude, route.longitude() * 100, 2e-4);
        EXPECT_NEAR(state.speedKnots, route.speedKnots(), 0.05);
        EXPECT_NEAR(std::remainder(state.course - route.course(), 360.0), 0.0, 0.05);
        EXPECT_EQ(state.rmcValid, 1);
        EXPECT_EQ(state.fixQuality, 1);
        EXPECT_EQ(state.fixType, 3);
        EXPECT_EQ(state.hour, 23);
        EXPECT_EQ(state.minute, 59);
        EXPECT_EQ(state.second, 58);
        EXPECT_EQ(state.day, 9);
        EXPECT_EQ(state.month, 3);
        EXPECT_EQ(state.year, 24);
        EXPECT_EQ(state.satsUsed, static_cast<double>(fix.used.size()));
        EXPECT_NEAR(state.hdop, fix.hdop, 0.05);
        EXPECT_NEAR(state.gsaHdop, fix.hdop, 0.05);
        EXPECT_NEAR(state.pdop, fix.pdop, 0.05);
        EXPECT_NEAR(state.vdop, fix.vdop, 0.05);
        for (std::size_t i = 0; i < 12; ++i) {
            EXPECT_EQ(state.usedPrn[i], i < fix.used.size() ? fix.used[i] : -1) << "used " << i;
        }
        ASSERT_EQ(state.satellites.inView, static_cast<int>(fix.inView.size()));
        ASSERT_GT(fix.inView.size(), 4u) << "more than one GSV message";
        for (std::size_t i = 0; i < fix.inView.size(); ++i) {
            EXPECT_EQ(state.satellites.prn[i], fix.inView[i].prn);
            EXPECT_EQ(state.satellites.elevation[i], fix.inView[i].elevation);
            EXPECT_EQ(state.satellites.azimuth[i], fix.inView[i].azimuth);
            EXPECT_EQ(state.satellites.snr[i], fix.inView[i].snr);
        }
    }
}

// A parked receiver's fixes scatter around where it stands, a metre or so each way, two up, and it does not move.
TEST(ReceiverTest, ParkedReceiverScattersAroundItsPlace) {
    const Route route(48.1173, 11.5167, 45.0, 7);
    ParkedNoise noise(7);
    const std::chrono::sys_seconds time = std::chrono::sys_days{std::chrono::year{2024} / 3 / 9};
    double sums[3] = {};
    double squares[3] = {};
    constexpr int SECONDS = 20000;
    for (int i = 0; i < SECONDS; ++i) {
        Fix fix = makeFix(route, Sky(7), time);
        noise.apply(fix);
        ASSERT_EQ(fix.speedKnots, 0);
        const double errors[] = {(fix.longitude - 11.5167) * 111320 * std::cos(48.1173 * PI / 180),
                                 (fix.latitude - 48.1173) * 111320, fix.altitude - 520};
        for (int k = 0; k < 3; ++k) {
            sums[k] += errors[k];
            squares[k] += errors[k] * errors[k];
        }
    }
    const double sigmas[] = {1, 1, 2};
    for (int k = 0; k < 3; ++k) {
        const double mean = sums[k] / SECONDS;
        SCOPED_TRACE(k); // east, north, up
        EXPECT_NEAR(mean, 0, 0.15 * sigmas[k]);
        EXPECT_NEAR(std::sqrt(squares[k] / SECONDS - mean * mean), sigmas[k], 0.1 * sigmas[k]);
    }
}

// Great-circle distance (metres) and initial bearing (degrees) between two positions.
void distanceAndBearing(double lat1, double lon1, double lat2, double lon2, double& metres, double& bearing) {
    const double p1 = lat1 * PI / 180, p2 = lat2 * PI / 180, dl = (lon2 - lon1) * PI / 180;
    const double a = std::pow(std::sin((p2 - p1) / 2), 2) + std::cos(p1) * std::cos(p2) * std::pow(std::sin(dl / 2), 2);
    metres = 2 * 6371000.0 * std::asin(std::sqrt(a));
    bearing = std::atan2(std::sin(dl) * std::cos(p2),
                         std::cos(p1) * std::sin(p2) - std::sin(p1) * std::cos(p2) * std::cos(dl));
    bearing = std::fmod(bearing * 180 / PI + 360, 360);
}

TEST(RouteTest, MovesAlongItsCourseAtItsSpeed) {
    const double starts[][2] = {{48.1173, 11.5167}, {-37.7848, 175.3149}, {64.1, -21.9}, {0.0, 179.9999}};
    for (const auto& start : starts) {
        SCOPED_TRACE(start[0]);
        Route route(start[0], start[1], 135.0, 3);
        for (int second = 0; second < 600; ++second) {
            const double lat = route.latitude(), lon = route.longitude(), course = route.course();
            route.advance(1.0);
            double metres = 0, bearing = 0;
            distanceAndBearing(lat, lon, route.latitude(), route.longitude(), metres, bearing);
            ASSERT_NEAR(metres, route.speedMetresPerSecond(), 1e-3) << "second " << second;
            ASSERT_NEAR(std::remainder(bearing - route.course(), 360.0), 0.0, 0.01) << "second " << second;
            // A car's pace: 30 to 100 km/h, turning no faster than it can steer.
            ASSERT_GE(route.speedMetresPerSecond(), 8.0);
            ASSERT_LE(route.speedMetresPerSecond(), 28.0);
            ASSERT_LE(std::fabs(std::remainder(route.course() - course, 360.0)), 6.0 + 1e-9);
            ASSERT_GE(route.longitude(), -180.0);
            ASSERT_LE(route.longitude(), 180.0);
        }
    }
}

TEST(RouteTest, TurnsNowAndThen) {
    Route route(48.1173, 11.5167, 0.0, 1);
    int turningSeconds = 0;
    for (int second = 0; second < 600; ++second) {
        const double course = route.course();
        route.advance(1.0);
        turningSeconds += std::fabs(std::remainder(route.course() - course, 360.0)) > 1.0 ? 1 : 0;
    }
    // In ten minutes a car neither drives dead straight nor turns all the time.
    EXPECT_GT(turningSeconds, 10);
    EXPECT_LT(turningSeconds, 300);
}

TEST(SkyTest, SatellitesRiseAndSetSlowlyAndKeepAFix) {
    const Sky sky(1);
    const std::chrono::sys_seconds begin = std::chrono::sys_days{std::chrono::year{2024} / 6 / 1};
    std::map<int, Satellite> previous;
    std::map<int, int> rises, sets;
    for (std::chrono::sys_seconds time = begin; time < begin + 6h; time += 1s) {
        const std::vector<Satellite> inView = sky.inView(time);
        const std::vector<int> used = usedSatellites(inView);
        ASSERT_GE(used.size(), 4u) << "a 3D fix needs four";
        ASSERT_LE(used.size(), 12u);
        std::map<int, Satellite> now;
        for (const Satellite& s : inView) {
            ASSERT_GE(s.elevation, 0);
            ASSERT_LE(s.elevation, 90);
            ASSERT_GE(s.azimuth, 0);
            ASSERT_LT(s.azimuth, 360);
            now[s.prn] = s;
            const auto before = previous.find(s.prn);
            if (before == previous.end()) {
                ++rises[s.prn];
                continue;
            }
            ASSERT_LE(std::abs(s.elevation - before->second.elevation), 1);
            ASSERT_LE(std::abs((s.azimuth - before->second.azimuth + 540) % 360 - 180), 1);
            // The higher, the stronger.
            if (s.elevation > before->second.elevation) {
                ASSERT_GE(s.snr, before->second.snr);
            }
        }
        for (const auto& [prn, s] : previous) {
            sets[prn] += now.count(prn) == 0 ? 1 : 0;
        }
        previous = now;
    }
    // Sixteen satellites, each rising and setting about every half hour.
    ASSERT_EQ(rises.size(), 16u);
    for (const auto& [prn, count] : rises) {
        EXPECT_GE(count, 11) << "PRN " << prn;
        EXPECT_GE(sets[prn], 11) << "PRN " << prn;
    }
}

TEST(PacingTest, BurstsKeepEveryByteOfEveryCapture) {
    const std::vector<test::Capture> captures = test::loadCaptures();
    ASSERT_EQ(captures.size(), 65u) << "the corpus at " << VELTARO_NMEA_DIR;
    for (const test::Capture& capture : captures) {
        SCOPED_TRACE(capture.name);
        std::string joined;
        for (const Burst& burst : splitIntoBursts(capture.bytes)) {
            EXPECT_FALSE(burst.bytes.empty());
            EXPECT_GT(burst.interval, 0ms);
            EXPECT_LE(burst.interval, 5s);
            joined += burst.bytes;
        }
        EXPECT_TRUE(joined == capture.bytes);
    }
}

TEST(PacingTest, PacesCapturesByTheirTimeStamps) {
    struct Case {
        const char* file;
        std::size_t bursts; // one per distinct time stamp, or per cycle where the stamps are empty
        std::map<long long, std::size_t> intervals; // milliseconds: how many bursts have each
    };
    const Case cases[] = {
        {"GPSmap-76S.nmea", 12, {{2000, 12}}}, // RMC first, then GGA, every two seconds
        {"bu353s4.nmea", 25, {{1000, 25}}},
        {"cat-ms352.nmea", 40, {{500, 40}}},
        {"rst39.nmea", 41, {{100, 41}}}, // 10 Hz GGA among 25 Hz attitude lines
        // No-fix stretches of empty GGA and RMC go one cycle a second; one second is missing from the log.
        {"telit-he910.nmea", 224, {{1000, 223}, {2000, 1}}},
        {"quectel.nmea", 42, {{1000, 42}}}, // with a nine-second jump in its time stamps
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<Burst> bursts = splitIntoBursts(test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + c.file));
        EXPECT_EQ(bursts.size(), c.bursts);
        std::map<long long, std::size_t> intervals;
        for (const Burst& burst : bursts) {
            ++intervals[burst.interval.count()];
        }
        EXPECT_EQ(intervals, c.intervals);
    }
}

TEST(PacingTest, GroupsLinesBetweenTimeStamps) {
    struct Case {
        const char* name;
        std::string capture;
        std::vector<std::string> bursts;
        std::vector<long long> intervals; // milliseconds
    };
    const Case cases[] = {
        {"lines before the first time stamp join the first burst",
         "$GPGSV,1\r\n$GPGGA,120000\r\n$GPRMC,120000\r\n$GPGGA,120001\r\n",
         {"$GPGSV,1\r\n$GPGGA,120000\r\n$GPRMC,120000\r\n", "$GPGGA,120001\r\n"},
         {1000, 1000}},
        {"without time stamps a repeated sentence starts the next cycle",
         "$GPGGA,,\n$GPGSA,A\n$GPRMC,,V\n$GPGGA,,\n$GPGSA,A\n$GPRMC,,V\n",
         {"$GPGGA,,\n$GPGSA,A\n$GPRMC,,V\n", "$GPGGA,,\n$GPGSA,A\n$GPRMC,,V\n"},
         {1000, 1000}},
        {"a fix lost and found",
         "$GPGGA,120000\n$GPRMC,120000\n$GPGGA,,\n$GPRMC,,\n$GPGGA,120002\n$GPRMC,120002\n",
         {"$GPGGA,120000\n$GPRMC,120000\n", "$GPGGA,,\n$GPRMC,,\n", "$GPGGA,120002\n$GPRMC,120002\n"},
         {1000, 1000, 1000}},
        {"midnight",
         "$GPGGA,235959.50\n$GPGGA,000000.00\n$GPGGA,000000.25\n",
         {"$GPGGA,235959.50\n", "$GPGGA,000000.00\n", "$GPGGA,000000.25\n"},
         {500, 250, 250}},
        {"backwards and a long jump take a second",
         "$GPGGA,120005\n$GPGGA,120004\n$GPGGA,120010\n$GPGGA,120011\n",
         {"$GPGGA,120005\n", "$GPGGA,120004\n", "$GPGGA,120010\n", "$GPGGA,120011\n"},
         {1000, 1000, 1000, 1000}},
        {"a last line without its end",
         "$GPRMC,120000\r\n$GPRMC,120003\r\n$GPGS",
         {"$GPRMC,120000\r\n", "$GPRMC,120003\r\n$GPGS"},
         {3000, 3000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<Burst> bursts = splitIntoBursts(c.capture);
        ASSERT_EQ(bursts.size(), c.bursts.size());
        for (std::size_t i = 0; i < bursts.size(); ++i) {
            EXPECT_EQ(bursts[i].bytes, c.bursts[i]);
            EXPECT_EQ(bursts[i].interval.count(), c.intervals[i]) << "burst " << i;
        }
    }
    EXPECT_TRUE(splitIntoBursts("").empty());
}

TEST(LineThrottleTest, TakesTenBitsPerByte) {
    EXPECT_EQ(LineThrottle(4800).lineTime(480), 1s);
    EXPECT_EQ(LineThrottle(9600).lineTime(1), 1041667ns); // rounded up, never faster
    EXPECT_EQ(LineThrottle(115200).lineTime(1), 86806ns);
    EXPECT_EQ(LineThrottle(115200).lineTime(11520), 1s);
    EXPECT_EQ(LineThrottle(4800).lineTime(0), 0ns);
}

TEST(LineThrottleTest, SpreadsABurstTooLongForItsSecond) {
    // 600 bytes at 4800 baud need 1.25 s. Written as fast as the throttle lets them, each chunk starts
    // when the bytes before it have gone out, and the line is busy past the next second.
    LineThrottle throttle(4800);
    const LineThrottle::Clock::time_point t0{1h};
    LineThrottle::Clock::time_point now = t0;
    for (std::size_t offset = 0; offset < 600; offset += throttle.chunkSize()) {
        const std::size_t size = std::min<std::size_t>(throttle.chunkSize(), 600 - offset);
        const LineThrottle::Clock::time_point start = throttle.book(now, size);
        ASSERT_EQ(start - t0, throttle.lineTime(offset)) << "offset " << offset;
        now = start;
    }
    EXPECT_EQ(throttle.freeAt() - t0, 1250ms);

    // Idle after that, the line is free at once; booked before it is free, a write waits.
    EXPECT_EQ(throttle.book(t0 + 3s, 240), t0 + 3s);
    EXPECT_EQ(throttle.book(t0 + 3s + 100ms, 24), t0 + 3s + 500ms);
    EXPECT_EQ(throttle.freeAt(), t0 + 3s + 550ms);
}

} // namespace
} // namespace veltaro::sim
