#include "ports/file_port.h"

namespace veltaro {

namespace {

constexpr DWORD REPLAY_PERIOD_MS = 200;
constexpr DWORD REPLAY_CHUNK = 100;

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
                queue->append(buffer, static_cast<int>(read));
            }
        }
    } while (!stopFlag);
}

void FilePort::runWriter() {
    drainQueue();
}

void FilePort::writeBlock(const char* bytes, int n) {
    // A failed write drops this block; the writer goes on with the next one.
    while (n > 0) {
        DWORD written = 0;
        if (!WriteFile(handle.get(), bytes, static_cast<DWORD>(n), &written, nullptr) || written == 0) {
            return;
        }
        bytes += written;
        n -= static_cast<int>(written);
    }
}

} // namespace veltaro
