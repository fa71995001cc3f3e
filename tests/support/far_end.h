#pragma once

#include "ports/win_handle.h"

#include <string>

namespace veltaro::test {

// The far end of a virtual COM port pair, driven with plain blocking Win32 calls, independent of the
// port code under test.
class FarEnd {
public:
    explicit FarEnd(int portNumber);

    bool isOpen() const { return handle.valid(); }
    bool write(const std::string& bytes);
    // Reads until size bytes arrived, or a generous time-out passed.
    std::string read(std::size_t size);

private:
    WinHandle handle;
};

} // namespace veltaro::test
