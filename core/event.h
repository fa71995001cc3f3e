#pragma once

#include <condition_variable>
#include <mutex>

namespace veltaro {

// Guards the events that one thread waits on together.
class EventGroup {
public:
    EventGroup() = default;
    EventGroup(const EventGroup&) = delete;
    EventGroup& operator=(const EventGroup&) = delete;

private:
    friend class AutoResetEvent;
    std::mutex mutex;
    std::condition_variable changed;
};

// An auto-reset event: one signal releases one wait, and a signal given while nobody
// waits stays pending and releases the next wait at once.
class AutoResetEvent {
public:
    explicit AutoResetEvent(EventGroup& group) : group(group) {}
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void set();

    // Waits until either event of the same group is signalled and consumes that signal.
    // Returns 0 for the first, 1 for the second; the first wins when both are pending.
    static int waitAny(AutoResetEvent& first, AutoResetEvent& second);

private:
    EventGroup& group;
    bool signalled = false; // guarded by group.mutex
};

} // namespace veltaro
