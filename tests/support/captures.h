#pragma once

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

// The sentence with its checksum made right: "*hh" replaced, or added where the line has none.
std::string sealed(const std::string& line);

} // namespace veltaro::test
