#pragma once

#include "gps/baud_search.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro {

// A serial source at an automatic baud rate: how the search for its rate is going.
struct BaudStatus {
    std::uint32_t trying = 0;  // the rate tried now while the search runs; 0 once found, or with a chosen rate
    std::uint32_t found = 0;   // the rate the search found, kept from then on
    bool nothingFound = false; // a round of every rate found no NMEA, and the search began again
    std::vector<BaudSearch::SkippedRate> refused; // rates the port refused the last time they were tried
};

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
    bool reconnecting = false;     // a network source lost its connection, or never had it, and tries again
    int clients = -1;              // a TCP server: the programs connected now; -1 for other ports
    int droppedFor = 0;            // a TCP server: the clients that had lines dropped
    BaudStatus baud;
};

} // namespace veltaro
