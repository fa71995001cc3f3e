#include "gps/sentence_table.h"

#include "support/captures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro {
namespace {

struct Reader {
    GpsState state;
    SatelliteTable working;
    SystemCycles cycles;
    int fixes = 0; // positions the track would get

    void read(std::string line) {
        fixes +=
            decodeEverySystem(state, working, cycles, line.data(), static_cast<int>(line.size())) && state.fixType > 1
                ? 1
                : 0;
    }
    void readStream(const std::string& bytes) {
        std::size_t start = 0;
        for (std::size_t end; (end = bytes.find_first_of("\r\n", start)) != std::string::npos; start = end + 1) {
            if (end > start) {
                read(bytes.substr(start, end - start));
            }
        }
    }

    // Each system's letter once, in the order shown, and how many satellites are used.
    std::string systems() const {
        std::string letters;
        for (int i = 0; i < state.allSystems.count; ++i) {
            if (letters.find(state.allSystems.system[i]) == std::string::npos) {
                letters += state.allSystems.system[i];
            }
        }
        return letters;
    }
    int used() const {
        int n = 0;
        for (int i = 0; i < state.allSystems.count; ++i) {
            n += state.allSystems.used[i];
        }
        return n;
    }
    std::string label(int i) const { return state.allSystems.system[i] + std::to_string(state.allSystems.prn[i]); }
};

// What a reader of each file sees at its end with every system read.
TEST(EverySystemTest, CapturesOfTodaysReceiversShowTheirFixAndEverySystem) {
    struct Row {
        const char* capture;
        int fixType;
        double latitude; // the last fix, hundredths of a degree
        double longitude;
        const char* systems;
        int inView;
        int used;
        bool track;
    };
    const Row rows[] = {
        {"neo-m8n", 3, 4406.90, -12131.42, "GR", 23, 13, true},
        {"ublox-8", 3, 4406.90, -12131.43, "GRS", 25, 13, true},
        {"ublox-neo-m9n-nmea", 3, 3811.05, -12262.69, "GRECS", 43, 25, true},
        {"ublox-zed-f9p-nmea", 3, -4587.76, 17050.01, "GREC", 41, 20, true},
        {"ublox8-uniqid-monhw", 3, 4640.46, -11702.07, "GRS", 10, 6, true},
        {"quectel-l76k-nmea", 3, 4766.20, -12232.64, "GRC", 25, 14, true},
        {"unicore-um621", 3, 4406.88, -12131.41, "GRECS", 44, 27, true},
        {"beidou-bd", 3, 3124.82, 12158.74, "GC", 32, 7, true},
        {"furuno_gl_ga", 3, 5995.01, 1101.07, "RES", 18, 11, true},
        {"jl-micro-jlt", 3, -3490.82, 13859.60, "GES", 21, 14, true},
        {"bu353-glonass", 1, 5568.66, 3762.16, "GR", 22, 0, true}, // its fix lost: no satellite used
        {"sirfstarv-nmea", 3, 4406.89, -12131.43, "GR", 22, 16, true},
        {"nmea-rtk", 0, 4157.50, -9375.06, "", 0, 0, false}, // GGA and RMC only: a position, no satellites
        // Cycles that end in a message of another signal: each signal's satellites, none frozen.
        {"quectelLC79D", 3, 5004.10, 1998.05, "GRECJ", 18, 12, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.capture);
        Reader reader;
        reader.readStream(test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + row.capture + ".nmea"));
        EXPECT_EQ(reader.state.fixType, row.fixType);
        EXPECT_NE(reader.state.received & RECEIVED_FIX, 0u);
        EXPECT_NEAR(reader.state.fixLatitude, row.latitude, 0.01);
        EXPECT_NEAR(reader.state.fixLongitude, row.longitude, 0.01);
        EXPECT_EQ(reader.systems(), row.systems);
        EXPECT_EQ(reader.state.allSystems.count, row.inView);
        EXPECT_EQ(reader.used(), row.used);
        EXPECT_EQ(reader.fixes > 0, row.track);
    }
}

TEST(EverySystemTest, EachSystemsCycleReplacesOnlyItsOwnSatellites) {
    Reader reader;
    reader.read("$GPGSV,1,1,02,05,40,100,30,07,20,200,25*00");
    reader.read("$GLGSV,1,1,01,70,30,300,28*00");
    // Galileo twice, on two signals (NMEA 4.11): E11 once, with its stronger signal.
    reader.read("$GAGSV,1,1,02,11,50,050,20,12,10,010,33,1*00");
    reader.read("$GAGSV,1,1,01,11,50,050,41,7*00");
    // A GPS cycle without 07 replaces GPS only.
    reader.read("$GPGSV,1,1,01,05,41,101,31*00");
    // Used: the latest GSA of each system, by system ID, by talker, or by the numbers' range.
    reader.read("$GNGSA,A,3,05,,,,,,,,,,,,1.0,1.0,1.0,1*00");
    reader.read("$GNGSA,A,3,70,,,,,,,,,,,,1.0,1.0,1.0*00");
    reader.read("$GAGSA,A,3,11,,,,,,,,,,,,1.0,1.0,1.0*00");
    std::vector<std::string> labels;
    std::vector<int> snr;
    for (int i = 0; i < reader.state.allSystems.count; ++i) {
        labels.push_back(reader.label(i) + (reader.state.allSystems.used[i] != 0 ? "*" : ""));
        snr.push_back(reader.state.allSystems.snr[i]);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"G5*", "R70*", "E11*", "E12"}));
    EXPECT_EQ(snr, (std::vector<int>{31, 28, 41, 33}));
    EXPECT_EQ(reader.state.satellites.inView, 1) << "the GPS table of the single-system views follows too";

    // A new GPS GSA replaces the GPS list alone; one-digit numbers are the numbers they are.
    reader.read("$GNGSA,A,3,7,,,,,,,,,,,,1.0,1.0,1.0,1*00");
    reader.read("$GPGSV,1,1,01,07,20,200,25*00");
    labels.clear();
    for (int i = 0; i < reader.state.allSystems.count; ++i) {
        labels.push_back(reader.label(i) + (reader.state.allSystems.used[i] != 0 ? "*" : ""));
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"G7*", "R70*", "E11*", "E12"}));
}

TEST(EverySystemTest, NumbersTellTheSystemWhereTheTalkerDoesNot) {
    Reader reader;
    reader.read("$GNGSV,1,1,04,12,10,010,20,44,10,010,20,71,10,010,20,305,10,010,20*00");
    reader.read("$GPGSV,1,1,01,195,10,010,20*00");
    reader.read("$BDGSV,1,1,01,03,10,010,20*00");
    std::vector<std::string> labels;
    for (int i = 0; i < reader.state.allSystems.count; ++i) {
        labels.push_back(reader.label(i));
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"G12", "R71", "E5", "C3", "J195", "S44"}));
}

} // namespace
} // namespace veltaro
