#include "ports/port.h"

namespace veltaro {

bool Port::initialize() {
    isOpen = false;
    // Manual reset: once stopped, every later wait of the worker returns at once.
    stopSignal.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return true;
}

bool Port::attachQueue(ByteQueue* replacement) {
    ByteQueue* previous = queue;
    queue = replacement;
    if (previous != nullptr && replacement != nullptr) {
        previous->moveAllTo(*replacement);
    }
    return true;
}

bool Port::stop() {
    if (!isOpen) {
        return true;
    }
    stopFlag = true;
    if (stopSignal.valid()) {
        SetEvent(stopSignal.get());
    }
    // A sink waits on its queue, not on the stop signal: wake it there. A source's queue belongs to
    // its consumer, whose waits must not be cut short.
    if (!isSource && queue != nullptr) {
        queue->signalStop();
    }
    if (thread.valid()) {
        WaitForSingleObject(thread.get(), INFINITE);
    }
    thread.reset();
    handle.reset();
    isOpen = false;
    return true;
}

bool Port::release() {
    stopSignal.reset();
    return true;
}

bool Port::queryFlag(int) const {
    return false;
}

std::unique_ptr<char[]> Port::displayName() const {
    return nullptr;
}

void Port::startWorker(bool asSource) {
    isSource = asSource;
    isOpen = true;
    // A failed thread start is not reported: the channel is open, and stop still works.
    thread.reset(CreateThread(nullptr, 0, &Port::workerMain, this, 0, nullptr));
}

void Port::drainQueue() {
    while (!stopFlag) {
        if (queue == nullptr) {
            WaitForSingleObject(stopSignal.get(), INFINITE); // nothing to write until stopped
            continue;
        }
        queue->waitForData();
        writeQueued();
    }
    writeQueued();
}

void Port::writeQueued() {
    int n = 0;
    if (std::unique_ptr<char[]> block = queue != nullptr ? queue->takeAll(n) : nullptr) {
        writeBlock(block.get(), n);
    }
}

DWORD WINAPI Port::workerMain(void* argument) {
    Port* port = static_cast<Port*>(argument);
    if (port->isSource) {
        port->runReader();
    } else {
        port->runWriter();
    }
    return 0;
}

} // namespace veltaro
