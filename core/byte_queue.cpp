#include "core/byte_queue.h"

#include <climits>
#include <cstring>
#include <new>

namespace veltaro {

namespace {

constexpr int INITIAL_CAPACITY = 1024;
constexpr int GROWTH_SLACK = 1024;
constexpr int STOPPED = 1; // index of stopEvent in waitAny

} // namespace

ByteQueue::ByteQueue() {
    reserve(INITIAL_CAPACITY);
}

// Called with lock held. On failure nothing changes, so the content stays intact.
bool ByteQueue::reserve(std::int64_t n) {
    if (n > INT_MAX) {
        return false;
    }
    std::unique_ptr<char[]> block(new (std::nothrow) char[static_cast<std::size_t>(n)]);
    if (!block) {
        return false;
    }
    const int size = static_cast<int>(n);
    if (length > 0) {
        std::memcpy(block.get(), data.get(), static_cast<std::size_t>(length < size ? length : size));
    }
    data = std::move(block);
    capacity = size;
    return true;
}

bool ByteQueue::append(const char* bytes, int n) {
    bool stored = true;
    {
        std::lock_guard guard(lock);
        if (n > 0) {
            const std::int64_t needed = std::int64_t{length} + n;
            if (needed >= capacity && !reserve(needed + GROWTH_SLACK)) {
                stored = false;
            } else {
                std::memcpy(data.get() + length, bytes, static_cast<std::size_t>(n));
                length += n;
            }
        }
    }
    dataReady.set();
    return stored;
}

std::unique_ptr<char[]> ByteQueue::takeAll(int& n) {
    std::lock_guard guard(lock);
    if (length <= 0) {
        return nullptr;
    }
    std::unique_ptr<char[]> block(new (std::nothrow) char[static_cast<std::size_t>(length)]);
    if (block) {
        std::memcpy(block.get(), data.get(), static_cast<std::size_t>(length));
        n = length;
        length = 0;
    }
    return block;
}

void ByteQueue::waitForData() {
    {
        std::lock_guard guard(lock);
        if (length > 0) {
            return;
        }
    }
    AutoResetEvent::waitAny(dataReady, stopEvent);
}

void ByteQueue::moveAllTo(ByteQueue& dest) {
    if (&dest == this) {
        return;
    }
    std::lock_guard guard(lock);
    std::lock_guard destGuard(dest.lock);
    // Only a copy that arrived may be dropped here; otherwise the bytes stay where they are.
    if (length > 0 && dest.append(data.get(), length)) {
        length = 0;
    }
}

std::unique_ptr<char[]> ByteQueue::readLine(int& count) {
    std::unique_lock guard(lock);
    int i = 0;
    int start = 0;
    for (;;) {
        // The scan resumes where it stopped; restart only if someone else took the bytes meanwhile.
        if (i > length) {
            i = 0;
            start = 0;
        }
        for (; i < length; ++i) {
            const char c = data.get()[i];
            if (c == '\r' || (c == '\n' && i > 0)) {
                break;
            }
            if (c == '\n') {
                start = 1; // the LF of a CR LF pair left by the previous line
            }
        }
        if (i < length) {
            break;
        }
        guard.unlock();
        if (AutoResetEvent::waitAny(dataReady, stopEvent) == STOPPED) {
            return nullptr;
        }
        guard.lock();
    }

    std::unique_ptr<char[]> line(new (std::nothrow) char[static_cast<std::size_t>(i - start + 1)]);
    if (!line) {
        count = -1;
        return nullptr;
    }
    std::memcpy(line.get(), data.get() + start, static_cast<std::size_t>(i - start));
    line[static_cast<std::size_t>(i - start)] = '\0';
    const int rest = length - i - 1;
    if (rest > 0) {
        std::memmove(data.get(), data.get() + i + 1, static_cast<std::size_t>(rest));
    }
    length = rest;
    count = i;
    return line;
}

void ByteQueue::signalStop() {
    stopEvent.set();
}

} // namespace veltaro
