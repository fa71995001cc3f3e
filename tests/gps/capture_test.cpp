// Replays every recorded receiver stream through a queue into the decoder, as the parser thread does.
#include "core/byte_queue.h"
#include "gps/nmea.h"

#include "support/captures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace veltaro {
namespace {

bool isGsv(const char* line) {
    return std::strlen(line) >= 6 && std::strncmp(line, "$GPGSV", 6) == 0 && (line[6] == ',' || line[6] == '\0');
}

// Whether a GSV line is the last message of its cycle: its first two fields are equal.
bool endsGsvCycle(const std::string& line) {
    const std::size_t first = line.find(',');
    const std::size_t second = line.find_first_of(",*", first + 1);
    const std::size_t third = second == std::string::npos ? second : line.find_first_of(",*", second + 1);
    if (first == std::string::npos || second == std::string::npos || third == std::string::npos) {
        return false;
    }
    const std::string total = line.substr(first + 1, second - first - 1);
    const std::string number = line.substr(second + 1, third - second - 1);
    return parseDecimal(total.data(), static_cast<int>(total.size())) ==
           parseDecimal(number.data(), static_cast<int>(number.size()));
}

bool sameTable(const SatelliteTable& a, const SatelliteTable& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string summarize(const std::string& name, int lines, int commits, const GpsState& s) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "%s: lines %d, cycles %d, time %02d:%02d:%02d, date %02d/%02d/%02d, rmc %d, fix %d/%d/%c, "
                  "lat %.6f, lon %.6f, sats %.1f, hdop %.2f, pdop %.2f, vdop %.2f, knots %.3f, course %.2f\n",
                  name.c_str(), lines, commits, s.hour, s.minute, s.second, s.day, s.month, s.year, s.rmcValid,
                  s.fixType, s.fixQuality, s.gsaMode, s.latitude, s.longitude, s.satsUsed, s.hdop, s.pdop, s.vdop,
                  s.speedKnots, s.course);
    std::string summary = text;
    summary +=
        "  in view " + std::to_string(s.satellites.inView) + " of " + std::to_string(s.satellites.storedCount) + ":";
    for (int i = 0; i < s.satellites.inView && i < MAX_SATELLITES; ++i) {
        summary += " " + std::to_string(s.satellites.prn[i]) + "/" + std::to_string(s.satellites.elevation[i]) + "/" +
                   std::to_string(s.satellites.azimuth[i]) + "/" + std::to_string(s.satellites.snr[i]);
    }
    summary += "\n  used:";
    for (int prn : s.usedPrn) {
        summary += " " + std::to_string(prn);
    }
    return summary + "\n";
}

TEST(CaptureTest, EveryCaptureDecodesWithWholeSortedGsvCycles) {
    const std::vector<test::Capture> captures = test::loadCaptures();
    ASSERT_EQ(captures.size(), 65u) << "the corpus at " << VELTARO_NMEA_DIR;

    std::string summaries;
    for (const test::Capture& capture : captures) {
        SCOPED_TRACE(capture.name);
        ByteQueue queue;
        queue.append(capture.bytes.data(), static_cast<int>(capture.bytes.size()));
        queue.signalStop();

        GpsState state;
        SatelliteTable working;
        int lines = 0;
        int commits = 0;
        int count = 0;
        while (std::unique_ptr<char[]> line = queue.readLine(count)) {
            ++lines;
            const std::string text = line.get();
            const SatelliteTable before = state.satellites;
            decodeSentence(state, working, line.get(), count);
            if (isGsv(text.c_str()) && endsGsvCycle(text)) {
                ++commits;
                EXPECT_TRUE(sameTable(state.satellites, working)) << text;
                for (int i = 1; i < state.satellites.inView && i < MAX_SATELLITES; ++i) {
                    EXPECT_LE(state.satellites.prn[i - 1], state.satellites.prn[i]) << text;
                }
            } else {
                EXPECT_TRUE(sameTable(state.satellites, before)) << text;
            }
        }
        summaries += summarize(capture.name, lines, commits, state);
    }

    const std::string goldenPath = std::string(VELTARO_GOLDEN_DIR) + "/captures.golden";
    if (std::getenv("VELTARO_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(goldenPath, std::ios::binary) << summaries;
    }
    EXPECT_EQ(summaries, test::readFile(goldenPath))
        << "set VELTARO_UPDATE_GOLDEN=1 to rewrite " << goldenPath << " after checking the change";
}

} // namespace
} // namespace veltaro
