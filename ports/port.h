#pragma once

#include "core/byte_queue.h"
#include "ports/port_status.h"
#include "ports/win_handle.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

namespace veltaro {

// How long a stop may take: log files get everything, echo ports what their far end accepts by then.
constexpr ULONGLONG STOP_DEADLINE_MS = 2000;

// Whether the first bytes an output gets begin a line: an output added while the stream flows may join it in the
// middle of one, and NMEA lines begin with '$' or '!'.
inline bool beginsLine(const char* bytes, std::size_t n) {
    return n > 0 && (bytes[0] == '$' || bytes[0] == '!');
}

// A copy of text for displayName, owned by the caller; null without the memory for it.
std::unique_ptr<char[]> nameCopy(const std::string& text);

// One end of a device pipeline: moves raw bytes between an outside channel (a COM port or a file) and
// one ByteQueue on a worker thread. As a source the worker fills the queue; as a sink it drains it.
class Port {
public:
    Port() = default;
    // An implementation stops its worker in its own destructor: the worker runs its code.
    virtual ~Port() = default;
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    // Prepares the stop signal; always true.
    virtual bool initialize();
    // The line settings as a block the caller owns; false where the channel has none (a network one).
    virtual bool getSettings(std::unique_ptr<char[]>& block, int& length);
    virtual bool setSettings(const char* block, int length);
    // Opens the channel and starts the worker; true at once when already open.
    virtual bool open(bool asSource, ByteQueue* queue) = 0;
    // Moves what the old queue still holds into the new one, ahead of anything later. Refused (false)
    // while the port is open: its worker keeps the queue it was opened with.
    virtual bool attachQueue(ByteQueue* queue);
    // Asks the worker to end without waiting for it, so several ports can finish together. A source ends
    // at once; a sink first writes what its queue received, an echo port until deadlineTick
    // (GetTickCount64) at the latest, when what its far end has not taken is given up.
    void requestStop(ULONGLONG deadlineTick);
    // Asks as above (with STOP_DEADLINE_MS unless asked already), waits for the worker and closes.
    virtual bool stop();
    virtual bool release();
    virtual bool queryFlag(int code) const;
    // A name for the user, owned by the caller; null where the port has none.
    virtual std::unique_ptr<char[]> displayName() const;
    // What the worker last reported; any thread.
    PortStatus status() const;

protected:
    // Starts the worker for the given direction; the port counts as open from here on.
    void startWorker(bool asSource);
    virtual void runReader() = 0;
    virtual void runWriter() = 0;

    // For the worker.
    void deliver(const char* bytes, int n); // a source's bytes into the queue, counted
    bool pastDeadline() const;
    DWORD untilDeadline(DWORD most) const; // at most this long, and not past the stop's deadline
    void reportFailure(const char* what, DWORD error);
    void reportWorking();
    // The device went away; the worker looks for it again until it is back.
    void reportLost(DWORD error);
    // A network source's connection failed or dropped; the worker connects again until it works.
    void reportConnectionLost(DWORD error);
    // A TCP server's clients: how many are connected, and the lines dropped for how many of them.
    void reportClients(int connected, std::int64_t droppedLines, int droppedFor);
    void countWritten(std::int64_t n);
    void reportDroppedLines(std::int64_t total);
    void reportEnd(std::int64_t at);
    void reportHeld(std::int64_t n);
    void reportAtEnd(bool atEnd);
    void reportBaud(BaudStatus baud);

    // The controlling (user-interface) thread opens and stops the port; between the two only the worker
    // uses queue and handle. stopFlag only goes from false to true while the worker runs, after
    // stopDeadline is set.
    ByteQueue* queue = nullptr; // not owned
    WinHandle handle;           // the open device or file
    bool isOpen = false;
    bool isSource = false;
    bool stopAsked = false; // controlling thread only
    WinHandle stopSignal;   // manual reset: wakes a waiting worker at once
    std::atomic<bool> stopFlag{false};
    std::atomic<ULONGLONG> stopDeadline{0};
    WinHandle thread;

private:
    static DWORD WINAPI workerMain(void* port);
    void recordFailure(const char* what, DWORD error); // with statusLock held

    mutable std::mutex statusLock; // guards current: the worker writes, the user-interface thread reads
    PortStatus current;
};

} // namespace veltaro
