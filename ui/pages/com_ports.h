#pragma once

#include <string>
#include <vector>

namespace veltaro {

struct ComPort {
    std::string name; // "COM3", without the spooler's trailing colon
    int number;       // 3
};

// The machine's COM ports as the print spooler reports them, in number order.
std::vector<ComPort> listComPorts();

} // namespace veltaro
