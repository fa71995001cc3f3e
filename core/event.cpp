#include "core/event.h"

namespace veltaro {

void AutoResetEvent::set() {
    {
        std::lock_guard guard(group.mutex);
        signalled = true;
    }
    group.changed.notify_all();
}

int AutoResetEvent::waitAny(AutoResetEvent& first, AutoResetEvent& second) {
    EventGroup& group = first.group;
    std::unique_lock guard(group.mutex);
    group.changed.wait(guard, [&] { return first.signalled || second.signalled; });
    if (first.signalled) {
        first.signalled = false;
        return 0;
    }
    second.signalled = false;
    return 1;
}

} // namespace veltaro
