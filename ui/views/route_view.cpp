#include "ui/views/route_view.h"

#include "gps/gps_state.h"
#include "ui/views/age_caption.h"

#include <algorithm>

namespace veltaro {

namespace {

constexpr double INITIAL_SCALE = 2000.0;
constexpr double KEY_ZOOM_STEP = 10.0;
constexpr double ZOOM_IN = 1.1;
constexpr double ZOOM_OUT = 0.9090909090909091; // 1 / 1.1
constexpr double PAN_STEP = 0.5;
// Pixels per hundredth of a degree: from the whole Earth in a few pixels to about 1 cm a pixel. A step
// that would leave the range is not taken, so the opposite step always undoes the last one taken.
constexpr double MIN_SCALE = 1e-4;
constexpr double MAX_SCALE = 1e5;
// Lines that show, below which a paint draws the track exactly as recorded.
constexpr std::int64_t EXACT_LINES = 10000;

constexpr ViewWindow ROUTE_WINDOW{WS_EX_STATICEDGE, "", true, true, VIEW_FOCUS | VIEW_KEYS};

} // namespace

RouteView::RouteView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, ROUTE_WINDOW) {
    context.scale = INITIAL_SCALE;
}

void RouteView::refresh() {
    const auto* state = static_cast<const GpsState*>(data);
    const std::string age = state != nullptr ? ageText(*state) : std::string();
    const bool ageChanged = age != shownAge;
    shownAge = age;
    const std::int64_t known = track.count;
    const double latitude = context.originLatitude;
    const double longitude = context.originLongitude;
    if (fixes != nullptr) {
        // Every position reported gets its point, however many came since the window last looked.
        for (const TrackFix& fix : *fixes) {
            addPoint(track, fix.latitude, fix.longitude);
        }
        if (!fixes->empty()) {
            follow(fixes->back().latitude, fixes->back().longitude);
        }
        fixes->clear();
    } else if (state != nullptr && state->active != 0 && state->fixType > 1) {
        // A point that finds no memory is left out; the picture still follows the receiver.
        addPoint(track, state->latitude, state->longitude);
        follow(state->latitude, state->longitude);
    }
    if (hwnd == nullptr) {
        return;
    }
    // The picture is centred on the latest position: when that moved, every pixel may have.
    if (context.originLatitude != latitude || context.originLongitude != longitude) {
        repaint();
        return;
    }
    RECT client{};
    GetClientRect(hwnd, &client);
    if (track.count > known) {
        // Only the new lines, from the point that was last, and its end pixel, changed.
        DrawContext at = context;
        at.width = client.right;
        at.height = client.bottom;
        RECT lines{};
        for (std::int64_t i = std::max<std::int64_t>(known - 1, 0); i < track.count; ++i) {
            const POINT p = project(track.point(i), at);
            const RECT pixel{p.x - 1, p.y - 1, p.x + 2, p.y + 2};
            UnionRect(&lines, &lines, &pixel);
        }
        InvalidateRect(hwnd, &lines, FALSE);
    }
    if (ageChanged) {
        const RECT caption{0, 0, client.right, 2 * gdi.lineHeight() + gdi.scaled(4)};
        InvalidateRect(hwnd, &caption, FALSE);
    }
}

void RouteView::follow(double latitude, double longitude) {
    context.originLatitude = latitude;
    context.originLongitude = longitude - lonOffset;
}

void RouteView::draw(HDC dc, int w, int h) {
    const RECT area{0, 0, w, h};
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    context.hdc = dc;
    context.width = w;
    context.height = h;
    drawList(objects, context);
    drawTrack();
    if (data != nullptr) {
        drawAgeCaption(dc, gdi, *static_cast<const GpsState*>(data));
    }
}

void RouteView::drawTrack() {
    // A paint draws up to EXACT_LINES lines as recorded. Beyond, a receiver parked for days would cost a line
    // per point on every paint: the lines come from the cache, drawn once for the scale and size and kept up
    // with each new point, its pixels within one of the recorded ones as the centre follows the receiver.
    const bool cached = cache != nullptr && cache->covers(context);
    // With the cache at hand the lines are only counted: most often there are enough.
    if (!(cached && countLinesShowing(track, context, EXACT_LINES) == EXACT_LINES) &&
        drawPolylineIfFewLines(track, context, EXACT_LINES)) {
        cache.reset();
        return;
    }
    if (cached) {
        cache->catchUp(track);
    } else {
        cache.reset(); // before the next is made: one bitmap per view at most
        cache = TrackCache::draw(track, context);
    }
    if (cache == nullptr) {
        drawPolyline(track, context);
        return;
    }
    cache->paint(context);
    drawEndPixel(track, context);
}

bool RouteView::zoomTo(double scale) {
    if (!(scale >= MIN_SCALE && scale <= MAX_SCALE)) {
        return false;
    }
    context.scale = scale;
    return true;
}

double RouteView::panStep() const {
    // Half the view's width in hundredths of a degree: the picture moves by half a view, whatever the zoom.
    RECT client{};
    GetClientRect(hwnd, &client);
    return context.scale > 0 ? PAN_STEP * (client.right - client.left) / context.scale : 0;
}

LRESULT RouteView::onKeyDown(WPARAM key) {
    switch (key) {
    case VK_LEFT:
        lonOffset += panStep();
        break;
    case VK_RIGHT:
        lonOffset -= panStep();
        break;
    case VK_ADD:
        zoomTo(context.scale + KEY_ZOOM_STEP);
        break;
    case VK_SUBTRACT:
        // At 0 every point would fall on the centre, below it the picture would be mirrored.
        zoomTo(context.scale - KEY_ZOOM_STEP);
        break;
    default:
        return 0;
    }
    repaint();
    return 0;
}

LRESULT RouteView::onMouseWheel(WPARAM wParam) {
    const short delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (delta == 0) {
        return 0;
    }
    // Turned towards the user zooms in; one step per message whatever the delta.
    zoomTo(context.scale * (delta < 0 ? ZOOM_IN : ZOOM_OUT));
    repaint();
    return 0;
}

LRESULT RouteView::onVScroll(WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case SB_LINEUP:
        zoomTo(context.scale * ZOOM_IN);
        break;
    case SB_LINEDOWN:
        zoomTo(context.scale * ZOOM_OUT);
        break;
    default:
        return 0;
    }
    repaint();
    return 0;
}

void RouteView::repaint() {
    if (hwnd != nullptr) {
        InvalidateRect(hwnd, nullptr, FALSE); // every paint covers the whole view
    }
}

} // namespace veltaro
