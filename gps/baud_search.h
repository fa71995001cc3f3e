#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltaro {

// Finds the baud rate a serial GPS receiver sends at. The caller sets its port to rate(), feeds what arrives
// there, and moves on when the rate's time is up or the port refuses it. Times are milliseconds of a steady
// clock. Not thread-safe: its owner guards it.
class BaudSearch {
public:
    // The usual rates of receivers first.
    static constexpr std::array<std::uint32_t, 8> RATES = {4800, 9600, 38400, 115200, 19200, 57600, 230400, 460800};
    static constexpr std::int64_t RATE_TIME_MS = 2000;
    // Longer lines are not NMEA, though receivers with centimetre fields go past the standard's 82.
    static constexpr std::size_t LONGEST_LINE = 120;

    struct SkippedRate {
        std::uint32_t rate = 0;
        std::string reason;
    };

    // Begins at the first rate, forgetting everything before.
    void start(std::int64_t nowMs);
    std::uint32_t rate() const { return RATES[at]; }

    // Bytes that arrived at rate(); true once they confirmed it. Bytes after that are not looked at.
    bool feed(const char* bytes, std::size_t n);
    bool confirmed() const { return found; }
    // From the first confirming line to the end of the feed that confirmed the rate: what a log starts with.
    const std::string& confirmedBytes() const { return kept; }

    // Whether rate() had its time without being confirmed.
    bool expired(std::int64_t nowMs) const { return nowMs - startedMs >= RATE_TIME_MS; }
    // Moves on to the next rate. True when that ended a round with nothing found: the search begins again at
    // the first rate.
    bool next(std::int64_t nowMs);
    // The port refused rate(): records why, then moves on as next does.
    bool skip(const std::string& reason, std::int64_t nowMs);
    // The rates the port refused the last time they were tried, in the order they were refused.
    const std::vector<SkippedRate>& skipped() const { return refused; }

private:
    void enter(std::size_t index, std::int64_t nowMs);
    // Counts the line just ended; true when it confirmed the rate.
    bool countLine();

    std::size_t at = 0;
    std::int64_t startedMs = 0;
    bool found = false;
    bool firstLine = true;                     // the port may have begun mid-line: it never counts
    std::array<char, LONGEST_LINE + 2> line{}; // the line so far, with room for CR CR at its end
    std::size_t lineLength = 0;                // goes on counting past the room
    int checkedLines = 0;                      // well-formed with a matching checksum
    int wellFormedLines = 0;
    std::string kept;
    std::vector<SkippedRate> refused;
};

} // namespace veltaro
