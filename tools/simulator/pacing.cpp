#include "tools/simulator/pacing.h"

#include "gps/receiver_pace.h"

#include <algorithm>

namespace veltaro::sim {

std::vector<Burst> splitIntoBursts(std::string_view capture) {
    std::vector<Burst> bursts(1);
    BurstSplitter splitter;
    forEachLine(capture, [&](std::string_view line) {
        if (splitter.startsBurst(line)) {
            bursts.emplace_back();
        }
        bursts.back().stamp = splitter.stamp();
        bursts.back().bytes += line;
    });
    if (bursts.back().bytes.empty()) {
        return {};
    }
    for (std::size_t i = 0; i + 1 < bursts.size(); ++i) {
        bursts[i].interval = burstInterval(bursts[i].stamp, bursts[i + 1].stamp);
    }
    bursts.back().interval = bursts.size() > 1 ? bursts[bursts.size() - 2].interval : std::chrono::seconds(1);
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
