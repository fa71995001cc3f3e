#include "ui/views/speed_view.h"

#include "gps/gps_state.h"
#include "ui/framework/gdi_owners.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace veltaro {

SpeedView::SpeedView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "", false, true, VIEW_FOCUS}) {}

void SpeedView::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    SelectedObject font(dc, gdi.boldFont);
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    SetBkMode(dc, TRANSPARENT);
    // Neither the activity nor the fix matters: the last speed received stays on display.
    const auto& state = *static_cast<const GpsState*>(data);
    if (std::isnan(state.speedKnots)) {
        return; // the receiver sent a speed no receiver can mean
    }
    char text[100];
    std::snprintf(text, sizeof text, "%5.2f km/h", state.speedKnots * KMH_PER_KNOT);
    TextOutA(dc, w / 2, (h - gdi.lineHeight()) / 2, text, static_cast<int>(std::strlen(text)));
}

} // namespace veltaro
