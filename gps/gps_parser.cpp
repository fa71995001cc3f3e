#include "gps/gps_parser.h"

#include "gps/nmea.h"

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
    working = SatelliteTable{};
    cycles = SystemCycles{};
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
    badChecksums = 0;
    {
        std::lock_guard guard(notReadLock);
        notRead = NotReadLines{};
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

void GpsParser::stop() {
    if (!thread.joinable()) {
        return;
    }
    source->signalStop();
    thread.join();
}

void GpsParser::recordFix() {
    try {
        fixes.push_back({state.fixLatitude, state.fixLongitude});
    } catch (const std::bad_alloc&) {
        // No memory for one more position: the track misses it, the state is still right.
    }
}

std::int64_t GpsParser::linesDecoded() const {
    return lines;
}

std::int64_t GpsParser::badChecksumLines() const {
    return badChecksums;
}

NotReadLines GpsParser::notReadLines() const {
    std::lock_guard guard(notReadLock);
    return notRead;
}

void GpsParser::setEverySystem(bool on) {
    if (everySystem.exchange(on) != on) {
        // What was not read before is read now, or the other way round: the count starts again.
        std::lock_guard guard(notReadLock);
        notRead = NotReadLines{};
    }
}

bool GpsParser::readsEverySystem() const {
    return everySystem;
}

void GpsParser::countNotRead(const std::string& name, bool otherSystem) {
    constexpr std::size_t MOST_NAMES = 32; // line noise must not grow the list without end
    std::lock_guard guard(notReadLock);
    ++notRead.lines;
    notRead.otherSystems = notRead.otherSystems || otherSystem;
    auto& names = notRead.names;
    std::size_t at = 0;
    while (at < names.size() && names[at].first != name) {
        ++at;
    }
    if (at == names.size()) {
        if (names.size() == MOST_NAMES) {
            return;
        }
        try {
            names.emplace_back(name, 0);
        } catch (const std::bad_alloc&) {
            return; // counted, though not by name
        }
    }
    ++names[at].second;
    // Kept ordered by count: a name moves up past those it now outnumbers.
    for (; at > 0 && names[at].second > names[at - 1].second; --at) {
        std::swap(names[at], names[at - 1]);
    }
}

std::int64_t GpsParser::secondsSinceLastLine() const {
    const std::chrono::steady_clock::duration since =
        std::chrono::steady_clock::now().time_since_epoch() - std::chrono::steady_clock::duration(lastLine);
    return std::chrono::duration_cast<std::chrono::seconds>(since).count();
}

void GpsParser::run() {
    {
        std::lock_guard guard(stateLock);
        resetState();
        state.active = 1;
    }
    notifyObservers();
    for (;;) {
        int count = 0;
        std::unique_ptr<char[]> line = source->readLine(count);
        if (!line) {
            // The source was stopped, or no memory for a line: either way this is its end.
            stopFlag = 1;
            break;
        }
        if (hasBadChecksum(line.get(), count)) {
            ++badChecksums;
        }
        const bool every = everySystem;
        std::string name;
        const SentenceKind kind = sentenceKind(line.get(), count, name);
        if (kind == SENTENCE_OTHER || (kind == SENTENCE_OTHER_SYSTEM && !every)) {
            countNotRead(name, kind == SENTENCE_OTHER_SYSTEM);
        }
        {
            std::lock_guard guard(stateLock);
            state.everySystem = every ? 1 : 0;
            const bool fix = every ? decodeEverySystem(state, working, cycles, line.get(), count)
                                   : decodeSentence(state, working, line.get(), count);
            if (fix && state.fixType > 1) {
                recordFix();
            }
        }
        lastLine = std::chrono::steady_clock::now().time_since_epoch().count();
        ++lines;
        notifyObservers();
        if (stopFlag != 0) {
            break;
        }
    }
    resetState(); // active 0 again
    notifyObservers();
}

} // namespace veltaro
