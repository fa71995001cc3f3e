#pragma once

#include "ui/framework/leaf_view.h"

namespace veltaro {

// One disc as two pictures: a sky plot of the satellites in view (zenith at the centre, north up, east
// right), and an outline of the globe with the equator, the tropics and the receiver's position.
class SatTrackingView : public LeafView {
public:
    SatTrackingView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    void draw(HDC dc, int w, int h) override;

protected:
    bool describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const override;

private:
    void drawSky(HDC dc, int w, int h);
};

} // namespace veltaro
