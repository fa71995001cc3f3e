#include "gps/baud_search.h"

#include "gps/nmea.h"

#include <cstring>
#include <new>

namespace veltaro {

namespace {

constexpr int CHECKED_LINES = 2;
constexpr int WELL_FORMED_LINES = 3;

// "$" or "!", a talker and a sentence name in five capital letters or digits (a letter first), a comma, and
// printable text. Bytes read at a wrong rate are mostly beyond ASCII, so this rarely holds by chance.
bool wellFormed(const char* text, std::size_t length) {
    constexpr std::size_t NAME_END = 6;
    if (length <= NAME_END || (text[0] != '$' && text[0] != '!') || text[1] < 'A' || text[1] > 'Z' ||
        text[NAME_END] != ',') {
        return false;
    }
    for (std::size_t i = 2; i < NAME_END; ++i) {
        if ((text[i] < 'A' || text[i] > 'Z') && (text[i] < '0' || text[i] > '9')) {
            return false;
        }
    }
    for (std::size_t i = NAME_END + 1; i < length; ++i) {
        if (text[i] < ' ' || text[i] > '~') {
            return false;
        }
    }
    return true;
}

} // namespace

void BaudSearch::start(std::int64_t nowMs) {
    refused.clear();
    enter(0, nowMs);
}

void BaudSearch::enter(std::size_t index, std::int64_t nowMs) {
    at = index;
    startedMs = nowMs;
    found = false;
    firstLine = true;
    lineLength = 0;
    checkedLines = 0;
    wellFormedLines = 0;
    kept.clear();
}

bool BaudSearch::feed(const char* bytes, std::size_t n) {
    if (found) {
        return true;
    }
    try {
        for (std::size_t i = 0; i < n; ++i) {
            const char c = bytes[i];
            if (!kept.empty()) {
                kept.push_back(c);
            }
            if (c != '\n') {
                if (lineLength < line.size()) {
                    line[lineLength] = c;
                }
                ++lineLength;
                continue;
            }
            if (countLine()) {
                kept.append(bytes + i + 1, n - i - 1);
                found = true;
                return true;
            }
            lineLength = 0;
        }
    } catch (const std::bad_alloc&) {
        // Without room to keep the confirming lines for the log, they are counted again from the next line.
        enter(at, startedMs);
    }
    return false;
}

bool BaudSearch::countLine() {
    if (firstLine) {
        firstLine = false;
        return false;
    }
    if (lineLength > line.size()) {
        return false;
    }
    std::size_t length = lineLength;
    while (length > 0 && line[length - 1] == '\r') {
        --length; // CR LF, LF alone, and CR CR LF from some modems
    }
    const char* text = line.data();
    if (length > LONGEST_LINE || !wellFormed(text, length)) {
        return false;
    }
    const bool checked = std::memchr(text, '*', length) != nullptr;
    if (checked && !hasGoodChecksum(text, static_cast<int>(length))) {
        return false;
    }
    if (kept.empty()) {
        kept.assign(text, lineLength);
        kept.push_back('\n');
    }
    checkedLines += checked ? 1 : 0;
    ++wellFormedLines;
    // Noise at a wrong rate may pass for one line now and then; a matching checksum a second time, or a
    // third line, it does not.
    return checkedLines >= CHECKED_LINES || wellFormedLines >= WELL_FORMED_LINES;
}

bool BaudSearch::next(std::int64_t nowMs) {
    std::erase_if(refused, [&](const SkippedRate& skip) { return skip.rate == rate(); });
    const bool roundEnded = at + 1 == RATES.size();
    enter(roundEnded ? 0 : at + 1, nowMs);
    return roundEnded;
}

bool BaudSearch::skip(const std::string& reason, std::int64_t nowMs) {
    const std::uint32_t refusedRate = rate();
    const bool roundEnded = next(nowMs);
    try {
        refused.push_back({refusedRate, reason});
    } catch (const std::bad_alloc&) {
        // The rate is skipped all the same; only the reason shown is missing.
    }
    return roundEnded;
}

} // namespace veltaro
