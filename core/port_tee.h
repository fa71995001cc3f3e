#pragma once

#include "core/byte_queue.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace veltaro {

// Copies one byte stream, unchanged and in order, to several output queues on a thread of its own.
class PortTee {
public:
    explicit PortTee(ByteQueue* input);
    ~PortTee();
    PortTee(const PortTee&) = delete;
    PortTee& operator=(const PortTee&) = delete;

    // Outputs may be added while the thread runs; the same queue may be added twice.
    void addOutput(ByteQueue* queue);
    // The queue gets nothing after the pass under way; the others keep their order.
    void removeOutput(ByteQueue* queue);

    // False when there is no input queue or the thread cannot be created.
    bool start();

    // Ends the thread after its current pass (which hands on what the input holds) and joins it.
    void stop();

private:
    void run();
    bool passOn(); // false when the input had nothing to hand on

    ByteQueue* input;                // not owned
    std::recursive_mutex outputLock; // guards outputs; held for a whole distribution pass
    std::vector<ByteQueue*> outputs; // not owned, in registration order
    std::atomic<bool> stopFlag{false};
    std::thread thread; // touched by the controlling thread only
};

} // namespace veltaro
