#pragma once

#include "core/event.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

namespace veltaro {

// The channel between the threads of a device pipeline: a growable, lock-guarded FIFO of raw
// bytes. Any thread may append; exactly one consumer takes everything or one line at a time.
// Blocks handed out belong to the caller.
class ByteQueue {
public:
    ByteQueue();
    ByteQueue(const ByteQueue&) = delete;
    ByteQueue& operator=(const ByteQueue&) = delete;

    // Appends n bytes and signals dataReady (also for n = 0). Returns false, keeping the content
    // as it was, when the storage cannot grow to hold them.
    bool append(const char* bytes, int n);

    // The whole content, or null when the queue is empty or no block can be had (n untouched then).
    std::unique_ptr<char[]> takeAll(int& n);

    // Marks the end of the content as a break: the source was lost there, and what follows does not go on
    // from what came before. readLine never returns a line across a break: it drops the unfinished line
    // before it. takeAll passes over breaks.
    void markBreak();

    // As takeAll, but only up to the next break, so a consumer can hand the break on at its place. broken
    // tells whether a break comes before the block; both outputs are untouched when it returns null.
    std::unique_ptr<char[]> takeUpToBreak(int& n, bool& broken);

    // Returns at once when bytes are buffered; otherwise waits for dataReady or stopEvent.
    void waitForData();

    // Appends the whole content to dest and empties this queue.
    void moveAllTo(ByteQueue& dest);

    // Blocks until a whole line is buffered and returns it NUL-terminated, without its terminator.
    // count receives the terminator's position. Returns null when stopEvent ends the wait (count
    // untouched, the buffered bytes stay) or when no block can be had (count -1).
    std::unique_ptr<char[]> readLine(int& count);
    // As readLine, but count is the line's length, and a line a break cut off is returned too, with cut set,
    // rather than dropped; cut is false for a whole line.
    std::unique_ptr<char[]> readLine(int& count, bool& cut);

    // Whether a whole line (or one a break cut off) waits to be read: while one does, a burst is not over.
    bool hasLine();

    // Ends the consumer's current or next wait.
    void signalStop();

private:
    std::unique_ptr<char[]> takeLine(int& terminator, int& length, bool& cut);
    bool reserve(std::int64_t n);
    bool makeRoom(std::int64_t n);
    void compact();
    void remove(int n);
    std::unique_ptr<char[]> takeFront(int size, int& n);
    void addBreak(std::int64_t at);
    int nextBreak();

    std::recursive_mutex lock;
    EventGroup events;
    AutoResetEvent dataReady{events};
    AutoResetEvent stopEvent{events};
    int capacity = 0;                // guarded by lock
    int head = 0;                    // guarded by lock: where the content starts in data
    int length = 0;                  // guarded by lock: the content is data[head, head + length)
    std::unique_ptr<char[]> data;    // guarded by lock
    std::int64_t taken = 0;          // guarded by lock: bytes that left from the front, ever
    std::deque<std::int64_t> breaks; // guarded by lock: stream positions (counted as taken) of breaks, ascending
};

} // namespace veltaro
