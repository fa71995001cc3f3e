// Bytes as a receiver might send them, through the queue's line reader into both ways of decoding.
#include "core/byte_queue.h"
#include "gps/every_system.h"
#include "gps/nmea.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace veltaro;
    ByteQueue queue;
    // Two appends, so a line can be split across them as on a serial line.
    const std::size_t half = size / 2;
    queue.append(reinterpret_cast<const char*>(data), static_cast<int>(half));
    queue.append(reinterpret_cast<const char*>(data) + half, static_cast<int>(size - half));
    queue.signalStop(); // ends the reader once no whole line is left

    GpsState state;
    SatelliteTable working;
    GpsState every;
    SatelliteTable everyWorking;
    auto cycles = std::make_unique<SystemCycles>();
    int count = 0;
    std::string name;
    while (std::unique_ptr<char[]> line = queue.readLine(count)) {
        hasBadChecksum(line.get(), count);
        sentenceKind(line.get(), count, name);
        // Decoding writes into the line: each way gets its own copy. The count may take in the terminator.
        const auto copy = std::make_unique<char[]>(static_cast<std::size_t>(count) + 1);
        std::memcpy(copy.get(), line.get(), static_cast<std::size_t>(count));
        copy[static_cast<std::size_t>(count)] = '\0';
        decodeSentence(state, working, line.get(), count);
        decodeEverySystem(every, everyWorking, *cycles, copy.get(), count);
    }
    return 0;
}
