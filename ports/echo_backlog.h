#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace veltaro {

// What an echo port took from its queue and has not written yet. It holds about limit bytes: a line that
// starts while it holds that much is dropped whole and counted, so a far end that cannot keep up gets
// whole lines, and memory stays bounded. A line that never ends is cut at twice the limit.
class EchoBacklog {
public:
    explicit EchoBacklog(std::size_t limit) : limit(limit) {}

    void add(const char* bytes, std::size_t n);
    // Moves up to most bytes from the front onto the end of piece.
    void takeFront(std::string& piece, std::size_t most);
    // Drops the rest of a line cut short, counted: up to piece's first line end, or when piece holds none, all of
    // piece and the backlog up to the line's end (the line still arriving when it has not come).
    void dropRestOfLine(std::string& piece);

    bool empty() const { return size() == 0; }
    std::size_t size() const { return held.size() - front; }
    std::int64_t droppedLines() const { return dropped; }

private:
    std::size_t limit;
    std::string held;
    std::size_t front = 0; // bytes before this were taken
    bool atLineStart = true;
    bool dropping = false; // the line being received is dropped
    std::int64_t dropped = 0;
};

} // namespace veltaro
