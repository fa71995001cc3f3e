#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace veltaro {

// What became of a line the parser took.
enum class LineState : std::uint8_t {
    DECODED,      // read by the decoders
    NOT_READ,     // no decoder for it in the way of reading, or no sentence at all
    BAD_CHECKSUM, // refused: its checksum does not match its text
    CUT,          // broken off where the source was lost
};

// One line as it arrived.
struct LoggedLine {
    std::int64_t arrivedMs = 0; // the computer's clock: milliseconds since 1970 UTC
    LineState state = LineState::DECODED;
    bool shortened = false; // longer than MOST_BYTES: only its start is kept
    std::string text;       // the line's bytes without its line end
};

// The last lines of a device, in a ring the parser fills and the user-interface thread reads: bounded
// in lines and in bytes a line, whatever the receiver sends. Lines are numbered from 0 in arrival order.
class SentenceLog {
public:
    static constexpr std::size_t CAPACITY = 5000;
    static constexpr std::size_t MOST_BYTES = 1000;

    // Any thread: keeps a line and returns its number, or -1 when there is no memory for it.
    std::int64_t add(std::int64_t arrivedMs, LineState state, const char* line, int length);
    // Says what became of a line still kept.
    void mark(std::int64_t number, LineState state);

    // The numbers of the kept lines: [first, end).
    std::int64_t first() const;
    std::int64_t end() const;
    // The line numbered number, if it is still kept.
    bool get(std::int64_t number, LoggedLine& line) const;

private:
    mutable std::mutex lock;      // guards everything below
    std::vector<LoggedLine> ring; // grows to CAPACITY, then the oldest is overwritten
    std::int64_t added = 0;       // lines ever added
};

// The newest kept line of type ("GGA", of any talker) whose checksum was right, with its line end; false when none
// is kept.
bool latestSentence(const SentenceLog& log, const char* type, std::string& line);

} // namespace veltaro
