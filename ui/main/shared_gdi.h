#pragma once

#include "ui/framework/drawing_resources.h"

#include <windows.h>

namespace veltaro {

// Fills the shared resources; a resource that cannot be made stays null.
void createSharedGdi();

const SharedGdi& sharedGdi();

// The text line height the pages and views lay out with.
int textLineHeight();

} // namespace veltaro
