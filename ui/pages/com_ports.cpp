#include "ui/pages/com_ports.h"

#include <windows.h>

#include <winspool.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace veltaro {

std::vector<ComPort> listComPorts() {
    std::vector<ComPort> ports;
    DWORD needed = 0;
    DWORD returned = 0;
    // The first call only learns the size; any other failure means no ports.
    if (EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return ports;
    }
    std::vector<BYTE> buffer(needed / 4 * 4 + 4);
    if (!EnumPortsA(nullptr, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned)) {
        return ports;
    }
    const auto* entries = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
        std::string name = entries[i].pName != nullptr ? entries[i].pName : "";
        if (name.compare(0, 3, "COM") != 0) {
            continue; // printers' ports: LPT1:, FILE: and the like
        }
        if (!name.empty() && name.back() == ':') {
            name.pop_back();
        }
        ports.push_back({name, static_cast<int>(std::strtol(name.c_str() + 3, nullptr, 10))});
    }
    // In number order, as a user counts them: COM2 before COM10.
    std::stable_sort(ports.begin(), ports.end(),
                     [](const ComPort& a, const ComPort& b) { return a.number < b.number; });
    return ports;
}

} // namespace veltaro
