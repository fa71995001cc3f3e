#include "support/far_end.h"

#include "support/windows_support.h"

#include <cstdio>
#include <cstring>

namespace veltaro::test {

FarEnd::FarEnd(int portNumber) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portNumber);
    handle.reset(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (handle.valid()) {
        COMMTIMEOUTS timeouts;
        std::memset(&timeouts, 0, sizeof timeouts);
        timeouts.ReadTotalTimeoutConstant = 200; // a read returns after this with what has come
        SetCommTimeouts(handle.get(), &timeouts);
    }
}

bool FarEnd::write(const std::string& bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
        DWORD written = 0;
        if (!WriteFile(handle.get(), bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &written, nullptr)) {
            return false;
        }
        at += written;
    }
    return true;
}

std::string FarEnd::read(std::size_t size) {
    std::string received;
    const ULONGLONG deadline = GetTickCount64() + GENEROUS_TIMEOUT_MS;
    char buffer[4096];
    while (received.size() < size && GetTickCount64() < deadline) {
        DWORD got = 0;
        if (!ReadFile(handle.get(), buffer, sizeof buffer, &got, nullptr)) {
            break;
        }
        received.append(buffer, got);
    }
    return received;
}

} // namespace veltaro::test
