#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro::test {

// One recorded receiver stream, byte for byte.
struct Capture {
    std::string name;
    std::string bytes;
};

std::string readFile(const std::string& path);

// Every capture of the corpus, ordered by file name.
std::vector<Capture> loadCaptures();

// The complete lines of a stream whose lines end in CR LF.
std::vector<std::string> splitCrLfLines(const std::string& bytes);

// A recording cut into the bursts its receiver sent, each with its pause after the one before, as a replay
// paces it; the lines without their ends.
struct Burst {
    std::int64_t afterMs;
    std::vector<std::string> lines;
};
std::vector<Burst> burstsOf(const std::string& capture);

// The sentence with its checksum made right: "*hh" replaced, or added where the line has none.
std::string sealed(const std::string& line);

} // namespace veltaro::test
