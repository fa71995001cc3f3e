#pragma once

#include "ports/port.h"

#include <cstdint>
#include <string>

namespace veltaro {

// A log keeps at most this many bytes it could not write (a full disk) to write them first once it can;
// beyond that the log ends where writing failed rather than go on after a gap.
constexpr std::size_t LOG_RETRY_LIMIT = 8 * 1024 * 1024;

// How a source replays its file.
enum class ReplayPace {
    FIXED,    // at most 100 bytes every 200 ms
    RECEIVER, // as its receiver sent it, by the time stamps of its GGA and RMC lines, where it has them
};

// A Port over a disk file. As a sink it writes the raw stream to a log file; as a source it replays a
// recorded file, and goes on with what is appended to it.
class FilePort : public Port {
public:
    explicit FilePort(const char* path, ReplayPace pace = ReplayPace::FIXED);
    ~FilePort() override;

    bool getSettings(std::unique_ptr<char[]>& block, int& length) override;
    bool setSettings(const char* block, int length) override;
    bool open(bool asSource, ByteQueue* queue) override;
    bool queryFlag(int code) const override;

private:
    void runReader() override;
    void runWriter() override;
    void replayInBursts();
    bool openRecording();
    bool writePending(std::string& pending);

    std::string path;
    ReplayPace pace;
    bool byTimeStamps = false;   // a source: the file's first block has time stamps to pace it by
    std::int64_t fileLength = 0; // writer only: bytes known to be in the file
};

} // namespace veltaro
