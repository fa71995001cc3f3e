#pragma once

#include "core/event.h"

#include <cstdint>
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

    // Returns at once when bytes are buffered; otherwise waits for dataReady or stopEvent.
    void waitForData();

    // Appends the whole content to dest and empties this queue.
    void moveAllTo(ByteQueue& dest);

    // Blocks until a whole line is buffered and returns it NUL-terminated, without its terminator.
    // count receives the terminator's position. Returns null when stopEvent ends the wait (count
    // untouched, the buffered bytes stay) or when no block can be had (count -1).
    std::unique_ptr<char[]> readLine(int& count);

    // Ends the consumer's current or next wait.
    void signalStop();

private:
    bool reserve(std::int64_t n);
    bool makeRoom(std::int64_t n);
    void compact();

    std::recursive_mutex lock;
    EventGroup events;
    AutoResetEvent dataReady{events};
    AutoResetEvent stopEvent{events};
    int capacity = 0;             // guarded by lock
    int head = 0;                 // guarded by lock: where the content starts in data
    int length = 0;               // guarded by lock: the content is data[head, head + length)
    std::unique_ptr<char[]> data; // guarded by lock
};

} // namespace veltaro
