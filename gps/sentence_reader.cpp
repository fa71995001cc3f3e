#include "gps/sentence_reader.h"

#include "gps/field_reader.h"
#include "gps/nmea.h"
#include "gps/sentence_table.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace veltaro {

namespace {

constexpr int MOST_ADDRESS = 10; // letters and digits after "$" or "!"

// The name as the decoder compares it: up to the first comma or a NUL, and a "*" ends it too. Line noise without
// a comma is not copied whole.
std::string nameOf(const char* line, int count) {
    int end = 0;
    while (end < count && end <= MOST_ADDRESS + 1 && line[end] != ',' && line[end] != '*' && line[end] != '\0') {
        ++end;
    }
    return std::string(line, static_cast<std::size_t>(end));
}

// "$" or "!", then 2 to 10 capital letters or digits, a letter first: a name a person can read and look up.
bool wellFormed(const std::string& name) {
    const std::size_t letters = name.size() - 1;
    if (name.empty() || (name[0] != '$' && name[0] != '!') || letters < 2 || letters > MOST_ADDRESS || name[1] < 'A' ||
        name[1] > 'Z') {
        return false;
    }
    return std::all_of(name.begin() + 1, name.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

} // namespace

SentenceReader::GsvPosition SentenceReader::gsvPosition(const char* fields) {
    FieldReader reader(fields);
    const char* field = nullptr;
    int n = 0;
    GsvPosition position;
    if (reader.read(field, n)) {
        position.total = parseDecimal(field, n);
        if (reader.read(field, n)) {
            position.message = parseDecimal(field, n);
        }
    }
    return position;
}

bool SentenceReader::read(GpsState& state, char* line, int count, std::int64_t nowMs) {
    taken = LineState::NOT_READ;
    if (count <= 0 || (line[0] != '$' && line[0] != '!')) {
        // Not a sentence: noise between lines, or a wrong baud rate. A blank line is nothing at all.
        notReadLines.unreadable += line[0] != '\0' || count > 1 ? 1 : 0;
        return false;
    }
    if (hasBadChecksum(line, count)) {
        // A corrupted line may say anything: 102 degrees west read as 2. Logs still keep it.
        ++badChecksumLines;
        taken = LineState::BAD_CHECKSUM;
        return false;
    }
    if (every) {
        expireCycles(state, cycles, nowMs);
    }
    const std::string name = nameOf(line, count);
    char system = 0;
    const SentenceType* row = line[0] == '$' ? findSentence(name.c_str(), system) : nullptr;
    if (row == nullptr) {
        countNotRead(name, false);
        return false;
    }
    const bool gpsTalker = system == 'G';
    if (row->kind == KIND_FIX && row->original && row->position) {
        if (gpsTalker) {
            lastGpsPositionMs = nowMs;
        } else if (!every && !userChose &&
                   (lastGpsPositionMs == SystemCycles::NEVER || nowMs - lastGpsPositionMs >= GPS_TALKER_SILENCE_MS)) {
            switchTo(true);
            try {
                switchedName = name;
            } catch (const std::bad_alloc&) {
                // The page then says less about why; the reading is right all the same.
            }
        }
    }
    state.everySystem = every ? 1 : 0;
    const char* fields = splitSentence(line, count);
    if (!every) {
        const bool otherTalker = row->kind != KIND_ANY_TALKER && !gpsTalker;
        // A GPS cycle of another signal (L2, L5) would replace the L1 values the views show.
        const bool otherSignal = row->kind == KIND_SATELLITES && gpsTalker && gsvSignalId(fields) > 1;
        if (otherTalker || otherSignal) {
            countNotRead(name, otherTalker);
            if (otherSignal) {
                closeGpsCycle(state, fields);
            }
            return false;
        }
        if (row->kind == KIND_SATELLITES) {
            gpsCycle = gsvPosition(fields);
            state.gpsSignal = gsvSignalId(fields);
        }
    }
    taken = LineState::DECODED;
    SentenceContext context{state, working, every ? &cycles : nullptr, system, nowMs};
    if (!row->decode(context, fields)) {
        return false;
    }
    state.fixTickMs = nowMs;
    return true;
}

void SentenceReader::clearTables() {
    working = SatelliteTable{};
    cycles = SystemCycles{};
}

void SentenceReader::restart() {
    SentenceReader fresh;
    if (userChose) {
        fresh.choose(every);
    }
    *this = std::move(fresh);
}

void SentenceReader::closeGpsCycle(GpsState& state, const char* fields) {
    // Some receivers (Quectel LC79D) end their L1 cycle with a message of L5 signals: the L1 satellites
    // gathered so far are the cycle, committed as its last message would have.
    const GsvPosition refused = gsvPosition(fields);
    if (refused.total > 1 && refused.message == refused.total && gpsCycle.total == refused.total &&
        gpsCycle.message == refused.total - 1) {
        const std::string closing = std::to_string(refused.total) + "," + std::to_string(refused.total) + "," +
                                    std::to_string(working.storedCount) + "*";
        decodeGsv(state, working, closing.c_str());
    }
    gpsCycle = GsvPosition{};
}

void SentenceReader::choose(bool on) {
    userChose = true;
    switchedName.clear();
    switchTo(on);
}

void SentenceReader::switchTo(bool on) {
    if (every == on) {
        return;
    }
    every = on;
    // What was not read before is read now, or the other way round: the count starts again, and the
    // satellites gathered in the other reading are gone.
    notReadLines = NotReadLines{};
    cycles = SystemCycles{};
}

void SentenceReader::countNotRead(const std::string& name, bool otherSystem) {
    constexpr std::size_t MOST_NAMES = 32; // line noise must not grow the list without end
    if (!wellFormed(name)) {
        ++notReadLines.unreadable; // named, it would only show bytes nobody can read
        return;
    }
    ++notReadLines.lines;
    notReadLines.otherSystems = notReadLines.otherSystems || otherSystem;
    auto& names = notReadLines.names;
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
    // Position sentences lead, as they say why no fix shows; then by count, a name moves up past those it
    // now outnumbers.
    const auto rank = [&](std::size_t i) {
        char system = 0;
        const SentenceType* row = findSentence(names[i].first.c_str(), system);
        return std::make_pair(row != nullptr && row->position ? 1 : 0, names[i].second);
    };
    for (; at > 0 && rank(at) > rank(at - 1); --at) {
        std::swap(names[at], names[at - 1]);
    }
}

} // namespace veltaro
