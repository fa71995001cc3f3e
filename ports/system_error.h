#pragma once

#include <windows.h>

#include <string>

namespace veltaro {

// The system's own words for an error code, without the line break they end with; empty if it has none.
std::string systemErrorText(DWORD error);

} // namespace veltaro
