#pragma once

#include "ports/win_handle.h"

namespace veltaro {

// One overlapped operation at a time on a serial device, with its own event: started by the caller, waited
// for together with a stop signal, and let end before the memory it writes into goes away.
class OverlappedOp {
public:
    // A null stopSignal: only the operation ends a wait.
    OverlappedOp(HANDLE device, HANDLE stopSignal);
    ~OverlappedOp() { cancel(); }
    OverlappedOp(const OverlappedOp&) = delete;
    OverlappedOp& operator=(const OverlappedOp&) = delete;

    // Starts an operation through call(OVERLAPPED*), a ReadFile, WriteFile or WaitCommEvent. True when it is
    // under way or already done; false with the system's error.
    template <typename Call>
    bool start(Call call, DWORD& error) {
        prepare();
        return started(call(&overlapped), error);
    }
    bool outstanding() const { return pending; }

    enum class Wait { done, timedOut, stopped, deviceGone };
    // Waits up to ms for the outstanding operation or the stop signal. On a time-out it asks whether the
    // device still answers: a pulled adapter need not end the operation.
    Wait wait(DWORD ms, DWORD& error);
    // The outcome of an operation that is done: what it moved, and false with the error when it failed.
    bool finish(DWORD& moved, DWORD& error);
    // Cancels an outstanding operation and waits for its end; what it moved meanwhile.
    DWORD cancel();

private:
    void prepare();
    bool started(BOOL result, DWORD& error);

    HANDLE device;
    HANDLE stopSignal;
    WinHandle event; // manual reset
    OVERLAPPED overlapped;
    bool pending = false;
};

// True when the driver no longer answers for the device, with the system's reason in error.
bool deviceGone(HANDLE device, DWORD& error);

} // namespace veltaro
