#pragma once

#include "gps/gps_state.h"
#include "ui/framework/drawing_resources.h"
#include "ui/framework/leaf_view.h"

#include <string>
#include <vector>

namespace veltaro {

// What a view says over data that is no longer live: "Port lost, reopening", "No data for 12 s", or
// nothing while lines flow.
std::string ageText(const GpsState& state);

// That text as a one-line caption in the top-left corner, over whatever the view drew; nothing while
// lines flow.
void drawAgeCaption(HDC dc, const SharedGdi& gdi, const GpsState& state);

// The caption's part of a view's picture, its text measured with dc; none while lines flow.
void addAgeCaptionPart(HDC dc, const SharedGdi& gdi, const GpsState& state, std::vector<PicturePart>& parts);

} // namespace veltaro
