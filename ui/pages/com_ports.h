#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace veltaro {

struct ComPort {
    std::string name;  // "COM3", without the spooler's trailing colon
    int number;        // 3
    std::string label; // what the lists show: "COM3  u-blox GNSS receiver", or the name alone
};

// What the lists show for the port named name: the name, then its device's description (the friendly
// name or the device description) less the " (COM3)" a friendly name ends with; without one, the name.
std::string portLabel(const std::string& name, const std::string& description);

// 12 for "COM12"; 0 for a name that is no COM port's (a printer's "LPT1", a damaged setup's).
int portNumber(const std::string& name);

// The machine's COM ports in number order: those the print spooler reports and those of the devices
// Windows knows, each labelled with its device's description where there is one.
std::vector<ComPort> listComPorts();

// The pixels the widest label takes in the control's font, with the margins of a list item.
int widestLabel(HWND control, const std::vector<ComPort>& ports);

} // namespace veltaro
