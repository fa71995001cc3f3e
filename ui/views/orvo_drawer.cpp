#include "ui/views/orvo_drawer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace veltaro {

namespace {

// 2^26 pixels from the centre: far beyond any view, well inside the coordinates GDI draws lines between.
constexpr double PIXEL_LIMIT = 67108864.0;
constexpr double INF = std::numeric_limits<double>::infinity();

int pixelOffset(double offset) {
    if (std::isnan(offset)) {
        return 0;
    }
    return static_cast<int>(std::clamp(offset, -PIXEL_LIMIT, PIXEL_LIMIT)); // truncates toward zero
}

GeoBounds boundsOf(double latitude, double longitude) {
    // A NaN coordinate is drawn at the centre whatever the origin; a range open both ways always covers it.
    GeoBounds bounds{latitude, latitude, longitude, longitude};
    if (std::isnan(latitude)) {
        bounds.minLatitude = -INF;
        bounds.maxLatitude = INF;
    }
    if (std::isnan(longitude)) {
        bounds.minLongitude = -INF;
        bounds.maxLongitude = INF;
    }
    return bounds;
}

void widen(GeoBounds& bounds, const GeoBounds& by) {
    bounds.minLatitude = std::min(bounds.minLatitude, by.minLatitude);
    bounds.maxLatitude = std::max(bounds.maxLatitude, by.maxLatitude);
    bounds.minLongitude = std::min(bounds.minLongitude, by.minLongitude);
    bounds.maxLongitude = std::max(bounds.maxLongitude, by.maxLongitude);
}

// Whether lines may be left out where they would not show: only for a solid pen one pixel wide in device
// units, whose pixels lie between a line's end points and do not depend on the lines drawn before (a dashed
// pattern runs on from line to line). clip receives the area that can show.
bool linesCanBeCulled(HDC dc, RECT& clip) {
    LOGPEN pen;
    if (GetObjectA(GetCurrentObject(dc, OBJ_PEN), sizeof pen, &pen) != sizeof pen) {
        return false;
    }
    if (pen.lopnStyle != PS_SOLID || pen.lopnWidth.x > 1) {
        return false;
    }
    if (GetMapMode(dc) != MM_TEXT || GetGraphicsMode(dc) != GM_COMPATIBLE) {
        return false;
    }
    return GetClipBox(dc, &clip) != ERROR;
}

// Draws a polyline point by point the way MoveToEx and LineTo through every point would, leaving out the
// lines that cannot add a pixel: a line to the pixel it starts on, and a line whose two ends lie off the
// clip area on the same side. Whole runs of points off the area on one side are passed over the same way.
class TrackWalk {
public:
    TrackWalk(const DrawContext& context, const RECT& clip, POINT first)
        : context(context), clip(clip), last(first),
          // Projection keeps the order of coordinates only with a finite origin and scale; without it a
          // bounding box says nothing about where its points land.
          boxesHold(std::isfinite(context.originLatitude) && std::isfinite(context.originLongitude) &&
                    std::isfinite(context.scale)) {}

    void lineTo(POINT to) {
        if (to.x == last.x && to.y == last.y) {
            return;
        }
        if (offOnOneSide(std::min(last.x, to.x), std::max(last.x, to.x), std::min(last.y, to.y),
                         std::max(last.y, to.y))) {
            last = to;
            atLast = false;
            return;
        }
        if (!atLast) {
            MoveToEx(context.hdc, last.x, last.y, nullptr);
        }
        LineTo(context.hdc, to.x, to.y);
        last = to;
        atLast = true;
    }

    // Walks the run of points [first, first + n) of one chunk: the line into the run as any other, the lines
    // inside it only when the run's box can show.
    void run(const GeoPoint* points, std::int64_t n, const GeoBounds& bounds, bool blocksInside,
             const GeoBounds* blockBounds) {
        lineTo(project(points[0], context));
        if (boxesHold && boxOff(bounds)) {
            last = project(points[n - 1], context);
            atLast = false;
            return;
        }
        if (blocksInside) {
            for (std::int64_t start = 0; start < n; start += BLOCK_POINTS) {
                run(points + start, std::min(BLOCK_POINTS, n - start), blockBounds[start / BLOCK_POINTS], false,
                    nullptr);
            }
            return;
        }
        for (std::int64_t i = 1; i < n; ++i) {
            lineTo(project(points[i], context));
        }
    }

    // Leaves the current position where drawing every line would have left it.
    POINT finish() {
        if (!atLast) {
            MoveToEx(context.hdc, last.x, last.y, nullptr);
        }
        return last;
    }

private:
    bool offOnOneSide(LONG left, LONG right, LONG top, LONG bottom) const {
        return right < clip.left || left >= clip.right || bottom < clip.top || top >= clip.bottom;
    }

    bool boxOff(const GeoBounds& bounds) const {
        const POINT a = project(GeoPoint{bounds.minLatitude, bounds.minLongitude}, context);
        const POINT b = project(GeoPoint{bounds.maxLatitude, bounds.maxLongitude}, context);
        return offOnOneSide(std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y));
    }

    const DrawContext& context;
    RECT clip;
    POINT last;
    bool atLast = false;
    bool boxesHold;
};

void drawEveryPoint(const Polyline& polyline, const DrawContext& context) {
    const POINT first = project(polyline.point(0), context);
    MoveToEx(context.hdc, first.x, first.y, nullptr);
    for (std::int64_t i = 1; i < polyline.count; ++i) {
        const POINT p = project(polyline.point(i), context);
        LineTo(context.hdc, p.x, p.y);
    }
}

} // namespace

Polyline::~Polyline() {
    clearPolyline(*this);
}

DrawList::~DrawList() {
    clearList(*this);
}

POINT project(const GeoPoint& point, const DrawContext& context) {
    // Both halves are at most 2^30 and the offsets 2^26, so neither sum leaves the int range.
    return POINT{context.width / 2 + pixelOffset((point.longitude - context.originLongitude) * context.scale),
                 context.height / 2 - pixelOffset((point.latitude - context.originLatitude) * context.scale)};
}

bool addPoint(Polyline& polyline, double latitude, double longitude) {
    const std::int64_t index = polyline.count;
    const std::int64_t chunk = index / CHUNK_POINTS;
    if (index == polyline.capacity) {
        if (chunk == polyline.chunkSlots) {
            // The directory doubles; it holds one pointer per chunk, so copying it stays rare and small.
            const std::int64_t slots = polyline.chunkSlots == 0 ? 16 : polyline.chunkSlots * 2;
            PointChunk** grown = new (std::nothrow) PointChunk*[static_cast<std::size_t>(slots)];
            if (grown == nullptr) {
                return false;
            }
            std::copy_n(polyline.chunks, polyline.chunkSlots, grown);
            delete[] polyline.chunks;
            polyline.chunks = grown;
            polyline.chunkSlots = slots;
        }
        PointChunk* fresh = new (std::nothrow) PointChunk; // left uninitialised: only stored points are read
        if (fresh == nullptr) {
            return false;
        }
        polyline.chunks[chunk] = fresh;
        polyline.capacity += CHUNK_POINTS;
    }
    PointChunk& into = *polyline.chunks[chunk];
    const std::int64_t offset = index % CHUNK_POINTS;
    const std::int64_t block = offset / BLOCK_POINTS;
    const GeoBounds bounds = boundsOf(latitude, longitude);
    into.points[offset] = GeoPoint{latitude, longitude};
    if (offset % BLOCK_POINTS == 0) {
        into.blockBounds[block] = bounds;
    } else {
        widen(into.blockBounds[block], bounds);
    }
    if (offset == 0) {
        into.bounds = bounds;
    } else {
        widen(into.bounds, bounds);
    }
    polyline.count = index + 1;
    return true;
}

void drawPolyline(const Polyline& polyline, const DrawContext& context) {
    if (polyline.count <= 0) {
        return;
    }
    POINT end;
    RECT clip;
    if (linesCanBeCulled(context.hdc, clip)) {
        TrackWalk walk(context, clip, project(polyline.point(0), context));
        for (std::int64_t chunk = 0; chunk * CHUNK_POINTS < polyline.count; ++chunk) {
            const PointChunk& points = *polyline.chunks[chunk];
            walk.run(points.points, std::min(CHUNK_POINTS, polyline.count - chunk * CHUNK_POINTS), points.bounds, true,
                     points.blockBounds);
        }
        end = walk.finish();
    } else {
        drawEveryPoint(polyline, context);
        end = project(polyline.point(polyline.count - 1), context);
    }
    // LineTo leaves out the end pixel of each line; a polyline of one point shows as this pixel alone.
    SetPixel(context.hdc, end.x, end.y, polyline.endColor);
}

void drawList(const DrawList& list, const DrawContext& context) {
    for (const DrawObject* object : list.objects) {
        if (object == nullptr) {
            continue;
        }
        switch (object->type) {
        case DRAW_POLYLINE:
            drawPolyline(*static_cast<const Polyline*>(object->object), context);
            break;
        case DRAW_INERT:
            break;
        case DRAW_GROUP:
            drawList(*static_cast<const DrawList*>(object->object), context);
            break;
        default:
            OutputDebugStringA("OrvoDrawer: unknown object type, cannot draw!\n");
            break;
        }
    }
}

void clearPolyline(Polyline& polyline) {
    for (std::int64_t chunk = 0; chunk * CHUNK_POINTS < polyline.capacity; ++chunk) {
        delete polyline.chunks[chunk];
    }
    delete[] polyline.chunks;
    polyline.chunks = nullptr;
    polyline.chunkSlots = 0;
    polyline.count = 0;
    polyline.capacity = 0;
}

void clearList(DrawList& list) {
    for (DrawObject* object : list.objects) {
        if (object == nullptr) {
            continue;
        }
        switch (object->type) {
        case DRAW_POLYLINE:
            delete static_cast<Polyline*>(object->object); // its destructor clears it
            break;
        case DRAW_INERT:
            delete static_cast<InertObject*>(object->object);
            break;
        case DRAW_GROUP:
            delete static_cast<DrawList*>(object->object);
            break;
        default:
            break; // nothing is known about it, so it is not touched
        }
        delete object;
    }
    std::vector<DrawObject*>().swap(list.objects);
}

} // namespace veltaro
