#include "gps/sentence_reader.h"

#include "support/captures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

namespace veltaro {
namespace {

// Hundredths of a degree of the positions below: ddmm.mmm is dd * 100 + mm * 100 / 60.
constexpr double GP_LATITUDE = 4811.73;   // 4807.038 N
constexpr double GN_LATITUDE = -4587.757; // 4552.654 S

const std::string GP_GGA = test::sealed("$GPGGA,120000,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
const std::string GN_GGA = test::sealed("$GNGGA,120000,4552.654,S,17030.007,E,1,12,0.64,14.2,M,1.8,M,,");
const std::string GN_RMC = test::sealed("$GNRMC,120000,A,4552.654,S,17030.007,E,0.025,,120419,,,A");

// The line with its checksum no longer matching its text.
std::string spoilt(const std::string& line) {
    std::string copy = test::sealed(line);
    copy.back() = copy.back() == '0' ? '1' : '0';
    return copy;
}

struct Feed {
    SentenceReader reader;
    GpsState state;
    std::int64_t nowMs = 0;

    // As the parser hands a line over: NUL-terminated, the count at its end, the text its own to split.
    void read(std::string line) { reader.read(state, line.data(), static_cast<int>(line.size()), nowMs); }
};

// What the sentences of the first table change when they are decoded.
auto fingerprint(const GpsState& state) {
    return std::make_tuple(state.received, state.course, state.speedKnots);
}

TEST(SentenceReaderTest, EachWayOfReadingTakesItsSentences) {
    struct Row {
        std::string line;
        bool byDefault;
        bool everySystem;
        const char* notReadName; // how the default reading counts it, "" when read or not a sentence at all
        bool otherSystem;        // counted among the other systems' sentences
        bool unreadable = false; // counted without a name
    };
    const Row rows[] = {
        {GP_GGA, true, true, "", false},
        {test::sealed("$gpgsv,1,1,01,05,40,100,30"), true, true, "", false},
        {GN_RMC, false, true, "$GNRMC", true},
        {test::sealed("$GLGSV,1,1,01,70,30,300,28"), false, true, "$GLGSV", true},
        {test::sealed("$BDGSA,A,3,03,,,,,,,,,,,,1.0,1.0,1.0"), false, true, "$BDGSA", true},
        {test::sealed("$GNVTG,054.7,T,034.4,M,005.5,N,010.2,K,A"), false, true, "$GNVTG", true},
        {test::sealed("$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K,A"), true, true, "", false},
        {test::sealed("$GNZDA,120000.00,12,04,2019,00,00"), true, true, "", false},
        {test::sealed("$GNGST,120000.00,235111,,,,2.3,3.5,4.0"), true, true, "", false},
        // NMEA 4.10 signal IDs: L2 (6) would replace the L1 bars; L1 C/A (1) and "all" (0) are what they show.
        {test::sealed("$GPGSV,1,1,01,05,40,100,30,6"), false, true, "$GPGSV", false},
        {test::sealed("$GPGSV,1,1,01,05,40,100,30,1"), true, true, "", false},
        {test::sealed("$GPGSV,1,1,01,05,40,100,30,0"), true, true, "", false},
        {test::sealed("$PGRME,15.0,M,45.0,M,25.0,M"), false, false, "$PGRME", false},
        {test::sealed("$GPGGAX,120000,4807.038,N"), false, false, "$GPGGAX", false},
        {test::sealed("$GPTXT,01,01,02,ANTSTATUS=OK"), false, false, "$GPTXT", false},
        {"!AIVDM,1,1,,A,13aEOK?P00PD2wVMdLDRhgvL289?,0*26", false, false, "!AIVDM", false},
        // Names nobody can read are counted apart: too long, lower case, binary, no "$" at all.
        {test::sealed("$PUBXLONGNA,1"), false, false, "$PUBXLONGNA", false},
        {test::sealed("$PUBXLONGNAM,1"), false, false, "", false, true},
        {test::sealed("$gptxt,1"), false, false, "", false, true},
        {"$\xDF-\xD1q\xCA\xE3,\xB4", false, false, "", false, true},
        {"garbage", false, false, "", false, true},
        {"", false, false, "", false},
    };
    for (const Row& row : rows) {
        for (const bool every : {false, true}) {
            SCOPED_TRACE(row.line + (every ? " with every system" : " by default"));
            const bool read = every ? row.everySystem : row.byDefault;
            const bool counted = !read && row.notReadName[0] != '\0';
            Feed feed;
            feed.reader.choose(every);
            const auto before = fingerprint(feed.state);
            feed.read(row.line);
            EXPECT_EQ(fingerprint(feed.state) != before, read);
            EXPECT_EQ(feed.reader.notRead().lines, counted ? 1 : 0);
            using Names = std::vector<std::pair<std::string, std::int64_t>>;
            EXPECT_EQ(feed.reader.notRead().names, (counted ? Names{{row.notReadName, 1}} : Names{}));
            EXPECT_EQ(feed.reader.notRead().otherSystems, counted && row.otherSystem);
            EXPECT_EQ(feed.reader.notRead().unreadable, row.unreadable ? 1 : 0);
            EXPECT_EQ(feed.reader.readsEverySystem(), every) << "a choice holds";
        }
    }
}

TEST(SentenceReaderTest, SwitchesToEverySystemWhenOnlyOtherTalkersReportPositions) {
    struct Step {
        std::int64_t ms;
        std::string line; // empty: the user chooses the default reading
    };
    struct Script {
        const char* what;
        std::vector<Step> steps;
        bool every;
        const char* switchedBy;
        double latitude; // of the last fix shown, 0 for none
    };
    const std::string glgsv = test::sealed("$GLGSV,1,1,01,70,30,300,28");
    const Script scripts[] = {
        {"a GN-only receiver",
         {{0, test::sealed("$GNGSA,A,3,05,,,,,,,,,,,,1.0,1.0,1.0")}, {1000, GN_GGA}},
         true,
         "$GNGGA",
         GN_LATITUDE},
        {"the first position names the switch", {{0, GN_RMC}, {0, GN_GGA}}, true, "$GNRMC", GN_LATITUDE},
        {"GPS positions still come", {{0, GP_GGA}, {500, GN_RMC}}, false, "", GP_LATITUDE},
        {"GPS silent just under 3 s", {{0, GP_GGA}, {2999, GN_GGA}}, false, "", GP_LATITUDE},
        {"GPS silent for 3 s", {{0, GP_GGA}, {3000, GN_GGA}}, true, "$GNGGA", GN_LATITUDE},
        {"satellites alone", {{0, glgsv}, {4000, glgsv}, {8000, glgsv}}, false, "", 0},
        {"a corrupted position", {{0, spoilt(GN_GGA)}, {5000, spoilt(GN_GGA)}}, false, "", 0},
        {"the user chose first", {{0, ""}, {0, GN_GGA}, {5000, GN_GGA}}, false, "", 0},
        {"the user undid the switch", {{0, GN_GGA}, {100, ""}, {200, GN_GGA}, {5000, GN_GGA}}, false, "", GN_LATITUDE},
    };
    for (const Script& script : scripts) {
        SCOPED_TRACE(script.what);
        Feed feed;
        for (const Step& step : script.steps) {
            feed.nowMs = step.ms;
            if (step.line.empty()) {
                feed.reader.choose(false);
            } else {
                feed.read(step.line);
            }
        }
        EXPECT_EQ(feed.reader.readsEverySystem(), script.every);
        EXPECT_EQ(feed.reader.switchedBy(), script.switchedBy);
        EXPECT_NEAR(feed.state.fixLatitude, script.latitude, 0.01) << "the line that switches is read itself";
    }
}

TEST(SentenceReaderTest, RefusesLinesWhoseChecksumDoesNotMatch) {
    const std::string rmc = "$GPRMC,120000,A,3000.000,N,10200.000,W,0.0,0.0,010120,,";
    struct Row {
        std::string line;
        bool decoded;
    };
    const Row rows[] = {{test::sealed(rmc), true}, {spoilt(rmc), false}, {rmc, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        Feed feed;
        feed.read(row.line);
        EXPECT_EQ((feed.state.received & RECEIVED_RMC) != 0, row.decoded);
        EXPECT_EQ(feed.reader.badChecksums(), row.decoded ? 0 : 1);
    }

    // One flipped bit turns 102 degrees west into 2: the corrupted copies around the good line are not shown.
    const std::string good = test::sealed(rmc);
    std::string corrupted = good;
    corrupted.replace(corrupted.find(",10200."), 7, ",00200.");
    Feed feed;
    for (const std::string& line : {corrupted, good, corrupted}) {
        feed.read(line);
    }
    EXPECT_NEAR(feed.state.fixLongitude, -10200.0, 0.01);
    EXPECT_EQ(feed.reader.badChecksums(), 2);
}

TEST(SentenceReaderTest, SatellitesLeaveWithTheCycleNoLongerReported) {
    const std::string gpsL1 = test::sealed("$GPGSV,1,1,02,05,40,100,30,07,20,200,25,1");
    const std::string gpsL2 = test::sealed("$GPGSV,1,1,01,09,10,010,20,6"); // 09 heard on L2 alone
    const std::string glonass = test::sealed("$GLGSV,1,1,01,70,30,300,28,1");
    struct Step {
        std::int64_t ms;
        std::string line;
        int inView; // state.allSystems.count after the line
    };
    const Step steps[] = {
        {0, gpsL1, 2},     {0, glonass, 3},   {0, gpsL2, 4},
        {5000, gpsL1, 4},  {10000, gpsL1, 4}, {10001, GP_GGA, 2}, // GLONASS and L2 not completed for more than 10 s
        {15000, gpsL1, 2}, {20000, gpsL1, 2}, {25000, glonass, 3},
    };
    Feed feed;
    feed.reader.choose(true);
    for (const Step& step : steps) {
        SCOPED_TRACE(std::to_string(step.ms) + " " + step.line);
        feed.nowMs = step.ms;
        feed.read(step.line);
        EXPECT_EQ(feed.state.allSystems.count, step.inView);
    }
}

void play(Feed& feed, const std::vector<test::Burst>& bursts) {
    for (const test::Burst& burst : bursts) {
        feed.nowMs += burst.afterMs;
        for (const std::string& line : burst.lines) {
            feed.read(line);
        }
    }
}

std::vector<test::Burst> capture(const char* name) {
    return test::burstsOf(test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + name));
}

TEST(SentenceReaderTest, SatellitesStayWhileTheReceiverKeepsReportingThem) {
    const std::vector<test::Burst> bursts = capture("neo-m8n.nmea");
    ASSERT_GT(bursts.size(), 10u);
    // The recording stops inside its last epoch: the last one with its satellites is repeated.
    const auto last = std::find_if(bursts.rbegin(), bursts.rend(), [](const test::Burst& burst) {
        return std::any_of(burst.lines.begin(), burst.lines.end(),
                           [](const std::string& line) { return line.find("GSV,") != std::string::npos; });
    });
    ASSERT_NE(last, bursts.rend());
    Feed feed;
    feed.reader.choose(true);
    play(feed, bursts);
    // 13 GPS and 10 GLONASS satellites, at every line: a cycle that left and came back would blink.
    for (int second = 0; second < 12; ++second) {
        feed.nowMs += 1000;
        for (const std::string& line : last->lines) {
            feed.read(line);
            ASSERT_EQ(feed.state.allSystems.count, 23) << "after " << second << " s at " << line;
        }
    }
}

// The bars show one signal a satellite: the F9P's L2 cycle follows its L1 cycle; the LC79D ends its L1 cycle
// with a message of L5 signals, which must not keep the cycle from showing.
TEST(SentenceReaderTest, DefaultReadingShowsTheGpsL1Signal) {
    const struct {
        const char* capture;
        int inView;
        int heard; // satellites with a signal
    } cases[] = {
        {"ublox-zed-f9p-nmea.nmea", 12, 9},
        {"quectelLC79D.nmea", 8, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capture);
        Feed feed;
        feed.reader.choose(false);
        play(feed, capture(c.capture));
        const SatelliteTable& gps = feed.state.satellites;
        ASSERT_EQ(gps.inView, c.inView);
        EXPECT_EQ(std::count_if(gps.snr, gps.snr + gps.inView, [](std::int32_t snr) { return snr > 0; }), c.heard);
        EXPECT_FALSE(feed.reader.readsEverySystem());
    }
}

TEST(SentenceReaderTest, ReadsEverySystemOfAReceiverWithoutGpsTalker) {
    Feed feed;
    play(feed, capture("ublox-zed-f9p-nmea.nmea"));
    EXPECT_TRUE(feed.reader.readsEverySystem());
    EXPECT_EQ(feed.reader.switchedBy(), "$GNRMC"); // the recording's first line
    EXPECT_EQ(feed.state.allSystems.count, 41);
    EXPECT_EQ(feed.state.usedAllSystems, 20);
    const std::vector<std::int32_t> used(std::begin(feed.state.usedBySystem), std::end(feed.state.usedBySystem));
    EXPECT_EQ(used, (std::vector<std::int32_t>{8, 3, 3, 6, 0, 0, 0})); // G R E C J I S
}

// The page names three sentences not read: the position sentences lead, as they say why no fix shows.
TEST(SentenceReaderTest, NamesPositionSentencesFirstAmongThoseNotRead) {
    Feed feed;
    feed.reader.choose(false);
    for (const char* line : {"$GLGSV,1,1,00", "$GLGSV,1,1,00", "$GNGSA,A,1", "$GLGSV,1,1,00", "$GNGSA,A,1",
                             "$GNGGA,120000", "$GPTXT,01", "$GNGNS,120000", "$GNRMC,120000", "$GNRMC,120001"}) {
        feed.read(test::sealed(line));
    }
    using Names = std::vector<std::pair<std::string, std::int64_t>>;
    EXPECT_EQ(feed.reader.notRead().names,
              (Names{{"$GNRMC", 2}, {"$GNGGA", 1}, {"$GNGNS", 1}, {"$GLGSV", 3}, {"$GNGSA", 2}, {"$GPTXT", 1}}));
}

} // namespace
} // namespace veltaro
