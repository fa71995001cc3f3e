#pragma once

#include <string>

namespace veltaro::sim {

// The command line.
struct Options {
    std::string port; // the terminal to write to
    int baud = 4800;
    std::string replayFile;    // empty: generate a moving receiver
    bool parked = false;       // the generated receiver stands at its start, with a receiver's position noise
    double latitude = 48.1173; // where the generated route starts, degrees
    double longitude = 11.5167;
    bool help = false;
};

// False with error set when the command line is wrong.
bool parseOptions(int argc, char** argv, Options& options, std::string& error);

extern const char* const USAGE;

} // namespace veltaro::sim
