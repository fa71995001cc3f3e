#include "ports/port.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace veltaro {

std::unique_ptr<char[]> nameCopy(const std::string& text) {
    std::unique_ptr<char[]> name(new (std::nothrow) char[text.size() + 1]);
    if (name) {
        std::memcpy(name.get(), text.c_str(), text.size() + 1);
    }
    return name;
}

bool Port::initialize() {
    isOpen = false;
    // Manual reset: once stopped, every later wait of the worker returns at once.
    stopSignal.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return true;
}

bool Port::getSettings(std::unique_ptr<char[]>&, int&) {
    return false;
}

bool Port::setSettings(const char*, int) {
    return false;
}

bool Port::attachQueue(ByteQueue* replacement) {
    if (isOpen) {
        // The worker reads queue without a lock and may be waiting on the old one; a swap under it
        // could lose bytes or leave it waiting for ever.
        return false;
    }
    ByteQueue* previous = queue;
    queue = replacement;
    if (previous != nullptr && replacement != nullptr) {
        previous->moveAllTo(*replacement);
    }
    return true;
}

void Port::requestStop(ULONGLONG deadlineTick) {
    if (!isOpen || stopAsked) {
        return;
    }
    stopAsked = true;
    stopDeadline = deadlineTick;
    stopFlag = true;
    if (stopSignal.valid()) {
        SetEvent(stopSignal.get());
    }
    // A sink waits on its queue, not on the stop signal: wake it there. A source's queue belongs to
    // its consumer, whose waits must not be cut short.
    if (!isSource && queue != nullptr) {
        queue->signalStop();
    }
}

bool Port::stop() {
    if (!isOpen) {
        return true;
    }
    requestStop(GetTickCount64() + STOP_DEADLINE_MS);
    if (thread.valid()) {
        WaitForSingleObject(thread.get(), INFINITE);
    }
    thread.reset();
    handle.reset();
    isOpen = false;
    stopAsked = false;
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

PortStatus Port::status() const {
    std::lock_guard guard(statusLock);
    return current;
}

void Port::startWorker(bool asSource) {
    isSource = asSource;
    isOpen = true;
    stopAsked = false;
    // A failed thread start is not reported: the channel is open, and stop still works.
    thread.reset(CreateThread(nullptr, 0, &Port::workerMain, this, 0, nullptr));
}

void Port::deliver(const char* bytes, int n) {
    if (queue != nullptr && n > 0) {
        queue->append(bytes, n);
        std::lock_guard guard(statusLock);
        current.bytes += n;
    }
}

bool Port::pastDeadline() const {
    return stopFlag && GetTickCount64() >= stopDeadline;
}

DWORD Port::untilDeadline(DWORD most) const {
    if (!stopFlag) {
        return most;
    }
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG deadline = stopDeadline;
    return now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(most, deadline - now));
}

void Port::reportFailure(const char* what, DWORD error) {
    std::lock_guard guard(statusLock);
    recordFailure(what, error);
}

void Port::recordFailure(const char* what, DWORD error) {
    // The time of the first failure stands until it works again.
    if (current.failure == nullptr) {
        GetLocalTime(&current.since);
    }
    current.failure = what;
    current.systemError = error;
}

void Port::reportWorking() {
    std::lock_guard guard(statusLock);
    if (current.endedAt < 0) {
        current.failure = nullptr;
        current.systemError = 0;
        current.reopening = false;
        current.reconnecting = false;
    }
}

void Port::reportLost(DWORD error) {
    std::lock_guard guard(statusLock);
    recordFailure("port lost", error);
    current.reopening = true;
}

void Port::reportConnectionLost(DWORD error) {
    std::lock_guard guard(statusLock);
    recordFailure("connection lost", error);
    current.reconnecting = true;
}

void Port::reportClients(int connected, std::int64_t droppedLines, int droppedFor) {
    std::lock_guard guard(statusLock);
    current.clients = connected;
    current.droppedLines = droppedLines;
    current.droppedFor = droppedFor;
}

void Port::countWritten(std::int64_t n) {
    std::lock_guard guard(statusLock);
    current.bytes += n;
}

void Port::reportDroppedLines(std::int64_t total) {
    std::lock_guard guard(statusLock);
    current.droppedLines = total;
}

void Port::reportEnd(std::int64_t at) {
    std::lock_guard guard(statusLock);
    current.endedAt = at;
    current.held = 0;
}

void Port::reportHeld(std::int64_t n) {
    std::lock_guard guard(statusLock);
    current.held = n;
}

void Port::reportAtEnd(bool atEnd) {
    std::lock_guard guard(statusLock);
    current.atEnd = atEnd;
}

void Port::reportBaud(BaudStatus baud) {
    std::lock_guard guard(statusLock);
    current.baud = std::move(baud);
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
