#pragma once

#include "ui/framework/leaf_view.h"

namespace veltaro {

// A dial with a needle from its centre pointing along the course over ground, north up, clockwise.
class CourseView : public LeafView {
public:
    CourseView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi);

    void draw(HDC dc, int w, int h) override;

protected:
    bool describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const override;
};

} // namespace veltaro
