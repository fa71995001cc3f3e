#pragma once

#include <windows.h>

namespace veltaro {

// Owns a kernel handle and closes it; null and INVALID_HANDLE_VALUE both mean none.
class WinHandle {
public:
    WinHandle() = default;
    explicit WinHandle(HANDLE handle) : handle(handle) {}
    ~WinHandle() { reset(); }
    WinHandle(const WinHandle&) = delete;
    WinHandle& operator=(const WinHandle&) = delete;

    HANDLE get() const { return handle; }
    bool valid() const { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

    void reset(HANDLE replacement = nullptr) {
        if (valid()) {
            CloseHandle(handle);
        }
        handle = replacement;
    }

private:
    HANDLE handle = nullptr;
};

} // namespace veltaro
