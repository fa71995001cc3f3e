#pragma once

#include "core/byte_queue.h"
#include "gps/gps_state.h"
#include "gps/sentence_reader.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace veltaro {

class GpsParser;

// Posted to every observer after each change of a parser's state; lParam is the parser.
constexpr unsigned int WM_GPSUPDATE = 1035; // WM_USER + 11

// An observer is opaque here: in the application it is a window handle.
using ObserverHandle = void*;

// Delivers one WM_GPSUPDATE to an observer without waiting for it (PostMessageA in the application).
using PostUpdate = std::function<void(ObserverHandle observer, GpsParser* parser)>;

// Reads NMEA lines from a queue on a thread of its own, decodes them into its GpsState and tells its
// observers of every change. A notification stays outstanding until an observer acknowledges it; the
// changes meanwhile are told in one notification then, so a receiver faster than the windows never
// floods them. Readers take snapshots with copyState, or with takeUpdate, which also hands over every
// position reported since the last take.
class GpsParser {
public:
    explicit GpsParser(PostUpdate post);
    ~GpsParser();
    GpsParser(const GpsParser&) = delete;
    GpsParser& operator=(const GpsParser&) = delete;

    void resetState();
    void addObserver(ObserverHandle observer);
    // Posts to every observer, unless a notification is still outstanding.
    void notifyObservers();
    // The outstanding notification was handled: changes since then are told at once.
    void acknowledge();
    void copyState(GpsState& destination);
    void takeUpdate(GpsState& destination, std::vector<TrackFix>& fixes);

    // Starts the thread over source; false when it cannot be created.
    bool start(ByteQueue* source);

    // Forgets what was read, as if the stream began again (a replay from the start); the user's choice of
    // reading stays. Any thread.
    void restartReading();

    // Stops the source queue, so the thread decodes the lines already complete and ends; joins it.
    void stop();

    // Lines decoded since start, and the seconds since the last one (since the start before any); any
    // thread.
    std::int64_t linesDecoded() const;
    // Lines since start whose checksum does not match their text: they are not decoded.
    std::int64_t badChecksumLines();
    NotReadLines notReadLines();

    // The user's choice of reading every satellite system, from the next line on; from then on the parser
    // no longer switches by itself. Any thread.
    void setEverySystem(bool on);
    bool readsEverySystem();
    // The sentence that made the parser read every system by itself ("$GNGGA"); empty while it has not.
    std::string everySystemSwitchedBy();
    std::int64_t secondsSinceLastLine() const { return msSinceLastLine() / 1000; }
    std::int64_t msSinceLastLine() const;

    // The last lines taken, with what became of them; any thread.
    const SentenceLog& sentenceLog() const { return log; }

    // Milliseconds of the clock lines are timed by (GpsState::fixTickMs).
    static std::int64_t clockMs();

private:
    void run();
    void recordFix();
    // Whether the line begins a new cycle of the receiver's sentences while the last one is still untold.
    bool cycleBegins(const char* line, int count);

    // The parser thread writes state, reader and fixes; the user-interface thread adds observers, copies
    // the state, takes the fixes and asks the reader. stateLock guards state, reader and fixes, observerLock
    // the observer list and the two notification flags; never both at once.
    GpsState state;
    std::vector<TrackFix> fixes; // reported since the last takeUpdate
    bool outstanding = false;    // posted and not yet acknowledged
    bool changedMeanwhile = false;
    std::atomic<int> stopFlag{0}; // set by the thread when its source ends
    std::thread thread;           // touched by the controlling thread only
    SentenceReader reader;
    // The parser thread's: the time stamp of the cycle being read, and of the last cycle told.
    std::optional<std::chrono::milliseconds> cycleStamp;
    std::optional<std::chrono::milliseconds> toldStamp;
    SentenceLog log;             // filled by the parser thread, read by any
    ByteQueue* source = nullptr; // not owned
    std::vector<ObserverHandle> observers;
    std::recursive_mutex stateLock;
    std::recursive_mutex observerLock;
    PostUpdate post;
    // Written by the parser thread (and by start before it runs), read by any thread.
    std::atomic<std::int64_t> lines{0};
    std::atomic<std::chrono::steady_clock::rep> lastLine{0}; // steady_clock ticks
};

} // namespace veltaro
