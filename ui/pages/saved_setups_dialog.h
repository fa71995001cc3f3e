#pragma once

#include "core/saved_setups.h"

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

namespace veltaro {

// A setup's row: its port, baud rate ("Automatic" for 0), outputs and when it was last used (local time).
std::vector<std::string> setupRow(const SavedSetup& setup);

// Lists the setups, most recent first, with "Start", "Delete" and a "Start at launch" tick on each. Deleting
// and ticking change setups at once; true when the user chose "Start", with chosen the setup's index.
bool showSavedSetupsDialog(HWND owner, std::vector<SavedSetup>& setups, std::size_t& chosen);

} // namespace veltaro
