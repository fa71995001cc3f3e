#include "support/captures.h"

#include "gps/receiver_pace.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace veltaro::test {

std::string readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<Capture> loadCaptures() {
    std::vector<Capture> captures;
    for (const auto& entry : std::filesystem::directory_iterator(VELTARO_NMEA_DIR)) {
        if (entry.path().extension() == ".nmea") {
            captures.push_back({entry.path().filename().string(), readFile(entry.path().string())});
        }
    }
    std::sort(captures.begin(), captures.end(), [](const Capture& a, const Capture& b) { return a.name < b.name; });
    return captures;
}

std::vector<std::string> splitCrLfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    return lines;
}

std::vector<Burst> burstsOf(const std::string& capture) {
    std::vector<Burst> bursts(1, Burst{0, {}});
    BurstSplitter splitter;
    forEachLine(capture, [&](std::string_view line) {
        const auto previous = splitter.stamp();
        if (splitter.startsBurst(line)) {
            bursts.push_back({static_cast<std::int64_t>(burstInterval(previous, splitter.stamp()).count()), {}});
        }
        const std::string_view text = line.substr(0, line.find_first_of("\r\n"));
        if (!text.empty()) {
            bursts.back().lines.emplace_back(text);
        }
    });
    return bursts;
}

std::string sealed(const std::string& line) {
    const std::string body = line.substr(0, line.find('*'));
    unsigned sum = 0;
    for (std::size_t i = 1; i < body.size(); ++i) {
        sum ^= static_cast<unsigned char>(body[i]);
    }
    char digits[4];
    std::snprintf(digits, sizeof digits, "*%02X", sum);
    return body + digits;
}

} // namespace veltaro::test
