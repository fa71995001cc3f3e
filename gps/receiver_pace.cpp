#include "gps/receiver_pace.h"

#include <algorithm>

namespace veltaro {

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

bool BurstSplitter::startsBurst(std::string_view line) {
    const std::string_view name = address(line);
    if (!startsCycle(name)) {
        return false;
    }
    const std::optional<milliseconds> lineStamp = timeStamp(line);
    const bool starts =
        lineStamp && current ? *lineStamp != *current : std::find(held.begin(), held.end(), name) != held.end();
    if (starts) {
        current.reset();
        held.clear();
    }
    if (!current) {
        current = lineStamp;
    }
    held.emplace_back(name);
    return starts;
}

milliseconds burstInterval(std::optional<milliseconds> from, std::optional<milliseconds> to) {
    if (!from || !to) {
        return ONE_SECOND;
    }
    milliseconds difference = *to - *from;
    if (difference < milliseconds::zero()) {
        difference += ONE_DAY; // past midnight
    }
    return difference > milliseconds::zero() && difference <= LONGEST_PAUSE ? difference : ONE_SECOND;
}

} // namespace veltaro
