#include "gps/sentence_log.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace veltaro {

std::int64_t SentenceLog::add(std::int64_t arrivedMs, LineState state, const char* line, int length) {
    const std::size_t kept = std::min(static_cast<std::size_t>(std::max(length, 0)), MOST_BYTES);
    std::lock_guard guard(lock);
    if (ring.size() < CAPACITY) {
        try {
            ring.emplace_back();
        } catch (const std::bad_alloc&) {
            return -1; // the list then misses this line; the device reads on
        }
    }
    LoggedLine& slot = ring[static_cast<std::size_t>(added % static_cast<std::int64_t>(CAPACITY))];
    slot.arrivedMs = arrivedMs;
    slot.state = state;
    slot.shortened = kept < static_cast<std::size_t>(std::max(length, 0));
    try {
        slot.text.assign(line, kept); // the slot's storage is reused once the ring is full
    } catch (const std::bad_alloc&) {
        slot.text.clear();
        slot.shortened = true;
    }
    return added++;
}

void SentenceLog::mark(std::int64_t number, LineState state) {
    std::lock_guard guard(lock);
    if (number >= added - static_cast<std::int64_t>(ring.size()) && number >= 0 && number < added) {
        ring[static_cast<std::size_t>(number % static_cast<std::int64_t>(CAPACITY))].state = state;
    }
}

std::int64_t SentenceLog::first() const {
    std::lock_guard guard(lock);
    return added - static_cast<std::int64_t>(ring.size());
}

std::int64_t SentenceLog::end() const {
    std::lock_guard guard(lock);
    return added;
}

bool SentenceLog::get(std::int64_t number, LoggedLine& line) const {
    std::lock_guard guard(lock);
    if (number < added - static_cast<std::int64_t>(ring.size()) || number >= added) {
        return false;
    }
    try {
        line = ring[static_cast<std::size_t>(number % static_cast<std::int64_t>(CAPACITY))];
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool latestSentence(const SentenceLog& log, const char* type, std::string& line) {
    constexpr std::int64_t MOST_LOOKED_AT = 200; // a receiver sends its fix every second among a few dozen lines
    const std::size_t typeLength = std::strlen(type);
    LoggedLine logged;
    for (std::int64_t number = log.end() - 1; number >= std::max(log.first(), log.end() - MOST_LOOKED_AT); --number) {
        if (!log.get(number, logged) || logged.shortened || logged.state == LineState::BAD_CHECKSUM ||
            logged.state == LineState::CUT) {
            continue;
        }
        // "$GPGGA," and "$GNGGA,": the type after a two-letter talker.
        if (logged.text.size() > 3 + typeLength && logged.text[0] == '$' &&
            logged.text.compare(3, typeLength, type) == 0 && logged.text[3 + typeLength] == ',') {
            line = logged.text + "\r\n";
            return true;
        }
    }
    return false;
}

} // namespace veltaro
