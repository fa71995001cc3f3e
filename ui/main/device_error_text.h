#pragma once

#include <string>

namespace veltaro {

// The message for a DeviceError code, from the string table; "Unknown error has occurred!" otherwise.
std::string deviceErrorText(int code);

} // namespace veltaro
