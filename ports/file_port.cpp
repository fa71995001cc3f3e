#include "ports/file_port.h"

#include "gps/receiver_pace.h"

#include <optional>
#include <string_view>
#include <vector>

namespace veltaro {

namespace {

constexpr DWORD REPLAY_PERIOD_MS = 200;
constexpr DWORD REPLAY_CHUNK = 100;
constexpr DWORD RETRY_MS = 1000; // a log that cannot be written tries again this often
// A replay at the receiver's pace reads this much at a time; a file whose first block has no time
// stamp is replayed at the fixed pace.
constexpr DWORD READ_BLOCK = 64 * 1024;
// A stretch without GGA or RMC goes out this much a second rather than all at once.
constexpr std::size_t BURST_LIMIT = 16 * 1024;

// Whether a GGA or RMC line in the bytes carries a time stamp.
bool hasTimeStamp(std::string_view bytes) {
    bool found = false;
    forEachLine(bytes, [&](std::string_view line) { found = found || timeStamp(line).has_value(); });
    return found;
}

} // namespace

FilePort::FilePort(const char* path, ReplayPace pace)
    : path(path != nullptr ? path : ""), pace(pace), steerSignal(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

void FilePort::steer(bool pause, ReplaySpeed speed) {
    paused = pause;
    speedFactor = static_cast<int>(speed);
    SetEvent(steerSignal.get());
}

bool FilePort::waitForTurn(std::optional<ULONGLONG>& lastAt, ULONGLONG period) {
    const HANDLE signals[] = {stopSignal.get(), steerSignal.get()};
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (paused) {
            if (WaitForMultipleObjects(2, signals, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                return false;
            }
            lastAt.reset(); // played again: the next delivery goes at once, not all those it missed
            continue;
        }
        const int speed = speedFactor;
        const ULONGLONG due = lastAt && speed > 0 ? *lastAt + period / static_cast<ULONGLONG>(speed) : now;
        // A timed wait may end a little before the tick it was meant for; nothing goes early.
        if (now >= due) {
            lastAt = due;
            return true;
        }
        const DWORD woke = WaitForMultipleObjects(2, signals, FALSE, static_cast<DWORD>(due - now));
        if (woke != WAIT_TIMEOUT && woke != WAIT_OBJECT_0 + 1) {
            return false;
        }
    }
}

FilePort::~FilePort() {
    stop();
}

bool FilePort::getSettings(std::unique_ptr<char[]>&, int&) {
    return false; // a file has no line settings
}

bool FilePort::setSettings(const char*, int) {
    return false;
}

bool FilePort::queryFlag(int code) const {
    return code == 0 || code == 1;
}

bool FilePort::open(bool asSource, ByteQueue* target) {
    if (isOpen) {
        return true;
    }
    if (path.empty()) {
        return false;
    }
    queue = target;
    stopFlag = false;
    if (asSource && pace == ReplayPace::RECEIVER) {
        if (!openRecording()) {
            return false;
        }
        startWorker(true);
        return true;
    }
    // Shared for reading only: others may watch a log grow, but nobody else may write into it.
    handle.reset(CreateFileA(path.c_str(), asSource ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        reportFailure("cannot open", GetLastError());
        handle.reset();
        return false;
    }
    LARGE_INTEGER end{};
    const bool append = !asSource && appending && GetFileSizeEx(handle.get(), &end);
    fileLength = append ? end.QuadPart : 0;
    SetFilePointer(handle.get(), 0, nullptr, append ? FILE_END : FILE_BEGIN);
    if (!asSource && !append) {
        // A log starts empty: old bytes past the new stream's end would read as part of it.
        SetEndOfFile(handle.get());
    }
    startWorker(asSource);
    return true;
}

// A recording must exist and be readable; its first block tells whether it has time stamps to pace by.
bool FilePort::openRecording() {
    // Shared for writing too, so a log that is still being written can be watched again.
    handle.reset(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        reportFailure("cannot open", GetLastError());
        handle.reset();
        return false;
    }
    std::vector<char> block(READ_BLOCK);
    DWORD read = 0;
    if (!ReadFile(handle.get(), block.data(), READ_BLOCK, &read, nullptr)) {
        reportFailure("cannot read", GetLastError());
        handle.reset();
        return false;
    }
    byTimeStamps = hasTimeStamp(std::string_view(block.data(), read));
    SetFilePointer(handle.get(), 0, nullptr, FILE_BEGIN);
    return true;
}

void FilePort::runReader() {
    if (byTimeStamps) {
        replayInBursts();
        return;
    }
    char buffer[REPLAY_CHUNK];
    std::optional<ULONGLONG> readAt = GetTickCount64();
    do {
        // The wait sets the pace and ends at once when the port is stopped.
        if (waitForTurn(readAt, REPLAY_PERIOD_MS) && queue != nullptr) {
            DWORD read = 0;
            if (ReadFile(handle.get(), buffer, REPLAY_CHUNK, &read, nullptr) && read > 0) {
                deliver(buffer, static_cast<int>(read));
                reportAtEnd(false);
            } else {
                reportAtEnd(true);
            }
        }
    } while (!stopFlag);
}

// Replays the file burst by burst, each as long after the one before as the receiver's time stamps say;
// the deadlines add up from the first burst, so an hour's log takes an hour, not an hour plus the time
// spent reading. At the end of the file what is gathered goes at its time, and bytes appended later go
// as they appear.
void FilePort::replayInBursts() {
    std::vector<char> block(READ_BLOCK);
    std::string unread; // read from the file, not yet a whole line
    std::string burst;  // the lines of the burst being gathered
    BurstSplitter splitter;
    std::optional<std::chrono::milliseconds> sentStamp; // the last burst sent
    std::optional<ULONGLONG> sentAt;                    // when it was due; none: the next goes at once

    const auto send = [&](std::optional<std::chrono::milliseconds> stamp) {
        if (!waitForTurn(sentAt, static_cast<ULONGLONG>(burstInterval(sentStamp, stamp).count()))) {
            return false;
        }
        deliver(burst.data(), static_cast<int>(burst.size()));
        burst.clear();
        sentStamp = stamp;
        return true;
    };

    // Adds a line to the burst it belongs to, sending the burst it completes.
    const auto gather = [&](std::string_view line) {
        const std::optional<std::chrono::milliseconds> gathered = splitter.stamp();
        if (splitter.startsBurst(line) && !burst.empty() && !send(gathered)) {
            return false;
        }
        burst += line;
        return burst.size() < BURST_LIMIT || send(splitter.stamp());
    };

    for (;;) {
        DWORD read = 0;
        if (!ReadFile(handle.get(), block.data(), READ_BLOCK, &read, nullptr) || read == 0) {
            // The end of the file, for now: a last line without its end is a line too.
            if (!unread.empty() && !gather(unread)) {
                return;
            }
            unread.clear();
            if (!burst.empty() && !send(splitter.stamp())) {
                return;
            }
            reportAtEnd(true);
            if (WaitForSingleObject(stopSignal.get(), REPLAY_PERIOD_MS) != WAIT_TIMEOUT) {
                return;
            }
            sentAt.reset();
            continue;
        }
        reportAtEnd(false);
        unread.append(block.data(), read);
        std::size_t start = 0;
        for (std::size_t newline; (newline = unread.find('\n', start)) != std::string::npos; start = newline + 1) {
            if (!gather(std::string_view(unread.data() + start, newline + 1 - start))) {
                return;
            }
        }
        unread.erase(0, start);
        if (unread.size() >= READ_BLOCK) {
            burst += unread; // a line that never ends goes on as it is
            unread.clear();
        }
    }
}

void FilePort::runWriter() {
    if (queue == nullptr) {
        WaitForSingleObject(stopSignal.get(), INFINITE); // nothing to write until stopped
        return;
    }
    std::string pending; // taken from the queue, not yet in the file
    bool ended = false;  // the log ended at a failure: nothing more goes in
    for (;;) {
        const bool stopping = stopFlag; // read before the take: what came before the stop is taken
        if (pending.empty() && !stopping) {
            queue->waitForData();
        }
        int n = 0;
        if (std::unique_ptr<char[]> block = queue->takeAll(n)) {
            if (!ended) {
                pending.append(block.get(), static_cast<std::size_t>(n));
            }
        }
        if (!pending.empty() && !writePending(pending)) {
            if (pending.size() > LOG_RETRY_LIMIT || (stopping && pastDeadline())) {
                // Writing on after dropping these would leave a hole that reads as a continuous log.
                reportEnd(fileLength);
                pending.clear();
                pending.shrink_to_fit();
                ended = true;
            } else if (stopping) {
                Sleep(untilDeadline(RETRY_MS)); // the stop signal is set: waiting on it would spin
            } else {
                WaitForSingleObject(stopSignal.get(), RETRY_MS); // the disk may have room again by then
            }
        }
        if (stopping && pending.empty()) {
            return;
        }
    }
}

// Writes pending from its front; false when the file refused, with what was written removed.
bool FilePort::writePending(std::string& pending) {
    while (!pending.empty()) {
        DWORD written = 0;
        const BOOL wrote =
            WriteFile(handle.get(), pending.data(), static_cast<DWORD>(pending.size()), &written, nullptr);
        if (!wrote || written == 0) {
            // A file that takes nothing without an error has no room left.
            const DWORD error = wrote ? ERROR_HANDLE_DISK_FULL : GetLastError();
            // A failed write may have left part of its bytes: cut the file back to what is known written,
            // so the retry neither repeats nor skips a byte.
            LARGE_INTEGER end;
            end.QuadPart = fileLength;
            SetFilePointerEx(handle.get(), end, nullptr, FILE_BEGIN);
            SetEndOfFile(handle.get());
            reportFailure(error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? "disk full" : "write failed",
                          error);
            reportHeld(static_cast<std::int64_t>(pending.size()));
            return false;
        }
        fileLength += written;
        countWritten(written);
        pending.erase(0, written);
    }
    reportWorking();
    reportHeld(0);
    return true;
}

} // namespace veltaro
