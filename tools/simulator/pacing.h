#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro::sim {

// Lines of a capture that a receiver sent together, and when the next ones followed.
struct Burst {
    std::string bytes;                              // the capture's bytes, unchanged
    std::optional<std::chrono::milliseconds> stamp; // receiver time of day, when a GGA or RMC gave one
    std::chrono::milliseconds interval{};           // from this burst's start to the next one's
};

// Splits a capture at its GGA and RMC sentences. A new burst starts at one whose time stamp differs
// from the burst's; one without a usable time stamp starts a new burst when the burst already holds the
// same sentence, so a stretch without time stamps goes out one cycle per second. The interval is the
// difference of the time stamps, or a second where there is none or it jumps; the last burst takes the
// interval before it, for looping.
std::vector<Burst> splitIntoBursts(std::string_view capture);

// The time of day a GGA or RMC line carries (hhmmss or hhmmss.sss after the address), if any.
std::optional<std::chrono::milliseconds> timeStamp(std::string_view line);

// Keeps writes within what a line at the baud rate carries, 8N1: ten bits per byte.
class LineThrottle {
public:
    using Clock = std::chrono::steady_clock;

    explicit LineThrottle(int baud) : baud(baud) {}

    // How long the bytes occupy the line.
    std::chrono::nanoseconds lineTime(std::size_t bytes) const;

    // When the bytes may go, at the earliest at now: after those booked before them have gone out.
    Clock::time_point book(Clock::time_point now, std::size_t bytes);

    // When the line has carried everything booked.
    Clock::time_point freeAt() const { return free; }

    // How many bytes to write at a time: what the line carries in 20 ms, so the pace stays even.
    std::size_t chunkSize() const;

private:
    int baud;
    Clock::time_point free{};
};

} // namespace veltaro::sim
