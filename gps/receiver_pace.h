#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro {

// Hands each line of bytes to visit, its line end included; a last line without its end as well.
template <typename Visit>
void forEachLine(std::string_view bytes, Visit visit) {
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t newline = bytes.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? bytes.size() : newline + 1;
        visit(bytes.substr(start, end - start));
        start = end;
    }
}

// The time of day a GGA or RMC line carries (hhmmss or hhmmss.sss after the address), if any.
std::optional<std::chrono::milliseconds> timeStamp(std::string_view line);

// Finds, line by line, the bursts a receiver sent together in a recording: a new burst starts at a GGA
// or RMC whose time stamp differs from the burst's; one without a usable time stamp starts a new burst
// when the burst already holds the same sentence, so a stretch without time stamps goes one cycle a second.
class BurstSplitter {
public:
    // Whether line begins a new burst: the lines before it complete the one before.
    bool startsBurst(std::string_view line);
    // The current burst's time stamp, once one of its lines gave one.
    std::optional<std::chrono::milliseconds> stamp() const { return current; }

private:
    std::optional<std::chrono::milliseconds> current;
    std::vector<std::string> held; // the cycle-starting sentences in the current burst
};

// How long after one burst the receiver sent the next: the difference of their time stamps, or a second
// where one has none or the difference is not a plausible pause (backwards, or a break in the recording).
std::chrono::milliseconds burstInterval(std::optional<std::chrono::milliseconds> from,
                                        std::optional<std::chrono::milliseconds> to);

} // namespace veltaro
