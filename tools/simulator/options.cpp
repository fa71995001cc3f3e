#include "tools/simulator/options.h"

#include "tools/simulator/terminal.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

namespace veltaro::sim {

const char* const USAGE =
    R"(Usage: veltaro-sim --port PATH [--baud N] [--generate | --replay FILE] [--start LAT,LON] [--parked]

Streams NMEA-0183 into a terminal (the far end of a virtual serial pair) at a receiver's pace.
  --port PATH       the terminal to write to (required)
  --baud N          line speed, 8N1: 1200, 2400, 4800 (default), 9600, 19200, 38400, 57600 or 115200
  --generate        a car driving about with a 3D fix, one GGA, RMC, GSA and GSV cycle a second (default)
  --replay FILE     a recorded capture, paced by its own time stamps, unchanged and looped
  --start LAT,LON   where the generated car starts, in degrees (default 48.1173,11.5167)
  --parked          the generated receiver stands still at the start, its fixes scattered as a real one's
Stops on Ctrl-C (SIGINT) or SIGTERM.
)";

namespace {

// The whole text as a number; false for anything else.
bool toNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value);
}

bool parseStart(const std::string& text, Options& options) {
    const std::size_t comma = text.find(',');
    return comma != std::string::npos && toNumber(text.substr(0, comma), options.latitude) &&
           toNumber(text.substr(comma + 1), options.longitude) && std::fabs(options.latitude) <= 85.0 &&
           std::fabs(options.longitude) <= 180.0;
}

} // namespace

bool parseOptions(int argc, char** argv, Options& options, std::string& error) {
    bool generate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            options.help = true;
            return true;
        }
        if (option == "--generate") {
            generate = true;
            continue;
        }
        if (option == "--parked") {
            options.parked = true;
            continue;
        }
        if (option != "--port" && option != "--baud" && option != "--replay" && option != "--start") {
            error = "unknown option " + std::string(option);
            return false;
        }
        if (i + 1 >= argc) {
            error = std::string(option) + " needs a value";
            return false;
        }
        const std::string value = argv[++i];
        if (option == "--port") {
            options.port = value;
        } else if (option == "--replay") {
            options.replayFile = value;
        } else if (option == "--baud") {
            char* end = nullptr;
            const long baud = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end != '\0' || baud < 1 || baud > 115200 ||
                !isSupportedBaud(static_cast<int>(baud))) {
                error = "unsupported baud rate " + value;
                return false;
            }
            options.baud = static_cast<int>(baud);
        } else if (!parseStart(value, options)) {
            error = "--start wants LAT,LON in degrees, latitude within 85, longitude within 180: " + value;
            return false;
        }
    }
    if (options.port.empty()) {
        error = "--port PATH is required";
        return false;
    }
    if ((generate || options.parked) && !options.replayFile.empty()) {
        error = std::string(generate ? "--generate" : "--parked") + " and --replay exclude each other";
        return false;
    }
    return true;
}

} // namespace veltaro::sim
