#pragma once

#include "ui/framework/leaf_view.h"

namespace veltaro {

// The speed over ground in km/h, one line of bold text centred in a narrow strip.
class SpeedView : public LeafView {
public:
    SpeedView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    void draw(HDC dc, int w, int h) override;

protected:
    bool describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const override;
};

// RMC gives knots; the view shows km/h.
constexpr double KMH_PER_KNOT = 1.852;

} // namespace veltaro
