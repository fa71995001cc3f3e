#include "ports/overlapped_op.h"

#include <cstring>

namespace veltaro {

OverlappedOp::OverlappedOp(HANDLE device, HANDLE stopSignal)
    : device(device), stopSignal(stopSignal), event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    std::memset(&overlapped, 0, sizeof overlapped);
}

void OverlappedOp::prepare() {
    std::memset(&overlapped, 0, sizeof overlapped);
    overlapped.hEvent = event.get();
    ResetEvent(event.get());
}

bool OverlappedOp::started(BOOL result, DWORD& error) {
    pending = result || GetLastError() == ERROR_IO_PENDING;
    if (!pending) {
        error = GetLastError();
    }
    return pending;
}

OverlappedOp::Wait OverlappedOp::wait(DWORD ms, DWORD& error) {
    const HANDLE wakes[] = {stopSignal, event.get()}; // the stop signal wins a tie
    const DWORD count = stopSignal != nullptr ? 2 : 1;
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(count, wakes + 2 - count, FALSE, ms);
        if (woke == WAIT_TIMEOUT) {
            return deviceGone(device, error) ? Wait::deviceGone : Wait::timedOut;
        }
        if (woke != WAIT_OBJECT_0 + count - 1) {
            return Wait::stopped;
        }
        if (HasOverlappedIoCompleted(&overlapped)) {
            return Wait::done;
        }
        // Woken before the operation ended, as some drivers do: it goes on. Had it ended just before the
        // reset, its signal would be gone and its end never seen: look once more after it.
        ResetEvent(event.get());
        if (HasOverlappedIoCompleted(&overlapped)) {
            return Wait::done;
        }
    }
}

bool OverlappedOp::finish(DWORD& moved, DWORD& error) {
    pending = false;
    moved = 0;
    // The count stands on a failure too: a write that timed out or failed says what the driver took.
    if (GetOverlappedResult(device, &overlapped, &moved, FALSE)) {
        return true;
    }
    error = GetLastError();
    return false;
}

DWORD OverlappedOp::cancel() {
    if (!pending) {
        return 0;
    }
    pending = false;
    CancelIo(device);
    DWORD moved = 0;
    GetOverlappedResult(device, &overlapped, &moved, TRUE); // cancelled or not, the count stands
    return moved;
}

bool deviceGone(HANDLE device, DWORD& error) {
    DWORD errors = 0;
    COMSTAT status;
    if (ClearCommError(device, &errors, &status)) {
        return false;
    }
    error = GetLastError();
    return true;
}

} // namespace veltaro
