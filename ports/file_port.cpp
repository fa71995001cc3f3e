#include "ports/file_port.h"

namespace veltaro {

namespace {

constexpr DWORD REPLAY_PERIOD_MS = 200;
constexpr DWORD REPLAY_CHUNK = 100;
constexpr DWORD RETRY_MS = 1000; // a log that cannot be written tries again this often

} // namespace

FilePort::FilePort(const char* path) : path(path != nullptr ? path : "") {}

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
    // Shared for reading only: others may watch a log grow, but nobody else may write into it.
    handle.reset(CreateFileA(path.c_str(), asSource ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.valid()) {
        handle.reset();
        return false;
    }
    SetFilePointer(handle.get(), 0, nullptr, FILE_BEGIN);
    if (!asSource) {
        // A log starts empty: old bytes past the new stream's end would read as part of it.
        SetEndOfFile(handle.get());
    }
    fileLength = 0;
    startWorker(asSource);
    return true;
}

void FilePort::runReader() {
    char buffer[REPLAY_CHUNK];
    do {
        // The wait sets the pace and ends at once when the port is stopped.
        if (WaitForSingleObject(stopSignal.get(), REPLAY_PERIOD_MS) == WAIT_TIMEOUT && queue != nullptr) {
            DWORD read = 0;
            if (ReadFile(handle.get(), buffer, REPLAY_CHUNK, &read, nullptr) && read > 0) {
                deliver(buffer, static_cast<int>(read));
            }
        }
    } while (!stopFlag);
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
