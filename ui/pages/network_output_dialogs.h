#pragma once

#include <windows.h>

#include <string>

namespace veltaro {

// Asks for the TCP port to serve a device's stream on; portText is what the user typed ("10110" offered when it
// comes empty). True when the user confirmed.
bool showTcpServerDialog(HWND owner, std::string& portText);

// Asks for the HOST:PORT to send a device's stream to over UDP (a broadcast address allowed); hostPort as typed,
// initially what the caller put there. True when the user confirmed.
bool showUdpOutputDialog(HWND owner, std::string& hostPort);

} // namespace veltaro
