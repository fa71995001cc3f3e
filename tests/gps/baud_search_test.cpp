#include "gps/baud_search.h"

#include "support/captures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace veltaro {
namespace {

std::string capture(const char* name) {
    return test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + name);
}

// Line index of a stream, with its line end.
std::string lineOf(const std::string& bytes, int index) {
    std::size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = bytes.find('\n', start) + 1;
    }
    return bytes.substr(start, bytes.find('\n', start) + 1 - start);
}

// What a port set to a wrong rate reads: bytes of any value, '$' and line ends among them.
std::string noise(std::size_t n, unsigned seed) {
    std::minstd_rand random(seed);
    std::string bytes(n, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return bytes;
}

// The line as a receiver without checksums sends it.
std::string unchecked(const std::string& line) {
    return line.substr(0, line.find('*')) + "\r\n";
}

// The line with its checksum no longer matching its text.
std::string spoilt(const std::string& line) {
    std::string copy = line;
    const std::size_t digit = copy.find('*') + 2;
    copy[digit] = copy[digit] == '0' ? '1' : '0';
    return copy;
}

// A line with a good checksum, length characters before its line end.
std::string textLine(std::size_t length) {
    return test::sealed("$GPTXT," + std::string(length - 10, 'A')) + "\r\n";
}

struct Row {
    const char* what;
    std::string before; // what arrives at every rate tried before this one
    std::uint32_t rate;
    std::string bytes;
    bool found;
    std::string keptStart;
};

struct Outcome {
    bool found = false;
    bool roundEnded = false;
    std::string kept;
    std::size_t feedEnd = 0; // where the feed that confirmed the rate ended in its bytes
};

// One round of a search, fed in pieces of the given size.
Outcome search(const Row& row, std::size_t piece) {
    BaudSearch search;
    std::int64_t nowMs = 0;
    search.start(nowMs);
    Outcome outcome;
    for (std::size_t tried = 0; tried < BaudSearch::RATES.size(); ++tried) {
        const std::string& bytes = search.rate() == row.rate ? row.bytes : row.before;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            const std::size_t n = std::min(piece, bytes.size() - at);
            if (search.feed(bytes.data() + at, n)) {
                EXPECT_EQ(search.rate(), row.rate);
                return {true, false, search.confirmedBytes(), at + n};
            }
        }
        nowMs += BaudSearch::RATE_TIME_MS;
        outcome.roundEnded = search.next(nowMs);
    }
    return outcome;
}

TEST(BaudSearchTest, ConfirmsARateOnlyFromWellFormedLinesReceivedAtIt) {
    const std::string holux = capture("holux-gm-210.nmea");
    const std::string mtk = capture("mtk-3301.nmea");
    const std::string line1 = lineOf(holux, 1);
    const std::string line2 = lineOf(holux, 2);
    const std::string line3 = lineOf(holux, 3);
    const std::string chance = noise(300, 7) + "\n" + line1 + noise(300, 8);
    const Row rows[] = {
        {"CR LF lines, the port opened mid-line", "", 4800, capture("garmin48.nmea").substr(20, 600), true,
         "$GPRMB,A,,,,,"},
        {"LF lines after noise at the rates before", noise(400, 1), 38400, capture("garmin25lp.nmea").substr(30, 600),
         true, "$GPGSV,2,1,08,01,10,158"},
        {"CR CR LF from a modem", "", 115200, capture("telit-pls83-w.nmea").substr(5, 800), true, "$GAGGA,043539"},
        {"binary messages between the sentences", "", 57600, capture("ublox8-uniqid-monhw.nmea").substr(700, 2000),
         true, "$GNVTG,,T,,M,0.023"},
        {"three lines without checksums", "", 19200, mtk.substr(0, 400), true, "$POLYN,TIME"},
        {"two lines without checksums", "", 19200, lineOf(mtk, 0) + lineOf(mtk, 1) + lineOf(mtk, 2) + noise(300, 3),
         false, ""},
        {"one checked line and two without", "", 230400, "S,*7D\n" + line1 + unchecked(line2) + unchecked(line3), true,
         line1},
        {"one checked line a rate, as noise may hold", chance, 460800, chance, false, ""},
        {"checksums that do not match", "", 4800, "\n" + spoilt(line1) + spoilt(line2) + spoilt(line3), false, ""},
        {"a line cut by a rate change", noise(200, 4) + "\n" + line1 + line2.substr(0, 30), 38400,
         line2.substr(30) + line3 + noise(200, 5), false, ""},
        {"the first line after a change, even whole", "", 9600, line1 + line2 + noise(200, 6), false, ""},
        {"the line after it", "", 9600, line1 + line2 + line3, true, line2},
        {"noise before the sentence on its line", "", 4800, "\n\xF0\x0F" + line1 + "\xF0\x0F" + line2 + "\xF0" + line3,
         false, ""},
        {"lines as long as NMEA gets", "", 9600, "\n" + textLine(120) + textLine(120), true, textLine(120)},
        {"longer lines", "", 9600, "\n" + textLine(121) + textLine(121) + textLine(121), false, ""},
        {"a byte beyond ASCII in checked lines", "", 4800,
         "\n" + test::sealed("$GPTXT,25\xB0,C") + "\r\n" + test::sealed("$GPTXT,26\xB0,C") + "\r\n", false, ""},
        {"names not of five letters and digits", "", 4800,
         "\n" + lineOf(mtk, 0) + test::sealed("$PSRF103,00,01") + "\r\n" + test::sealed("$1PGGA,1") + "\r\n", false,
         ""},
    };
    for (const Row& row : rows) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{100000}}) {
            SCOPED_TRACE(std::string(row.what) + ", in pieces of " + std::to_string(piece));
            const Outcome outcome = search(row, piece);
            EXPECT_EQ(outcome.found, row.found);
            if (!outcome.found) {
                EXPECT_TRUE(outcome.roundEnded);
                continue;
            }
            // The log begins with the first confirming line and takes everything after it in that feed.
            EXPECT_EQ(outcome.kept.rfind(row.keptStart, 0), 0u) << outcome.kept;
            const std::size_t start = outcome.feedEnd - outcome.kept.size();
            EXPECT_EQ(row.bytes.substr(start, outcome.kept.size()), outcome.kept);
            EXPECT_TRUE(start == 0 || row.bytes[start - 1] == '\n');
        }
    }
}

// Each rate has two seconds from when it was set, whenever the caller comes; a refused rate is skipped at once
// and told until the port takes it.
TEST(BaudSearchTest, TriesTheRatesInTurnRoundAfterRound) {
    const struct {
        const char* refusal; // nullptr: the rate had its time
        std::int64_t atMs;
        std::uint32_t rate; // after the step
        bool roundEnded;
        std::vector<std::uint32_t> skipped;
    } steps[] = {
        {"The device does not support 4800 baud.", 5, 9600, false, {4800}},
        {nullptr, 2005, 38400, false, {4800}},
        {nullptr, 4500, 115200, false, {4800}},
        {nullptr, 6500, 19200, false, {4800}},
        {"Not supported.", 6510, 57600, false, {4800, 19200}},
        {nullptr, 8600, 230400, false, {4800, 19200}},
        {"Not supported.", 8610, 460800, false, {4800, 19200, 230400}},
        {nullptr, 10610, 4800, true, {4800, 19200, 230400}},
        {nullptr, 12610, 9600, false, {19200, 230400}},
    };
    BaudSearch search;
    search.start(0);
    std::int64_t setMs = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(search.rate());
        if (step.refusal == nullptr) {
            EXPECT_FALSE(search.expired(setMs + 1999));
            EXPECT_TRUE(search.expired(setMs + 2000));
        }
        EXPECT_EQ(step.refusal ? search.skip(step.refusal, step.atMs) : search.next(step.atMs), step.roundEnded);
        EXPECT_EQ(search.rate(), step.rate);
        setMs = step.atMs;
        std::vector<std::uint32_t> skipped;
        for (const auto& skip : search.skipped()) {
            skipped.push_back(skip.rate);
        }
        EXPECT_EQ(skipped, step.skipped);
        if (step.refusal != nullptr) {
            EXPECT_EQ(search.skipped().back().reason, step.refusal);
        }
    }
}

} // namespace
} // namespace veltaro
