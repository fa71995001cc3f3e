#pragma once

#include "core/byte_queue.h"
#include "ports/win_handle.h"

#include <atomic>
#include <memory>

namespace veltaro {

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
    // The line settings as a block the caller owns; false where the channel has none.
    virtual bool getSettings(std::unique_ptr<char[]>& block, int& length) = 0;
    virtual bool setSettings(const char* block, int length) = 0;
    // Opens the channel and starts the worker; true at once when already open.
    virtual bool open(bool asSource, ByteQueue* queue) = 0;
    // Moves what the old queue still holds into the new one, ahead of anything later.
    virtual bool attachQueue(ByteQueue* queue);
    // Ends the worker (a sink first writes what its queue holds) and closes the channel.
    virtual bool stop();
    virtual bool release();
    virtual bool queryFlag(int code) const;
    // A name for the user, owned by the caller; null where the port has none.
    virtual std::unique_ptr<char[]> displayName() const;

protected:
    // Starts the worker for the given direction; the port counts as open from here on.
    void startWorker(bool asSource);
    virtual void runReader() = 0;
    virtual void runWriter() = 0;

    // A sink's loop: hands everything its queue receives to writeBlock until stopped, then what reached
    // the queue before the stop.
    void drainQueue();
    virtual void writeBlock(const char* bytes, int n) = 0;

    // The controlling (user-interface) thread opens and stops the port; between the two only the worker
    // uses queue and handle. stopFlag only goes from false to true while the worker runs.
    ByteQueue* queue = nullptr; // not owned
    WinHandle handle;           // the open device or file
    bool isOpen = false;
    bool isSource = false;
    WinHandle stopSignal; // manual reset: wakes a waiting source worker at once
    std::atomic<bool> stopFlag{false};
    WinHandle thread;

private:
    static DWORD WINAPI workerMain(void* port);
    void writeQueued();
};

} // namespace veltaro
