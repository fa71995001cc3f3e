#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace veltaro {

// How a port's channel is doing, as its worker last found it; the device page shows it.
struct PortStatus {
    std::int64_t bytes = 0;        // read into the queue (source) or written out (sink)
    const char* failure = nullptr; // what is failing ("disk full", "port lost", ...), null while it works
    DWORD systemError = 0;         // the system's error code of that failure, 0 where there is none
    SYSTEMTIME since{};            // local time the failure began
    std::int64_t droppedLines = 0; // whole lines an echo gave up because its far end could not keep up
    std::int64_t endedAt = -1;     // a log that could not keep its unwritten bytes ends at this byte
    std::int64_t held = 0;         // bytes a log took and could not write yet: lost if it is closed now
    bool atEnd = false;            // a replayed file: everything in it so far is delivered
    bool reopening = false;        // the device went away and is looked for again
};

} // namespace veltaro
