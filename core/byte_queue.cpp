#include "core/byte_queue.h"

#include <algorithm>
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

// Called with lock held, with n above length. On failure nothing changes, so the content stays
// intact; otherwise the content moves to the front of the new block.
bool ByteQueue::reserve(std::int64_t n) {
    if (n > INT_MAX) {
        return false;
    }
    std::unique_ptr<char[]> block(new (std::nothrow) char[static_cast<std::size_t>(n)]);
    if (!block) {
        return false;
    }
    if (length > 0) {
        std::memcpy(block.get(), data.get() + head, static_cast<std::size_t>(length));
    }
    data = std::move(block);
    capacity = static_cast<int>(n);
    head = 0;
    return true;
}

// Called with lock held: n bytes leave from the front.
void ByteQueue::remove(int n) {
    length -= n;
    head = length > 0 ? head + n : 0;
    taken += n;
}

// Called with lock held: records a break at stream position at, unless one is there already.
void ByteQueue::addBreak(std::int64_t at) {
    if (breaks.empty() || breaks.back() < at) {
        try {
            breaks.push_back(at);
        } catch (const std::bad_alloc&) {
            // No memory for the mark: the lines either side of it may be read as one.
        }
    }
}

// Called with lock held: forgets the breaks the front has reached (nothing unfinished lies before them) and
// returns how far from the front the next one is; above length when there is none.
int ByteQueue::nextBreak() {
    while (!breaks.empty() && breaks.front() <= taken) {
        breaks.pop_front();
    }
    return breaks.empty() ? length + 1 : static_cast<int>(breaks.front() - taken);
}

// Called with lock held. Moves the content to the front of the storage.
void ByteQueue::compact() {
    if (length > 0 && head > 0) {
        std::memmove(data.get(), data.get() + head, static_cast<std::size_t>(length));
    }
    head = 0;
}

// Called with lock held: makes room for n more bytes behind the content, plus one spare byte. Lines
// leave from the front by advancing head; the space before it is reclaimed here, lazily, and only
// once at least as many bytes were taken as would move, so reading a backlog stays linear.
bool ByteQueue::makeRoom(std::int64_t n) {
    const std::int64_t needed = std::int64_t{length} + n;
    if (head + needed < capacity) {
        return true;
    }
    const bool fitsAfterCompaction = needed < capacity;
    if (fitsAfterCompaction && head >= length) {
        compact();
        return true;
    }
    // Doubling keeps a long line amortised O(1) per byte; the exact size is the fallback when memory is short.
    const std::int64_t exact = needed + GROWTH_SLACK;
    const std::int64_t doubled = std::int64_t{capacity} * 2;
    if ((doubled > exact && reserve(doubled)) || reserve(exact)) {
        return true;
    }
    if (fitsAfterCompaction) {
        compact();
        return true;
    }
    return false;
}

bool ByteQueue::append(const char* bytes, int n) {
    bool stored = true;
    {
        std::lock_guard guard(lock);
        if (n > 0) {
            if (makeRoom(n)) {
                std::memcpy(data.get() + head + length, bytes, static_cast<std::size_t>(n));
                length += n;
            } else {
                stored = false;
            }
        }
    }
    dataReady.set();
    return stored;
}

// Called with lock held: the first size bytes as a block of their own, or null, taking nothing, without memory.
std::unique_ptr<char[]> ByteQueue::takeFront(int size, int& n) {
    std::unique_ptr<char[]> block(new (std::nothrow) char[static_cast<std::size_t>(size)]);
    if (block) {
        std::memcpy(block.get(), data.get() + head, static_cast<std::size_t>(size));
        n = size;
        remove(size);
    }
    return block;
}

std::unique_ptr<char[]> ByteQueue::takeAll(int& n) {
    std::lock_guard guard(lock);
    if (length <= 0) {
        return nullptr;
    }
    std::unique_ptr<char[]> block = takeFront(length, n);
    if (block) {
        nextBreak(); // forgets the breaks this passed
    }
    return block;
}

void ByteQueue::markBreak() {
    std::lock_guard guard(lock);
    addBreak(taken + length);
}

std::unique_ptr<char[]> ByteQueue::takeUpToBreak(int& n, bool& broken) {
    std::lock_guard guard(lock);
    if (length <= 0) {
        return nullptr;
    }
    while (!breaks.empty() && breaks.front() < taken) {
        breaks.pop_front();
    }
    // A break at the front is told with the bytes after it; the block ends at the next one.
    const bool atBreak = !breaks.empty() && breaks.front() == taken;
    const std::size_t next = atBreak ? 1 : 0;
    const int size =
        breaks.size() > next ? static_cast<int>(std::min<std::int64_t>(length, breaks[next] - taken)) : length;
    std::unique_ptr<char[]> block = takeFront(size, n);
    if (block) {
        broken = atBreak;
        if (atBreak) {
            breaks.pop_front();
        }
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
    const std::int64_t destEnd = dest.taken + dest.length;
    // Only a copy that arrived may be dropped here; otherwise the bytes stay where they are.
    if (length > 0 && dest.append(data.get() + head, length)) {
        for (const std::int64_t at : breaks) {
            dest.addBreak(destEnd + (at - taken)); // the breaks keep their place among the bytes
        }
        breaks.clear();
        remove(length);
    }
}

std::unique_ptr<char[]> ByteQueue::readLine(int& count) {
    bool cut = true;
    int terminator = 0;
    int length = 0;
    std::unique_ptr<char[]> line;
    while (cut) {
        terminator = 0;
        line = takeLine(terminator, length, cut);
        if (!line) {
            break;
        }
    }
    if (line || terminator < 0) {
        count = terminator; // untouched when a stop ended the wait
    }
    return line;
}

bool ByteQueue::hasLine() {
    std::lock_guard guard(lock);
    const int brokenAt = nextBreak();
    const int end = std::min(length, brokenAt);
    const char* content = data.get() + head;
    // As takeLine reads: CR ends a line, and so does LF but for the one left of a CR LF pair.
    for (int i = 0; i < end; ++i) {
        if (content[i] == '\r' || (content[i] == '\n' && i > 0)) {
            return true;
        }
    }
    return false; // a line a break cut off is told as it is read
}

std::unique_ptr<char[]> ByteQueue::readLine(int& count, bool& cut) {
    int terminator = 0;
    std::unique_ptr<char[]> line = takeLine(terminator, count, cut);
    if (!line && terminator < 0) {
        count = -1;
    }
    return line;
}

std::unique_ptr<char[]> ByteQueue::takeLine(int& count, int& lineLength, bool& cut) {
    std::unique_lock guard(lock);
    int i = 0;
    int start = 0;
    for (;;) {
        // The scan resumes where it stopped (positions count from head, which appends may move);
        // restart only if someone else took the bytes meanwhile.
        if (i > length) {
            i = 0;
            start = 0;
        }
        const int brokenAt = nextBreak();
        const int end = std::min(length, brokenAt);
        const char* content = data.get() + head;
        for (; i < end; ++i) {
            const char c = content[i];
            if (c == '\r' || (c == '\n' && i > 0)) {
                break;
            }
            if (c == '\n') {
                start = 1; // the LF of a CR LF pair left by the previous line
            }
        }
        if (i < end) {
            cut = false;
            break;
        }
        if (i == brokenAt && i > start) {
            // The source was lost inside this line: its start joined to what came later is no sentence.
            cut = true;
            break;
        }
        if (i == brokenAt) {
            remove(brokenAt); // nothing of a line before the break: only its place goes
            i = 0;
            start = 0;
            continue;
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
    std::memcpy(line.get(), data.get() + head + start, static_cast<std::size_t>(i - start));
    line[static_cast<std::size_t>(i - start)] = '\0';
    // The line leaves by advancing head; the space is reclaimed when an append needs it. A cut line has no
    // terminator to pass over: the break is where it ends.
    remove(cut ? i : i + 1);
    count = i;
    lineLength = i - start;
    return line;
}

void ByteQueue::signalStop() {
    stopEvent.set();
}

} // namespace veltaro
