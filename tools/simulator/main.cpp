// veltaro-sim: a simulated GPS receiver writing NMEA-0183 into a terminal at a receiver's pace.
#include "tools/simulator/options.h"
#include "tools/simulator/pacing.h"
#include "tools/simulator/receiver.h"
#include "tools/simulator/terminal.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace veltaro::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t SEED = 1; // the same drive and sky on every run

// Sends the bytes no faster than the line carries them. False when stopped or on a write error.
bool send(Terminal& terminal, LineThrottle& throttle, std::string_view bytes) {
    std::string error;
    for (std::size_t offset = 0; offset < bytes.size(); offset += throttle.chunkSize()) {
        const std::string_view chunk = bytes.substr(offset, throttle.chunkSize());
        if (!sleepUntil(throttle.book(Clock::now(), chunk.size())) || !terminal.write(chunk, error)) {
            if (!error.empty()) {
                std::fprintf(stderr, "veltaro-sim: %s\n", error.c_str());
            }
            return false;
        }
    }
    return true;
}

std::string clockText(std::chrono::milliseconds timeOfDay) {
    const int seconds = static_cast<int>(timeOfDay.count() / 1000 % 86400);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

int replay(Terminal& terminal, LineThrottle& throttle, const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string capture((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in || capture.empty()) {
        std::fprintf(stderr, "veltaro-sim: cannot read %s, or it is empty\n", file.c_str());
        return 1;
    }
    const std::vector<Burst> bursts = splitIntoBursts(capture);
    std::printf("replaying %s: %zu bytes in %zu bursts, looped\n", file.c_str(), capture.size(), bursts.size());

    Clock::time_point next = Clock::now();
    for (std::size_t i = 0; sleepUntil(next); i = (i + 1) % bursts.size()) {
        const Clock::time_point start = next;
        const Burst& burst = bursts[i];
        std::printf("burst %zu/%zu %s %zu bytes\n", i + 1, bursts.size(),
                    burst.stamp ? clockText(*burst.stamp).c_str() : "--:--:--", burst.bytes.size());
        if (!send(terminal, throttle, burst.bytes)) {
            break;
        }
        // A burst the line cannot carry within its interval delays the next one.
        next = std::max(start + burst.interval, throttle.freeAt());
    }
    return stopRequested() ? 0 : 1;
}

int generate(Terminal& terminal, LineThrottle& throttle, const Options& options) {
    Route route(options.latitude, options.longitude, 45.0, SEED);
    const Sky sky(SEED);
    ParkedNoise noise(SEED);
    std::printf("generating a %s at %.5f,%.5f, one fix a second\n", options.parked ? "parked receiver" : "car starting",
                options.latitude, options.longitude);

    // Start on a whole second of UTC, as receivers do, so each cycle's time stamp is the second it began.
    const auto wall = std::chrono::system_clock::now();
    Clock::time_point next = Clock::now() + (std::chrono::ceil<std::chrono::seconds>(wall) - wall);
    Clock::time_point previous = next;
    while (sleepUntil(next)) {
        const Clock::time_point start = next;
        if (!options.parked) {
            route.advance(std::chrono::duration<double>(start - previous).count());
        }
        previous = start;
        Fix fix = makeFix(route, sky, std::chrono::round<std::chrono::seconds>(std::chrono::system_clock::now()));
        if (options.parked) {
            noise.apply(fix);
        }
        const std::string bytes = cycle(fix);
        const auto time = fix.time - std::chrono::floor<std::chrono::days>(fix.time);
        std::printf("%s %s %s %5.1f kn %05.1f deg, %zu of %zu satellites used, %zu bytes\n", clockText(time).c_str(),
                    latitudeFields(fix.latitude).c_str(), longitudeFields(fix.longitude).c_str(), fix.speedKnots,
                    fix.course, fix.used.size(), fix.inView.size(), bytes.size());
        if (!send(terminal, throttle, bytes)) {
            break;
        }
        next = std::max(start + std::chrono::seconds(1), throttle.freeAt());
    }
    return stopRequested() ? 0 : 1;
}

} // namespace
} // namespace veltaro::sim

int main(int argc, char** argv) {
    using namespace veltaro::sim;
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // one line at a time, also into a log file

    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "veltaro-sim: %s\n\n%s", error.c_str(), USAGE);
        return 2;
    }
    if (options.help) {
        std::printf("%s", USAGE);
        return 0;
    }

    catchStopSignals();
    Terminal terminal;
    if (!terminal.open(options.port, options.baud, error)) {
        std::fprintf(stderr, "veltaro-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("veltaro-sim: writing to %s at %d baud, 8N1%s\n", options.port.c_str(), options.baud,
                terminal.isTerminal() ? "" : " (not a terminal: no line settings, paced all the same)");

    LineThrottle throttle(options.baud);
    const int status = options.replayFile.empty() ? generate(terminal, throttle, options)
                                                  : replay(terminal, throttle, options.replayFile);
    if (status == 0) {
        std::printf("veltaro-sim: stopped\n");
    }
    return status;
}
