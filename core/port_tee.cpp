#include "core/port_tee.h"

#include <system_error>

namespace veltaro {

PortTee::PortTee(ByteQueue* input) : input(input) {}

PortTee::~PortTee() {
    stop();
}

void PortTee::addOutput(ByteQueue* queue) {
    std::lock_guard guard(outputLock);
    if (outputs.size() == outputs.capacity()) {
        outputs.reserve(outputs.size() + 16);
    }
    outputs.push_back(queue);
}

void PortTee::removeOutput(ByteQueue* queue) {
    std::lock_guard guard(outputLock);
    std::erase(outputs, queue);
}

bool PortTee::start() {
    if (input == nullptr) {
        return false;
    }
    if (thread.joinable()) {
        return true;
    }
    stopFlag = false;
    try {
        thread = std::thread(&PortTee::run, this);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void PortTee::stop() {
    if (!thread.joinable()) {
        return;
    }
    stopFlag = true;
    input->signalStop();
    thread.join();
}

void PortTee::run() {
    while (!stopFlag) {
        input->waitForData();
        passOn();
    }
    // Bytes that reached the input before the stop still go out.
    while (passOn()) {
    }
}

bool PortTee::passOn() {
    int n = 0;
    bool broken = false;
    // A wake on a stale signal finds nothing; a failed allocation leaves the bytes for the next pass. A block
    // ends at a break of the source, and every output gets the break where it was.
    std::unique_ptr<char[]> block = input->takeUpToBreak(n, broken);
    if (block) {
        std::lock_guard guard(outputLock);
        for (ByteQueue* output : outputs) {
            if (broken) {
                output->markBreak();
            }
            output->append(block.get(), n);
        }
    }
    return block != nullptr;
}

} // namespace veltaro
