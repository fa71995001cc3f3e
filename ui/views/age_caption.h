#pragma once

#include "gps/gps_state.h"
#include "ui/framework/drawing_resources.h"

#include <string>

namespace veltaro {

// What a view says over data that is no longer live: "Port lost, reopening", "No data for 12 s", or
// nothing while lines flow.
std::string ageText(const GpsState& state);

// That text as a one-line caption in the top-left corner, over whatever the view drew; nothing while
// lines flow.
void drawAgeCaption(HDC dc, const SharedGdi& gdi, const GpsState& state);

} // namespace veltaro
