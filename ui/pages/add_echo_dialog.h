#pragma once

#include <windows.h>

namespace veltaro {

// Asks for a COM port and a baud rate to echo a device's data to. True when the user confirmed;
// then portNumber and baudRate hold the choice, otherwise they are untouched.
bool showAddEchoDialog(HWND owner, int& portNumber, int& baudRate);

} // namespace veltaro
