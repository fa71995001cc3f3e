#include "ports/echo_backlog.h"

#include <algorithm>
#include <cstring>

namespace veltaro {

void EchoBacklog::add(const char* bytes, std::size_t n) {
    while (n > 0) {
        if (atLineStart) {
            dropping = size() >= limit;
        }
        const char* end = static_cast<const char*>(std::memchr(bytes, '\n', n));
        const std::size_t run = end != nullptr ? static_cast<std::size_t>(end - bytes) + 1 : n;
        if (!dropping) {
            const std::size_t room = 2 * limit - std::min(2 * limit, size());
            held.append(bytes, std::min(run, room));
            dropping = run > room; // the rest of an endless line goes
        }
        if (dropping && end != nullptr) {
            ++dropped;
        }
        atLineStart = end != nullptr;
        bytes += run;
        n -= run;
    }
}

void EchoBacklog::takeFront(std::string& piece, std::size_t most) {
    const std::size_t n = std::min(most, size());
    piece.append(held, front, n);
    front += n;
    // Move the rest down only once it is at most as long as what was taken: linear over all takes.
    if (front >= held.size() / 2) {
        held.erase(0, front);
        front = 0;
    }
}

void EchoBacklog::dropRestOfLine(std::string& piece) {
    const std::size_t inPiece = piece.find('\n');
    if (inPiece != std::string::npos) {
        piece.erase(0, inPiece + 1);
        ++dropped;
        return;
    }
    piece.clear();
    const char* start = held.data() + front;
    const auto* end = static_cast<const char*>(std::memchr(start, '\n', size()));
    if (end != nullptr) {
        front += static_cast<std::size_t>(end - start) + 1;
        ++dropped;
        return;
    }
    front = held.size();
    dropping = true; // counted when its end comes
}

} // namespace veltaro
