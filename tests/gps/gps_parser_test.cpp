#include "gps/gps_parser.h"

#include "support/captures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace veltaro {
namespace {

// Stands in for the windows: records every post and lets the test wait for a number of them. Unless
// told to lag, it handles each at once, so every change is posted.
class PostRecorder {
public:
    explicit PostRecorder(bool acknowledging = true) : acknowledging(acknowledging) {}

    PostUpdate function() {
        return [this](ObserverHandle observer, GpsParser* parser) {
            {
                std::lock_guard guard(mutex);
                posts.push_back({observer, parser});
                changed.notify_all();
            }
            if (acknowledging) {
                parser->acknowledge();
            }
        };
    }

    // True once at least n posts arrived; false after a generous time-out.
    bool waitFor(std::size_t n) {
        std::unique_lock guard(mutex);
        return changed.wait_for(guard, std::chrono::seconds(30), [&] { return posts.size() >= n; });
    }

    // True once a post finds the condition met, given the number of posts so far; false after a generous
    // time-out.
    bool waitUntil(const std::function<bool(std::size_t posts)>& met) {
        std::unique_lock guard(mutex);
        return changed.wait_for(guard, std::chrono::seconds(30), [&] { return met(posts.size()); });
    }

    std::size_t countFor(ObserverHandle observer) {
        std::lock_guard guard(mutex);
        std::size_t count = 0;
        for (const Post& post : posts) {
            count += post.observer == observer ? 1 : 0;
        }
        return count;
    }

    std::size_t size() {
        std::lock_guard guard(mutex);
        return posts.size();
    }

    struct Post {
        ObserverHandle observer;
        GpsParser* parser;
    };
    std::vector<Post> snapshotPosts() {
        std::lock_guard guard(mutex);
        return posts;
    }

private:
    const bool acknowledging;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Post> posts;
};

ObserverHandle window(std::uintptr_t id) {
    return reinterpret_cast<ObserverHandle>(id);
}

void appendText(ByteQueue& queue, const std::string& text) {
    queue.append(text.data(), static_cast<int>(text.size()));
}

// The lines as a receiver sends them, each ended by CR LF.
std::string crLfLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += line + "\r\n";
    }
    return bytes;
}

TEST(GpsParserTest, NeverStartedParserHoldsResetValues) {
    PostRecorder recorder;
    GpsParser parser(recorder.function());
    GpsState state;
    state.latitude = 99;
    parser.copyState(state);
    EXPECT_EQ(state.active, 0);
    EXPECT_EQ(state.latitude, 0);
    EXPECT_EQ(state.gsaMode, 'A');
    EXPECT_EQ(recorder.size(), 0u);
}

TEST(GpsParserTest, StartNotifiesOnceWithActiveSetAndResetValues) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    parser.addObserver(window(1));
    ASSERT_TRUE(parser.start(&queue));
    ASSERT_TRUE(recorder.waitFor(1));
    GpsState state;
    parser.copyState(state);
    EXPECT_EQ(state.active, 1);
    EXPECT_EQ(state.gsaMode, 'A');
    EXPECT_EQ(state.satellites.inView, 0);
    EXPECT_EQ(recorder.snapshotPosts()[0].parser, &parser);
}

TEST(GpsParserTest, EachBurstDecodedNotifiesEachObserverOnce) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    parser.addObserver(window(1));
    parser.addObserver(window(2));
    parser.addObserver(window(2)); // registered twice, told twice
    ASSERT_TRUE(parser.start(&queue));

    appendText(queue, "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
                      "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K*48\r\n"
                      "garbage\r\n"
                      "$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68\r\n");
    const std::size_t perObserver = 1 + 1; // start, then the burst
    ASSERT_TRUE(
        recorder.waitUntil([&](std::size_t posts) { return parser.linesDecoded() == 4 && posts >= 3 * perObserver; }));
    EXPECT_EQ(recorder.countFor(window(1)), perObserver);
    EXPECT_EQ(recorder.countFor(window(2)), 2 * perObserver);
    EXPECT_EQ(parser.linesDecoded(), 4) << "garbage is a line too";

    GpsState state;
    parser.copyState(state);
    EXPECT_EQ(state.hour, 22);
    EXPECT_EQ(state.rmcValid, 1);
    EXPECT_EQ(state.fixQuality, 1);
    EXPECT_EQ(state.speedKnots, 0.5);
}

// A receiver's cycles as they come, burst by burst: one update each, and each brings the state after its last
// line. Streamed without pauses, a cycle is told as the next begins.
TEST(GpsParserTest, ReceiverCyclesAreToldOnceEachWithTheirLastState) {
    for (const char* name : {"garmin48.nmea", "ublox-zed-f9p-nmea.nmea", "neo-m8n.nmea", "quectelLC79D.nmea"}) {
        SCOPED_TRACE(name);
        const std::vector<test::Burst> bursts =
            test::burstsOf(test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + name));
        PostRecorder recorder;
        ByteQueue queue;
        GpsParser parser(recorder.function());
        parser.addObserver(window(1));
        ASSERT_TRUE(parser.start(&queue));
        ASSERT_TRUE(recorder.waitFor(1));
        std::int64_t lines = 0;
        for (std::size_t k = 0; k < bursts.size(); ++k) {
            lines += static_cast<std::int64_t>(bursts[k].lines.size());
            appendText(queue, crLfLines(bursts[k].lines));
            ASSERT_TRUE(recorder.waitUntil([&](std::size_t posts) {
                return parser.linesDecoded() == lines && posts >= k + 2;
            })) << "burst "
                << k;
            EXPECT_EQ(recorder.size(), k + 2) << "burst " << k << ": one update a cycle";
        }

        // The whole capture at once: a cycle is told as the next one begins, and the last at the end.
        PostRecorder flood;
        GpsParser all(flood.function());
        all.addObserver(window(1));
        ByteQueue whole;
        for (const test::Burst& burst : bursts) {
            appendText(whole, crLfLines(burst.lines));
        }
        ASSERT_TRUE(all.start(&whole));
        ASSERT_TRUE(flood.waitUntil([&](std::size_t) { return all.linesDecoded() == lines; }));
        GpsState told;
        GpsState direct;
        ASSERT_TRUE(flood.waitUntil([&](std::size_t) {
            all.copyState(told);
            parser.copyState(direct);
            return told.fixLatitude == direct.fixLatitude && told.second == direct.second;
        })) << "the last cycle is told";
        EXPECT_LE(flood.size(), bursts.size() + 1) << "at most one update a cycle";
        EXPECT_GE(flood.size(), bursts.size() / 2) << "the cycles are told as they begin";
        all.stop();
        parser.stop();
    }
}

TEST(GpsParserTest, ObserversArePostedToInRegistrationOrder) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    for (std::uintptr_t id = 1; id <= 17; ++id) {
        parser.addObserver(window(id));
    }
    ASSERT_TRUE(parser.start(&queue));
    ASSERT_TRUE(recorder.waitFor(17));
    const std::vector<PostRecorder::Post> posts = recorder.snapshotPosts();
    for (std::uintptr_t id = 1; id <= 17; ++id) {
        EXPECT_EQ(posts[id - 1].observer, window(id));
    }
}

TEST(GpsParserTest, SatelliteTableChangesOnlyWhenTheCycleIsComplete) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    parser.addObserver(window(1));
    ASSERT_TRUE(parser.start(&queue));

    GpsState state;
    appendText(queue, "$GPGSV,3,1,11,01,78,221,47,03,09,042,00,04,05,242,00,06,04,149,00*70\r\n");
    ASSERT_TRUE(recorder.waitFor(2));
    parser.copyState(state);
    EXPECT_EQ(state.satellites.inView, 0);
    EXPECT_EQ(state.satellites.prn[0], 0);

    appendText(queue, "$GPGSV,3,2,11,13,37,235,48,20,41,333,46,22,65,081,46,24,02,205,00*7B\r\n");
    ASSERT_TRUE(recorder.waitFor(3));
    parser.copyState(state);
    EXPECT_EQ(state.satellites.inView, 0);

    appendText(queue, "$GPGSV,3,3,11,25,20,108,00,27,08,281,00,28,17,339,39,,,,*4C\r\n");
    ASSERT_TRUE(recorder.waitFor(4));
    parser.copyState(state);
    EXPECT_EQ(state.satellites.inView, 11);
    EXPECT_EQ(state.satellites.storedCount, 12);
    const int prns[] = {1, 3, 4, 6, 13, 20, 22, 24, 25, 27, 28};
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(state.satellites.prn[i], prns[i]) << i;
    }
    EXPECT_EQ(state.satellites.snr[10], 39);
}

TEST(GpsParserTest, StoppedSourceEndsWithALastNotificationAndResetState) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    parser.addObserver(window(1));
    ASSERT_TRUE(parser.start(&queue));
    appendText(queue, "$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E*68\r\n");
    ASSERT_TRUE(recorder.waitFor(2));
    appendText(queue, "$GPGGA,123519,4807.038,N"); // never completed
    parser.stop();

    EXPECT_EQ(recorder.size(), 3u); // start, the line, the end: the partial line is not decoded
    GpsState state;
    parser.copyState(state);
    EXPECT_EQ(state.active, 0);
    EXPECT_EQ(state.rmcValid, 0);
    EXPECT_EQ(state.latitude, 0);
    EXPECT_EQ(state.gsaMode, 'A');
}

TEST(GpsParserTest, StopDecodesTheLinesAlreadyComplete) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    parser.addObserver(window(1));
    std::string lines;
    for (int i = 0; i < 200; ++i) {
        lines += "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n";
    }
    appendText(queue, lines);
    ASSERT_TRUE(parser.start(&queue));
    parser.stop();
    EXPECT_EQ(parser.linesDecoded(), 200);
    EXPECT_EQ(recorder.size(), 1u + 1u + 1u) << "the start, the burst and the end";
}

TEST(GpsParserTest, ObserverThatLagsIsToldOnceAndGetsEveryPositionReportedWithAFix) {
    PostRecorder recorder(false);
    ByteQueue queue;
    GpsParser parser(recorder.function());
    parser.addObserver(window(1));
    for (const char* line :
         {"$GPGGA,000001,4807.000,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", // no fix yet
          "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1",
          "$GPGGA,000002,4806.000,N,01130.000,E,1,08,0.9,545.4,M,46.9,M,,", "$GPGSV,1,1,01,01,78,221,47",
          "$GPRMC,000003,A,4806.000,N,01130.000,E,000.5,054.7,191194,020.3,E",
          "$GPGGA,000004,4812.000,S,01106.000,W,1,08,0.9,545.4,M,46.9,M,,"}) {
        appendText(queue, test::sealed(line) + "\r\n");
    }
    ASSERT_TRUE(parser.start(&queue));
    parser.stop();
    EXPECT_EQ(recorder.size(), 1u) << "only the start is posted while it is outstanding";

    GpsState state;
    std::vector<TrackFix> fixes;
    parser.takeUpdate(state, fixes);
    EXPECT_EQ(state.active, 0);
    ASSERT_EQ(fixes.size(), 3u);
    const double expected[][2] = {{4810.0, 1150.0}, {4810.0, 1150.0}, {-4820.0, -1110.0}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(fixes[i].latitude, expected[i][0], 1e-9) << i;
        EXPECT_NEAR(fixes[i].longitude, expected[i][1], 1e-9) << i;
    }
    parser.takeUpdate(state, fixes);
    EXPECT_EQ(fixes.size(), 3u) << "handed over once";

    parser.acknowledge();
    EXPECT_EQ(recorder.size(), 2u) << "what changed meanwhile is told at once";
    parser.acknowledge();
    EXPECT_EQ(recorder.size(), 2u);
}

// Replays a capture through a parser; the positions it reported and its count of bad checksums.
struct Replay {
    std::vector<TrackFix> fixes;
    std::int64_t badChecksums = 0;
};

Replay replay(const std::string& bytes) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    appendText(queue, bytes);
    EXPECT_TRUE(parser.start(&queue));
    parser.stop();
    Replay result;
    GpsState state;
    parser.takeUpdate(state, result.fixes);
    result.badChecksums = parser.badChecksumLines();
    return result;
}

// Both receivers lose their fix for a while and send empty position fields while the last GSA still
// says 3D: the track must not visit 0 degrees, 0 degrees.
TEST(GpsParserTest, LostFixAddsNoPositionToTheTrack) {
    for (const char* name : {"garmin-10x.nmea", "ublox-lea-4h.nmea"}) {
        SCOPED_TRACE(name);
        const Replay result = replay(test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + name));
        ASSERT_GT(result.fixes.size(), 10u);
        for (const TrackFix& fix : result.fixes) {
            EXPECT_GT(std::abs(fix.latitude) + std::abs(fix.longitude), 1000.0);
        }
    }
}

TEST(GpsParserTest, CountsLinesWhoseChecksumDoesNotMatch) {
    std::string bytes = test::readFile(std::string(VELTARO_NMEA_DIR) + "/garmin-10x.nmea");
    ASSERT_EQ(replay(bytes).badChecksums, 0);
    const std::size_t at = bytes.find("4143.6058");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 8] = '9';
    EXPECT_EQ(replay(bytes).badChecksums, 1);
}

// The parser's thread reads through its sentence reader: a receiver of other talkers switches it by itself,
// and the user's choice, taken from another thread, wins.
TEST(GpsParserTest, SwitchesToEverySystemByItselfUntilTheUserChooses) {
    PostRecorder recorder;
    ByteQueue queue;
    GpsParser parser(recorder.function());
    parser.addObserver(window(1));
    ASSERT_TRUE(parser.start(&queue));
    ASSERT_TRUE(recorder.waitFor(1));
    std::int64_t fed = 0;
    const auto feed = [&](const std::vector<std::string>& lines) {
        for (const std::string& line : lines) {
            appendText(queue, test::sealed(line) + "\r\n");
        }
        fed += static_cast<std::int64_t>(lines.size());
        return recorder.waitUntil([&](std::size_t) { return parser.linesDecoded() == fed; });
    };
    const std::string north = "$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const std::string south = "$GNGGA,123520,4807.038,S,01131.000,E,1,08,0.9,545.4,M,46.9,M,,";
    const std::string course = "$GPTXT,01,01,02,ANTSTATUS=OK";
    GpsState state;

    ASSERT_TRUE(feed({north, course}));
    parser.copyState(state);
    EXPECT_EQ(state.everySystem, 1);
    EXPECT_TRUE(parser.readsEverySystem());
    EXPECT_EQ(parser.everySystemSwitchedBy(), "$GNGGA");
    EXPECT_NEAR(state.fixLatitude, 4811.73, 1e-9);
    using Names = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(parser.notReadLines().names, (Names{{"$GPTXT", 1}}));

    parser.setEverySystem(false);
    EXPECT_EQ(parser.everySystemSwitchedBy(), "");
    ASSERT_TRUE(feed({south, south}));
    parser.copyState(state);
    EXPECT_EQ(state.everySystem, 0);
    EXPECT_NEAR(state.fixLatitude, 4811.73, 1e-9) << "the user's choice holds: the southern fix is not read";
    const NotReadLines notRead = parser.notReadLines();
    EXPECT_EQ(notRead.names, (Names{{"$GNGGA", 2}})) << "counted afresh in the new way of reading";
    EXPECT_TRUE(notRead.otherSystems);
    parser.stop();
}

// A value no receiver can report counts as not received, however the line came; one just inside its range is
// kept. Each line is read by a parser of its own after a GGA, RMC and GSA that set every value.
TEST(GpsParserTest, ValuesOutsideWhatAReceiverCanReportAreNotShown) {
    const auto bit = [](Received what) { return [what](const GpsState& s) { return (s.received & what) != 0; }; };
    const auto sighting = [](int i) {
        return [i](const GpsState& s) { return s.satellites.elevation[i] != 0 || s.satellites.azimuth[i] != 0; };
    };
    const auto snr = [](int i) { return [i](const GpsState& s) { return s.satellites.snr[i] != 0; }; };
    const auto speed = [](const GpsState& s) { return !std::isnan(s.speedKnots); };
    const auto course = [](const GpsState& s) { return !std::isnan(s.course); };
    const struct {
        std::string line;
        std::function<bool(const GpsState&)> shown;
        bool expected;
    } cases[] = {
        {"$GPGGA,235960.999,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", bit(RECEIVED_TIME), true},
        {"$GPGGA,240000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", bit(RECEIVED_TIME), false},
        {"$GPGGA,236000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", bit(RECEIVED_TIME), false},
        {"$GPGGA,235961,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", bit(RECEIVED_TIME), false},
        {"$GPGGA,999999,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,", bit(RECEIVED_TIME), false},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,99,0.9,-1000.0,M,46.9,M,,", bit(RECEIVED_ALTITUDE), true},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,-1000.1,M,46.9,M,,", bit(RECEIVED_ALTITUDE), false},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,100000,M,46.9,M,,", bit(RECEIVED_ALTITUDE), true},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,99999999.9,M,46.9,M,,", bit(RECEIVED_ALTITUDE), false},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,99,0.9,545.4,M,46.9,M,,", bit(RECEIVED_SATS_USED), true},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,100,0.9,545.4,M,46.9,M,,", bit(RECEIVED_SATS_USED), false},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,311299,020.3,E", bit(RECEIVED_DATE), true},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,320199,020.3,E", bit(RECEIVED_DATE), false},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,001299,020.3,E", bit(RECEIVED_DATE), false},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,011399,020.3,E", bit(RECEIVED_DATE), false},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,10000.0,360.0,191194,020.3,E", speed, true},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,99999.9,054.7,191194,020.3,E", speed, false},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,-0.1,054.7,191194,020.3,E", speed, false},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,10000.0,360.0,191194,020.3,E", course, true},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,999.9,191194,020.3,E", course, false},
        {"$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,-1.0,191194,020.3,E", course, false},
        {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,100.0,0.0,2.1", bit(RECEIVED_PDOP), true},
        {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,100.1,1.3,2.1", bit(RECEIVED_PDOP), false},
        {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,100.0,0.0,2.1", bit(RECEIVED_GSA_HDOP), true},
        {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,-1.3,2.1", bit(RECEIVED_GSA_HDOP), false},
        {"$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,99.99", bit(RECEIVED_VDOP), false},
        {"$GPGSV,1,1,03,01,90,359,99,02,10,000,00,03,91,100,40", sighting(0), true},
        {"$GPGSV,1,1,03,01,90,359,99,02,10,000,00,03,91,100,40", sighting(2), false},
        {"$GPGSV,1,1,03,01,45,360,40,02,-91,100,40,03,10,100,40", sighting(0), false},
        {"$GPGSV,1,1,03,01,45,360,40,02,-91,100,40,03,10,100,40", sighting(1), false},
        {"$GPGSV,1,1,03,01,90,359,99,02,10,000,00,03,91,100,40", snr(0), true},
        {"$GPGSV,1,1,02,01,45,100,100,02,45,100,-5", snr(0), false},
        {"$GPGSV,1,1,02,01,45,100,100,02,45,100,-5", snr(1), false},
    };
    const std::string before = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\r\n"
                               "$GPRMC,225446,A,4916.45,N,12311.12,W,000.5,054.7,191194,020.3,E\r\n"
                               "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1\r\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        PostRecorder recorder;
        ByteQueue queue;
        GpsParser parser(recorder.function());
        parser.addObserver(window(1));
        ASSERT_TRUE(parser.start(&queue));
        appendText(queue, before + test::sealed(c.line) + "\r\n");
        ASSERT_TRUE(recorder.waitUntil([&](std::size_t) { return parser.linesDecoded() == 4; }));
        GpsState state;
        parser.copyState(state);
        EXPECT_EQ(c.shown(state), c.expected);
        parser.stop();
    }
}

TEST(GpsStateTest, SatelliteCountsAsUsedOnlyInAValidFix) {
    GpsState state;
    state.usedPrn[0] = 4;
    state.usedPrn[11] = 24;
    EXPECT_FALSE(state.isSatelliteUsed(4)) << "RMC status V";
    state.rmcValid = 1;
    EXPECT_TRUE(state.isSatelliteUsed(4));
    EXPECT_TRUE(state.isSatelliteUsed(24));
    EXPECT_FALSE(state.isSatelliteUsed(5));
}

} // namespace
} // namespace veltaro
