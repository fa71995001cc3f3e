#pragma once

#include "core/saved_setups.h"

#include <string>
#include <vector>

namespace veltaro {

// %APPDATA%\Veltaro\setups.ini; empty when Windows names no such folder.
std::wstring defaultSetupsPath();

// Reads the saved setups; a missing file holds none. One that cannot be read or is damaged is set aside as
// setups.ini.bad (in place of an older one) and problem says so, so it is told once and never lost.
std::vector<SavedSetup> loadSetups(const std::wstring& path, std::string& problem);

// Writes the setups whole, through a temporary file, so a crash never leaves half of one. False with problem
// set.
bool saveSetups(const std::wstring& path, const std::vector<SavedSetup>& setups, std::string& problem);

} // namespace veltaro
