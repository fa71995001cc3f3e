#include "gps/gps_parser.h"

#include "gps/nmea.h"
#include "gps/receiver_pace.h"
#include "gps/value_ranges.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace veltaro {

GpsParser::GpsParser(PostUpdate post) : post(std::move(post)) {
    resetState();
}

GpsParser::~GpsParser() {
    stop();
}

void GpsParser::resetState() {
    std::lock_guard guard(stateLock);
    state = GpsState{};
    reader.clearTables();
}

void GpsParser::addObserver(ObserverHandle observer) {
    std::lock_guard guard(observerLock);
    if (observers.size() == observers.capacity()) {
        observers.reserve(observers.size() + 16);
    }
    observers.push_back(observer);
}

void GpsParser::notifyObservers() {
    std::lock_guard guard(observerLock);
    if (outstanding) {
        changedMeanwhile = true;
        return;
    }
    outstanding = true;
    for (ObserverHandle observer : observers) {
        post(observer, this);
    }
}

void GpsParser::acknowledge() {
    std::lock_guard guard(observerLock);
    outstanding = false;
    if (changedMeanwhile) {
        changedMeanwhile = false;
        notifyObservers();
    }
}

void GpsParser::copyState(GpsState& destination) {
    std::lock_guard guard(stateLock);
    destination = state;
}

void GpsParser::takeUpdate(GpsState& destination, std::vector<TrackFix>& taken) {
    std::lock_guard guard(stateLock);
    destination = state;
    taken.insert(taken.end(), fixes.begin(), fixes.end());
    fixes.clear();
}

bool GpsParser::start(ByteQueue* queue) {
    if (thread.joinable()) {
        return true;
    }
    source = queue;
    stopFlag = 0;
    lines = 0;
    {
        std::lock_guard guard(stateLock);
        reader.restart();
    }
    lastLine = std::chrono::steady_clock::now().time_since_epoch().count();
    resetState();
    try {
        thread = std::thread(&GpsParser::run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void GpsParser::restartReading() {
    {
        std::lock_guard guard(stateLock);
        const std::int32_t active = state.active;
        state = GpsState{};
        state.active = active;
        reader.restart();
        state.everySystem = reader.readsEverySystem() ? 1 : 0;
        fixes.clear();
    }
    notifyObservers();
}

void GpsParser::stop() {
    if (!thread.joinable()) {
        return;
    }
    source->signalStop();
    thread.join();
}

void GpsParser::recordFix() {
    try {
        const double altitude = (state.received & RECEIVED_ALTITUDE) != 0 ? state.altitude : std::nan("");
        fixes.push_back({state.fixLatitude, state.fixLongitude, altitude, state.fixTickMs});
    } catch (const std::bad_alloc&) {
        // No memory for one more position: the track misses it, the state is still right.
    }
}

std::int64_t GpsParser::linesDecoded() const {
    return lines;
}

std::int64_t GpsParser::badChecksumLines() {
    std::lock_guard guard(stateLock);
    return reader.badChecksums();
}

NotReadLines GpsParser::notReadLines() {
    std::lock_guard guard(stateLock);
    return reader.notRead();
}

void GpsParser::setEverySystem(bool on) {
    std::lock_guard guard(stateLock);
    reader.choose(on);
    state.everySystem = on ? 1 : 0;
}

bool GpsParser::readsEverySystem() {
    std::lock_guard guard(stateLock);
    return reader.readsEverySystem();
}

std::string GpsParser::everySystemSwitchedBy() {
    std::lock_guard guard(stateLock);
    return reader.switchedBy();
}

std::int64_t GpsParser::clockMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t GpsParser::msSinceLastLine() const {
    const std::chrono::steady_clock::duration since =
        std::chrono::steady_clock::now().time_since_epoch() - std::chrono::steady_clock::duration(lastLine);
    return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

bool GpsParser::cycleBegins(const char* line, int count) {
    // A receiver's cycle is the sentences of one time stamp: a GGA or RMC of another time begins the next. It
    // is news only while the current cycle has not been told yet, at a burst's end.
    const std::optional<std::chrono::milliseconds> stamp =
        timeStamp(std::string_view(line, static_cast<std::size_t>(std::max(count, 0))));
    if (!stamp || stamp == cycleStamp) {
        return false;
    }
    const bool untold = cycleStamp.has_value() && cycleStamp != toldStamp;
    cycleStamp = stamp;
    return untold;
}

void GpsParser::run() {
    cycleStamp.reset();
    toldStamp.reset();
    {
        std::lock_guard guard(stateLock);
        resetState();
        state.active = 1;
    }
    notifyObservers();
    for (;;) {
        int count = 0;
        bool cut = false;
        std::unique_ptr<char[]> line = source->readLine(count, cut);
        if (!line) {
            // The source was stopped, or no memory for a line: either way this is its end.
            stopFlag = 1;
            break;
        }
        const std::int64_t arrived =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
                .count();
        const bool begins = !cut && cycleBegins(line.get(), count);
        // Decoding writes into the line: the log keeps it as it came, and learns what became of it after.
        const std::int64_t number = log.add(arrived, cut ? LineState::CUT : LineState::NOT_READ, line.get(), count);
        if (!cut) {
            std::lock_guard guard(stateLock);
            const bool fix = reader.read(state, line.get(), count, clockMs());
            refuseOutOfRange(state);
            if (fix && state.fixType > 1) {
                recordFix();
            }
            log.mark(number, reader.lastState());
            ++lines; // a cut line is shown, never counted as taken
        }
        lastLine = std::chrono::steady_clock::now().time_since_epoch().count();
        // The windows hear of a receiver's cycle once it is decoded, not of each line: at the end of a burst,
        // or, for a source that never pauses, as the next cycle begins.
        const bool more = source->hasLine();
        if (begins || !more) {
            notifyObservers();
            // At a burst's end all is told; as a cycle begins, the one before it.
            toldStamp = more ? std::optional<std::chrono::milliseconds>() : cycleStamp;
        }
        if (stopFlag != 0) {
            break;
        }
    }
    resetState(); // active 0 again
    notifyObservers();
}

} // namespace veltaro
