#pragma once

#include "gps/every_system.h"
#include "gps/gps_state.h"
#include "gps/sentence_log.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace veltaro {

// The lines since start (or since the way of reading last changed) whose sentence is not read.
struct NotReadLines {
    std::int64_t lines = 0;
    // Position sentences first, then the most frequent first.
    std::vector<std::pair<std::string, std::int64_t>> names;
    bool otherSystems = false;   // among them, position or satellite sentences of other systems
    std::int64_t unreadable = 0; // lines without a well-formed name: binary, noise, a wrong baud rate
};

// What stands in front of the decoders for each line: it refuses corrupted lines, chooses the way of reading
// (the GPS talker's sentences, or every satellite system's, by itself when the receiver reports positions
// only through other talkers, or as the user chose), keeps the satellites each system reports while they
// are reported, and counts what it does not read. Not thread-safe: its owner guards it.
class SentenceReader {
public:
    // A receiver without "$GPGGA" or "$GPRMC" for this long reports its positions through other talkers.
    static constexpr std::int64_t GPS_TALKER_SILENCE_MS = 3000;

    // Decodes one line as readLine gives it, arrived at nowMs (milliseconds of a steady clock), into state;
    // true when it reported a position with a fix.
    bool read(GpsState& state, char* line, int count, std::int64_t nowMs);

    // Forgets the satellite tables, as a reset of the state does.
    void clearTables();
    // Starts afresh for a new stream: everything but the user's choice of reading, if one was made.
    void restart();

    // The user's choice, which holds from then on: the reader no longer switches by itself.
    void choose(bool every);
    bool readsEverySystem() const { return every; }
    // The name of the sentence that made the reader switch by itself ("$GNGGA"); empty while it has not.
    const std::string& switchedBy() const { return switchedName; }

    // What became of the last line read.
    LineState lastState() const { return taken; }

    std::int64_t badChecksums() const { return badChecksumLines; }
    const NotReadLines& notRead() const { return notReadLines; }

private:
    // A GSV message's place in its cycle.
    struct GsvPosition {
        int total = 0;
        int message = 0;
    };
    static GsvPosition gsvPosition(const char* fields);
    void closeGpsCycle(GpsState& state, const char* fields);
    void switchTo(bool on);
    void countNotRead(const std::string& name, bool otherSystem);

    bool every = false;
    bool userChose = false;
    std::string switchedName;
    std::int64_t lastGpsPositionMs = SystemCycles::NEVER;
    SatelliteTable working;
    GsvPosition gpsCycle; // the GPS L1 message read last in the default reading
    SystemCycles cycles;
    std::int64_t badChecksumLines = 0;
    NotReadLines notReadLines;
    LineState taken = LineState::DECODED;
};

} // namespace veltaro
