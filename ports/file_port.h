#pragma once

#include "ports/port.h"

#include <atomic>
#include <cstdint>
#include <optional>
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

// How fast a replay goes: as recorded, ten times that, or as fast as it can be read.
enum class ReplaySpeed : int {
    FASTEST = 0,
    REAL_TIME = 1,
    TEN_TIMES = 10,
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
    // Pauses or resumes a replay and sets its speed; any thread. A replay waiting for its next burst hears of
    // it at once; one that resumes goes on with its next burst at once.
    void steer(bool pause, ReplaySpeed speed);
    bool pausedByUser() const { return paused; }
    // A log opened after this goes on at the end of what its file holds, rather than starting it empty.
    void appendToLog() { appending = true; }
    ReplaySpeed speed() const { return static_cast<ReplaySpeed>(speedFactor.load()); }

private:
    // Waits, steered, until the next delivery: period after the last one (scaled by the speed, from
    // *lastAt, none: at once), while playing. False when stopped. Sets *lastAt to when the delivery is due.
    bool waitForTurn(std::optional<ULONGLONG>& lastAt, ULONGLONG period);
    void runReader() override;
    void runWriter() override;
    void replayInBursts();
    bool openRecording();
    bool writePending(std::string& pending);

    std::string path;
    ReplayPace pace;
    bool byTimeStamps = false;   // a source: the file's first block has time stamps to pace it by
    std::int64_t fileLength = 0; // writer only: bytes known to be in the file
    std::atomic<bool> paused{false};
    std::atomic<int> speedFactor{static_cast<int>(ReplaySpeed::REAL_TIME)};
    WinHandle steerSignal; // auto reset: steer wakes the replay with it
    bool appending = false;
};

} // namespace veltaro
