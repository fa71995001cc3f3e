#include "ui/views/course_view.h"

#include "gps/gps_state.h"
#include "ui/framework/gdi_owners.h"
#include "ui/views/pixel.h"

#include <cmath>

namespace veltaro {

namespace {

constexpr double RADIANS_PER_DEGREE = 0.017453292519943295;

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
    const double course = static_cast<const GpsState*>(data)->course;
    if (std::isnan(course)) {
        return; // no course the receiver can mean: no needle
    }
    SelectedObject pen(dc, gdi.thickBlackPen);
    const double a = course * RADIANS_PER_DEGREE;
    // The tip lies on an ellipse inset 4 pixels from the edges.
    const int x = 4 + toPixel((1 + std::sin(a)) * (w - 8) * 0.5);
    const int y = 4 + toPixel((1 - std::cos(a)) * (h - 8) * 0.5);
    MoveToEx(dc, w / 2, h / 2, nullptr);
    LineTo(dc, x, y);
}

} // namespace veltaro
