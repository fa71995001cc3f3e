#include "gps/history.h"

#include <gtest/gtest.h>

#include <cmath>

namespace veltaro {
namespace {

GpsState fixState(int quality, int fixType) {
    GpsState state;
    state.received = RECEIVED_GGA | RECEIVED_QUALITY | RECEIVED_GSA | RECEIVED_FIX_TYPE | RECEIVED_RMC;
    state.fixQuality = quality;
    state.fixType = fixType;
    state.rmcValid = 1;
    return state;
}

TEST(HistoryTest, FixKindFollowsQualityThenType) {
    const struct {
        int quality;
        int type;
        int rmcValid;
        FixKind kind;
    } cases[] = {
        {0, 3, 1, FIX_NONE}, {1, 1, 1, FIX_NONE},      {1, 3, 0, FIX_NONE},      {1, 2, 1, FIX_2D}, {1, 3, 1, FIX_3D},
        {2, 3, 1, FIX_DGPS}, {4, 3, 1, FIX_RTK_FIXED}, {5, 3, 1, FIX_RTK_FLOAT}, {6, 3, 1, FIX_3D},
    };
    for (const auto& c : cases) {
        GpsState state = fixState(c.quality, c.type);
        state.rmcValid = c.rmcValid;
        EXPECT_EQ(sampleOf(state).fix, c.kind) << c.quality << " " << c.type << " " << c.rmcValid;
    }
    EXPECT_EQ(sampleOf(GpsState{}).fix, FIX_NONE) << "nothing received";
}

TEST(HistoryTest, SampleTakesSatellitesSignalAndHdopFromEitherReading) {
    GpsState gps = fixState(1, 3);
    gps.received |= RECEIVED_SATS_USED | RECEIVED_GSV | RECEIVED_GSA_HDOP;
    gps.satsUsed = 7;
    gps.satellites.inView = 6;
    const int snr[] = {40, 0, 35, 45, 20, 38};
    for (int i = 0; i < 6; ++i) {
        gps.satellites.snr[i] = snr[i];
    }
    gps.gsaHdop = 1.25;
    gps.hdop = 3;
    const HistorySample a = sampleOf(gps);
    EXPECT_EQ(a.used, 7);
    EXPECT_EQ(a.inView, 6);
    EXPECT_FLOAT_EQ(a.cn0, (45 + 40 + 38 + 35) / 4.0f) << "the four strongest";
    EXPECT_FLOAT_EQ(a.hdop, 1.25f) << "GSA's HDOP first";

    GpsState every = gps;
    every.everySystem = 1;
    every.usedAllSystems = 20;
    every.allSystems.count = 2;
    every.allSystems.snr[0] = 30;
    every.allSystems.snr[1] = 0;
    every.received &= ~static_cast<std::uint32_t>(RECEIVED_GSA_HDOP);
    const HistorySample b = sampleOf(every);
    EXPECT_EQ(b.used, 20);
    EXPECT_EQ(b.inView, 2);
    EXPECT_FLOAT_EQ(b.cn0, 30) << "fewer than four heard: their average";
    EXPECT_FLOAT_EQ(b.hdop, 3) << "GGA's HDOP without a GSA one";

    const HistorySample none = sampleOf(GpsState{});
    EXPECT_EQ(none.used, -1);
    EXPECT_EQ(none.inView, -1);
    EXPECT_TRUE(std::isnan(none.cn0));
    EXPECT_TRUE(std::isnan(none.hdop));
}

// A second's sample is its latest state; a second without data has none; six hours are kept.
TEST(HistoryTest, OneSampleASecondWithGapsAndSixHoursKept) {
    History history;
    GpsState state = fixState(1, 3);
    state.received |= RECEIVED_SATS_USED;
    const struct {
        std::int64_t ms;
        int used;
    } records[] = {{1000, 4}, {1500, 5}, {1999, 6}, {2000, 7}, {5200, 8}};
    for (const auto& r : records) {
        state.satsUsed = r.used;
        history.record(state, r.ms);
    }
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history.at(0).second, 1);
    EXPECT_EQ(history.at(0).used, 6);
    EXPECT_EQ(history.at(1).second, 2);
    EXPECT_EQ(history.at(2).second, 5) << "seconds 3 and 4 are a gap";
    EXPECT_EQ(history.recorded(), 3);

    for (std::int64_t second = 6; second < 6 + History::MAX_SAMPLES; ++second) {
        history.record(state, second * 1000);
    }
    EXPECT_EQ(history.size(), History::MAX_SAMPLES);
    EXPECT_EQ(history.at(0).second, 6) << "the oldest three went";
    EXPECT_EQ(history.at(History::MAX_SAMPLES - 1).second, 5 + History::MAX_SAMPLES);
}

} // namespace
} // namespace veltaro
