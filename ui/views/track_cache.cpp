#include "ui/views/track_cache.h"

#include <cmath>
#include <new>

namespace veltaro {

TrackCache::TrackCache(const DrawContext& view)
    : dc(CreateCompatibleDC(nullptr)), width(view.width), height(view.height), marginX(view.width / 2),
      marginY(view.height / 2), anchored(view) {
    // Half the bitmap's size is the picture's half plus the margin, so its centre pixel is the picture's moved
    // by the margins, whatever the parity of the size.
    anchored.hdc = dc;
    anchored.width = width + 2 * marginX;
    anchored.height = height + 2 * marginY;
    // A bitmap for a memory context alone: one bit a pixel, an eighth of what a screen bitmap of the picture's
    // size takes, margins included.
    bitmap = CreateBitmap(anchored.width, anchored.height, 1, 1, nullptr);
    if (dc != nullptr && bitmap != nullptr) {
        previous = SelectObject(dc, bitmap);
    }
}

TrackCache::~TrackCache() {
    if (previous != nullptr) {
        SelectObject(dc, previous);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (dc != nullptr) {
        DeleteDC(dc);
    }
}

std::unique_ptr<TrackCache> TrackCache::draw(const Polyline& track, const DrawContext& view) {
    if (view.width <= 0 || view.height <= 0) {
        return nullptr;
    }
    std::unique_ptr<TrackCache> cache(new (std::nothrow) TrackCache(view));
    if (cache == nullptr || cache->previous == nullptr) {
        return nullptr;
    }
    // White is 1, and the context's initial pen, black, draws 0.
    PatBlt(cache->dc, 0, 0, cache->anchored.width, cache->anchored.height, WHITENESS);
    cache->catchUp(track);
    return cache;
}

bool TrackCache::covers(const DrawContext& view) const {
    POINT by;
    return view.width == width && view.height == height && view.scale == anchored.scale && shift(view, by);
}

void TrackCache::catchUp(const Polyline& track) {
    if (drawn < track.count) {
        const RECT lines = drawLinesFrom(track, anchored, drawn);
        UnionRect(&touched, &touched, &lines);
        drawn = track.count;
    }
}

bool TrackCache::shift(const DrawContext& view, POINT& by) const {
    // Truncated as the projection truncates: a point then lands within one pixel of where drawing it for
    // view's centre puts it, whichever side of either centre it lies.
    const double east = (view.originLongitude - anchored.originLongitude) * anchored.scale;
    const double north = (view.originLatitude - anchored.originLatitude) * anchored.scale;
    if (!(std::abs(east) < marginX + 1.0 && std::abs(north) < marginY + 1.0)) {
        return false; // NaN too
    }
    by = POINT{static_cast<LONG>(east), static_cast<LONG>(north)};
    return true;
}

void TrackCache::paint(const DrawContext& view) const {
    POINT by;
    if (!shift(view, by)) {
        return;
    }
    // Only where lines lie: the bitmap's pixel (x, y) is the picture's (x - dx, y - dy).
    const int dx = marginX + by.x;
    const int dy = marginY - by.y;
    const RECT picture{0, 0, width, height};
    const RECT lines{touched.left - dx, touched.top - dy, touched.right - dx, touched.bottom - dy};
    RECT copied;
    if (!IntersectRect(&copied, &lines, &picture)) {
        return;
    }
    // From one bit to colour, 0 takes the text colour and 1 the background colour: ANDed with the picture,
    // the lines come out black, the track's pen, and everything else stays as drawn.
    const COLORREF text = SetTextColor(view.hdc, RGB(0, 0, 0));
    const COLORREF background = SetBkColor(view.hdc, RGB(255, 255, 255));
    BitBlt(view.hdc, copied.left, copied.top, copied.right - copied.left, copied.bottom - copied.top, dc,
           copied.left + dx, copied.top + dy, SRCAND);
    SetBkColor(view.hdc, background);
    SetTextColor(view.hdc, text);
}

} // namespace veltaro
