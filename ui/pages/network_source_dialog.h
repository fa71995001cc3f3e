#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace veltaro {

// What the user chose for a device reading NMEA from the network.
struct NetworkSourceChoice {
    std::string address; // as typed: "tcp://HOST:PORT", "udp://:PORT" or "HOST:PORT"
    bool saveToFile = false;
    bool echo = false;
    int echoPort = 0; // COM port number
    int echoBaud = 4800;
};

// Asks for a network source's address, offering the addresses used before (most recent first), and the same
// saving and echo choices as the start page. True when the user confirmed; choice then holds what was chosen.
bool showNetworkSourceDialog(HWND owner, const std::vector<std::string>& usedBefore, NetworkSourceChoice& choice);

} // namespace veltaro
