#include "tools/simulator/pacing.h"

#include <algorithm>

namespace veltaro::sim {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds ONE_SECOND{1000};
constexpr milliseconds ONE_DAY{86400000};
// A longer jump is a break in the recording (logs joined, a receiver restarted), not a pause to replay.
constexpr milliseconds LONGEST_PAUSE{5000};

// The address of a sentence line ("GPGGA" for "$GPGGA,..."), empty for anything else.
std::string_view address(std::string_view line) {
    if (line.empty() || (line[0] != '$' && line[0] != '!')) {
        return {};
    }
    const std::size_t end = line.find_first_of(",*\r\n", 1);
    return line.substr(1, end == std::string_view::npos ? std::string_view::npos : end - 1);
}

// GGA and RMC from any talker start the receiver's cycles; proprietary sentences (P...) do not.
bool startsCycle(std::string_view address) {
    return address.size() == 5 && address[0] != 'P' && (address.substr(2) == "GGA" || address.substr(2) == "RMC");
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int twoDigits(std::string_view text) {
    return (text[0] - '0') * 10 + (text[1] - '0');
}

milliseconds interval(const Burst& from, const Burst& to) {
    if (!from.stamp || !to.stamp) {
        return ONE_SECOND;
    }
    milliseconds difference = *to.stamp - *from.stamp;
    if (difference < milliseconds::zero()) {
        difference += ONE_DAY; // past midnight
    }
    return difference > milliseconds::zero() && difference <= LONGEST_PAUSE ? difference : ONE_SECOND;
}

} // namespace

std::optional<milliseconds> timeStamp(std::string_view line) {
    const std::string_view name = address(line);
    if (!startsCycle(name) || line.size() < name.size() + 8 || line[name.size() + 1] != ',') {
        return std::nullopt;
    }
    const std::string_view field = line.substr(name.size() + 2);
    for (std::size_t i = 0; i < 6; ++i) {
        if (!isDigit(field[i])) {
            return std::nullopt;
        }
    }
    const int hours = twoDigits(field);
    const int minutes = twoDigits(field.substr(2));
    const int seconds = twoDigits(field.substr(4));
    if (hours > 23 || minutes > 59 || seconds > 60) {
        return std::nullopt;
    }
    int fraction = 0; // milliseconds
    if (field.size() > 6 && field[6] == '.') {
        int scale = 100;
        for (std::size_t i = 7; i < field.size() && isDigit(field[i]) && scale > 0; ++i, scale /= 10) {
            fraction += (field[i] - '0') * scale;
        }
    }
    return milliseconds((hours * 3600 + minutes * 60 + seconds) * 1000 + fraction);
}

std::vector<Burst> splitIntoBursts(std::string_view capture) {
    std::vector<Burst> bursts(1);
    std::vector<std::string_view> held; // the cycle-starting sentences in the current burst
    std::size_t start = 0;
    while (start < capture.size()) {
        const std::size_t newline = capture.find('\n', start);
        const std::size_t end = newline == std::string_view::npos ? capture.size() : newline + 1;
        const std::string_view line = capture.substr(start, end - start);
        start = end;

        const std::string_view name = address(line);
        if (startsCycle(name)) {
            const std::optional<milliseconds> stamp = timeStamp(line);
            Burst& current = bursts.back();
            const bool newBurst = stamp && current.stamp ? *stamp != *current.stamp
                                                         : std::find(held.begin(), held.end(), name) != held.end();
            if (newBurst) {
                bursts.emplace_back();
                held.clear();
            }
            if (!bursts.back().stamp) {
                bursts.back().stamp = stamp;
            }
            held.push_back(name);
        }
        bursts.back().bytes += line;
    }
    if (bursts.back().bytes.empty()) {
        return {};
    }
    for (std::size_t i = 0; i + 1 < bursts.size(); ++i) {
        bursts[i].interval = interval(bursts[i], bursts[i + 1]);
    }
    bursts.back().interval = bursts.size() > 1 ? bursts[bursts.size() - 2].interval : ONE_SECOND;
    return bursts;
}

std::chrono::nanoseconds LineThrottle::lineTime(std::size_t bytes) const {
    // Rounded up: never a nanosecond faster than the line.
    const auto bits = static_cast<long long>(bytes) * 10 * 1000000000LL;
    return std::chrono::nanoseconds((bits + baud - 1) / baud);
}

LineThrottle::Clock::time_point LineThrottle::book(Clock::time_point now, std::size_t bytes) {
    const Clock::time_point start = std::max(now, free);
    free = start + lineTime(bytes);
    return start;
}

std::size_t LineThrottle::chunkSize() const {
    return std::max<std::size_t>(1, static_cast<std::size_t>(baud) / 500);
}

} // namespace veltaro::sim
