// Bytes as a receiver might send them, through the queue's line reader into the decoder and the readers in
// front of it: one that chooses its reading by itself, one that reads every system.
#include "core/byte_queue.h"
#include "gps/nmea.h"
#include "gps/sentence_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
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
    GpsState chosen;
    GpsState every;
    auto byItself = std::make_unique<SentenceReader>();
    auto everySystem = std::make_unique<SentenceReader>();
    everySystem->choose(true);
    std::int64_t now = 0;
    int count = 0;
    while (std::unique_ptr<char[]> line = queue.readLine(count)) {
        // Decoding writes into the line: each gets its own copy. The count may take in the terminator.
        const auto copy = [&] {
            auto text = std::make_unique<char[]>(static_cast<std::size_t>(count) + 1);
            std::memcpy(text.get(), line.get(), static_cast<std::size_t>(count));
            text[static_cast<std::size_t>(count)] = '\0';
            return text;
        };
        now += 700; // cycles expire and the GPS talker falls silent along the way
        byItself->read(chosen, copy().get(), count, now);
        everySystem->read(every, copy().get(), count, now);
        decodeSentence(state, working, line.get(), count);
    }
    return 0;
}
