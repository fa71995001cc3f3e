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

// Splits a capture into the bursts its receiver sent (see BurstSplitter); the last burst takes the
// interval before it, for looping.
std::vector<Burst> splitIntoBursts(std::string_view capture);

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
