#pragma once

#include "gps/gps_state.h"
#include "ui/framework/leaf_view.h"
#include "ui/views/orvo_drawer.h"
#include "ui/views/track_cache.h"

#include <memory>
#include <string>
#include <vector>

namespace veltaro {

// The track of a device's positions while it has a fix, centred on the latest one, with keys, wheel and
// scroll requests to zoom and pan. data is the device's GpsState.
class RouteView : public LeafView {
public:
    RouteView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    // Records the current position when there is a fix, and repaints what that changed.
    void refresh() override;
    void draw(HDC dc, int w, int h) override;
    // Sets the scale when it lies in the view's range; false, and the scale kept, otherwise.
    bool zoomTo(double scale);

    Polyline track;   // every recorded position, oldest first
    DrawList objects; // drawn under the track
    DrawContext context;
    double lonOffset = 0; // hundredths of a degree the centre lies west of the latest position
    // The positions the device reported since the last refresh, taken by each refresh; without them the
    // view records the state's position on every refresh with a fix.
    std::vector<TrackFix>* fixes = nullptr;

protected:
    LRESULT onKeyDown(WPARAM key) override;
    LRESULT onMouseWheel(WPARAM wParam) override;
    LRESULT onVScroll(WPARAM wParam) override;

private:
    void follow(double latitude, double longitude);
    void drawTrack();
    double panStep() const;
    void repaint();

    std::string shownAge;              // the age caption of the last refresh
    std::unique_ptr<TrackCache> cache; // the lines of a track too long to draw on every paint
};

} // namespace veltaro
