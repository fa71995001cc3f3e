#include "ui/views/speed_view.h"

#include "gps/gps_state.h"
#include "ui/framework/gdi_owners.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace veltaro {

namespace {

// Neither the activity nor the fix matters: the last speed received stays on display. None for a speed no
// receiver can mean.
std::string speedText(const GpsState& state) {
    if (std::isnan(state.speedKnots)) {
        return "";
    }
    char text[100];
    std::snprintf(text, sizeof text, "%5.2f km/h", state.speedKnots * KMH_PER_KNOT);
    return text;
}

} // namespace

SpeedView::SpeedView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "", false, true, VIEW_FOCUS}) {}

void SpeedView::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    SelectedObject font(dc, gdi.boldFont);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    SetBkMode(dc, TRANSPARENT);
    const std::string text = speedText(*static_cast<const GpsState*>(data));
    TextOutA(dc, w / 2, (h - gdi.lineHeight()) / 2, text.c_str(), static_cast<int>(text.size()));
}

bool SpeedView::describe(HDC, int w, int h, std::vector<PicturePart>& parts) const {
    // A narrow strip: the text's change repaints all of it.
    parts.push_back({{0, 0, w, h}, LookDigest().add(speedText(*static_cast<const GpsState*>(data))).value()});
    return true;
}

} // namespace veltaro
