// Bytes as a receiver might send them, through the queue's line reader into the decoder.
#include "core/byte_queue.h"
#include "gps/nmea.h"

#include <cstddef>
#include <cstdint>
#include <memory>

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
    int count = 0;
    while (std::unique_ptr<char[]> line = queue.readLine(count)) {
        decodeSentence(state, working, line.get(), count);
    }
    return 0;
}
