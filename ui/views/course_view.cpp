#include "ui/views/course_view.h"

#include "gps/gps_state.h"
#include "ui/framework/gdi_owners.h"
#include "ui/views/pixel.h"

#include <algorithm>
#include <cmath>

namespace veltaro {

namespace {

constexpr double RADIANS_PER_DEGREE = 0.017453292519943295;
constexpr int NEEDLE_PEN = 3; // the thick pen's width at 96 DPI

// The needle's tip, on an ellipse inset 4 pixels (at 96 DPI) from the edges; false when no course the receiver can
// mean.
bool needleTip(double course, int w, int h, int inset, POINT& tip) {
    if (std::isnan(course)) {
        return false;
    }
    const double a = course * RADIANS_PER_DEGREE;
    tip = {inset + toPixel((1 + std::sin(a)) * (w - 2 * inset) * 0.5),
           inset + toPixel((1 - std::cos(a)) * (h - 2 * inset) * 0.5)};
    return true;
}

} // namespace

CourseView::CourseView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "", false, true, VIEW_FOCUS}) {}

void CourseView::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    {
        SelectedObject brush(dc, gdi.whiteBrush);
        SelectedObject pen(dc, gdi.blackPen);
        Ellipse(dc, 0, 0, w, h);
    }
    POINT tip{};
    if (!needleTip(static_cast<const GpsState*>(data)->course, w, h, gdi.scaled(4), tip)) {
        return;
    }
    SelectedObject pen(dc, gdi.thickBlackPen);
    MoveToEx(dc, w / 2, h / 2, nullptr);
    LineTo(dc, tip.x, tip.y);
}

bool CourseView::describe(HDC, int w, int h, std::vector<PicturePart>& parts) const {
    parts.push_back({{0, 0, w, h}, 0}); // the dial
    POINT tip{};
    if (needleTip(static_cast<const GpsState*>(data)->course, w, h, gdi.scaled(4), tip)) {
        // The thick pen's round ends reach past the line's box by half its width.
        const int pen = gdi.scaled(NEEDLE_PEN);
        parts.push_back({{std::min<LONG>(w / 2, tip.x) - pen, std::min<LONG>(h / 2, tip.y) - pen,
                          std::max<LONG>(w / 2, tip.x) + pen + 1, std::max<LONG>(h / 2, tip.y) + pen + 1},
                         1});
    }
    return true;
}

} // namespace veltaro
