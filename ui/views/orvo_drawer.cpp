#include "ui/views/orvo_drawer.h"

#include "ui/views/pixel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace veltaro {

namespace {

constexpr double INF = std::numeric_limits<double>::infinity();

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

void include(GeoBounds& bounds, const GeoBounds& by, bool first) {
    if (first) {
        bounds = by;
    } else {
        widen(bounds, by);
    }
}

// Levels of the box tree: 0 over a block, 1 over 8 blocks, 2 over a chunk, 2 + k over 8^k chunks.
constexpr int TOP_LEVEL = 1 + CHUNK_SPAN_LEVELS;
static_assert(BOX_FANOUT == 8, "a level up is three bits more");

std::int64_t levelPoints(int level) {
    return BLOCK_POINTS << (3 * level);
}

const GeoBounds& boundsAt(const Polyline& polyline, int level, std::int64_t first) {
    const PointChunk& chunk = *polyline.chunks[first / CHUNK_POINTS];
    const std::int64_t offset = first % CHUNK_POINTS;
    switch (level) {
    case 0:
        return chunk.blockBounds[offset / BLOCK_POINTS];
    case 1:
        return chunk.groupBounds[offset / (BLOCK_POINTS * BOX_FANOUT)];
    default:
        return chunk.spanBounds[level - 2];
    }
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

// The smallest coordinate for which holds is true, for a predicate that turns true once as the coordinate
// grows and stays true; NaN when it never holds. Bisection over the doubles in their order, 64 steps at most.
template <typename Predicate>
double firstHolding(Predicate holds) {
    // Ordered keys: a double's bits, negated for negative values, sort as the values do.
    const auto key = [](double value) {
        const auto bits = std::bit_cast<std::int64_t>(value);
        return bits < 0 ? -(bits & std::numeric_limits<std::int64_t>::max()) : bits;
    };
    const auto value = [](std::int64_t key) {
        return std::bit_cast<double>(key < 0 ? (-key) | std::numeric_limits<std::int64_t>::min() : key);
    };
    if (!holds(INF)) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    if (holds(-INF)) {
        return -INF;
    }
    std::int64_t failing = key(-INF);
    std::int64_t holding = key(INF);
    // The span of keys exceeds the signed range: it is measured unsigned.
    const auto span = [&] { return static_cast<std::uint64_t>(holding) - static_cast<std::uint64_t>(failing); };
    while (span() > 1) {
        const auto middle = static_cast<std::int64_t>(static_cast<std::uint64_t>(failing) + span() / 2);
        (holds(value(middle)) ? holding : failing) = middle;
    }
    return value(holding);
}

constexpr double NONE = std::numeric_limits<double>::quiet_NaN();

// Coordinates of one axis that land off the clip area: every coordinate below `below` before the area's first
// pixel row or column, every one from `atOrAbove` on past its last (the other way round on a mirrored axis).
// Comparisons with NONE fail: nothing is found off that way.
struct OffLimits {
    double below = NONE;
    double atOrAbove = NONE;

    // Off on one side for every coordinate of [min, max].
    bool holdsAll(double min, double max) const { return max < below || min >= atOrAbove; }
    // The side a coordinate lies off as a bit, 0 if none is known.
    unsigned side(double v) const { return (v < below ? 1u : 0u) | (v >= atOrAbove ? 2u : 0u); }
};

// pixel is the projection along the axis, increasing with the coordinate or else never increasing;
// [first, end) the clip area's pixels along it.
template <typename Pixel>
OffLimits offLimits(Pixel pixel, bool increasing, LONG first, LONG end) {
    if (increasing) {
        return OffLimits{firstHolding([&](double v) { return pixel(v) >= first; }),
                         firstHolding([&](double v) { return pixel(v) >= end; })};
    }
    return OffLimits{firstHolding([&](double v) { return pixel(v) < end; }),
                     firstHolding([&](double v) { return pixel(v) < first; })};
}

constexpr std::int64_t NO_LIMIT = std::numeric_limits<std::int64_t>::max();

// What a walk over lines found: how many can show, up to its limit, and the area the drawn ones touch.
struct LineWalk {
    std::int64_t shown;
    RECT touched;
};

// Draws the lines of a polyline into its points from first on (the first of them from the point before) the
// way MoveToEx and LineTo through every point would, leaving out the lines that cannot add a pixel: a line to
// the pixel it starts on, and a line whose two ends lie off the clip area on the same side. Whole runs of
// points off the area on one side, or on one pixel, are passed over the same way, found by their boxes.
// The walk stops once limit lines can show; with a limit, or only counting, it draws nothing before it ends.
class TrackWalk {
public:
    TrackWalk(const Polyline& polyline, const DrawContext& context, const RECT& clip, std::int64_t first,
              std::int64_t limit, bool drawing)
        : polyline(polyline), context(context), clip(clip), first(first), limit(limit), drawing(drawing),
          lastPoint(&polyline.point(first > 0 ? first - 1 : 0)) {
        // Projection keeps the order of coordinates only with a finite origin and scale; without it the
        // coordinates say nothing about where a point lands, and every point is projected.
        const bool ordered = std::isfinite(context.originLatitude) && std::isfinite(context.originLongitude) &&
                             std::isfinite(context.scale);
        if (ordered) {
            const auto x = [&](double longitude) { return project(GeoPoint{0, longitude}, context).x; };
            const auto y = [&](double latitude) { return project(GeoPoint{latitude, 0}, context).y; };
            longitudeOff = offLimits(x, context.scale >= 0, clip.left, clip.right);
            latitudeOff = offLimits(y, context.scale <= 0, clip.top, clip.bottom);
            twoPixels = 2 / std::abs(context.scale);
        }
        lastSides = sidesOf(*lastPoint);
        if (drawing) {
            path.reserve(PATH_POINTS);
            runLengths.reserve(PATH_POINTS / 4);
        }
    }

    // Walks the points of the box at level from start on: the line into them as any other, the lines among
    // them only where the box can show.
    void node(int level, std::int64_t start) {
        const std::int64_t end = std::min(start + levelPoints(level), polyline.count);
        if (end <= first || full()) {
            return;
        }
        if (start >= first) {
            const GeoBounds& bounds = boundsAt(polyline, level, start);
            if (longitudeOff.holdsAll(bounds.minLongitude, bounds.maxLongitude) ||
                latitudeOff.holdsAll(bounds.minLatitude, bounds.maxLatitude)) {
                lineTo(polyline.point(start));
                passTo(polyline.point(end - 1));
                return;
            }
            if (onOnePixel(bounds)) {
                // Every line among the points starts on the pixel it goes to.
                lineTo(polyline.point(start));
                lastPoint = &polyline.point(end - 1);
                return;
            }
        }
        if (level == 0) {
            const std::int64_t from = std::max(start, first);
            const GeoPoint* points = &polyline.point(from); // a block never straddles two chunks
            for (std::int64_t i = 0; i < end - from && !full(); ++i) {
                lineTo(points[i]);
            }
            return;
        }
        const std::int64_t step = levelPoints(level - 1);
        for (std::int64_t child = start; child < end; child += step) {
            node(level - 1, child);
        }
    }

    // Draws what is gathered, unless limit lines can show: then nothing is drawn.
    LineWalk finish() {
        if (!full()) {
            flush();
        }
        RECT area;
        IntersectRect(&area, &touched, &clip); // empty when nothing was gathered
        return LineWalk{shown, area};
    }

private:
    bool full() const { return shown >= limit; }

    void lineTo(const GeoPoint& point) {
        const unsigned sides = sidesOf(point);
        if ((sides & lastSides) != 0) {
            passTo(point, sides);
            return;
        }
        const POINT from = lastPixel();
        const POINT to = project(point, context);
        lastPoint = &point;
        lastSides = sides;
        last = to;
        if (to.x == from.x && to.y == from.y) {
            return;
        }
        if (offOnOneSide(from, to)) {
            joined = false;
            return;
        }
        ++shown;
        if (!drawing) {
            return;
        }
        touched =
            RECT{std::min({touched.left, from.x, to.x}), std::min({touched.top, from.y, to.y}),
                 std::max({touched.right, from.x + 1, to.x + 1}), std::max({touched.bottom, from.y + 1, to.y + 1})};
        if (limit == NO_LIMIT && path.size() + 2 > PATH_POINTS) {
            flush();
        }
        if (!joined) {
            // A new run of joined lines starts from the previous point.
            path.push_back(from);
            runLengths.push_back(1);
        }
        path.push_back(to);
        ++runLengths.back();
        joined = true;
    }

    // Moves on to a point with no line that could show.
    void passTo(const GeoPoint& point) { passTo(point, sidesOf(point)); }
    void passTo(const GeoPoint& point, unsigned sides) {
        lastPoint = &point;
        lastSides = sides;
        last.reset();
        joined = false;
    }

    // The sides of the clip area a point lies off, as far as its coordinates tell.
    unsigned sidesOf(const GeoPoint& point) const {
        return longitudeOff.side(point.longitude) | latitudeOff.side(point.latitude) << 2;
    }

    // Projection never decreases along an axis (or never increases, mirrored), so a box whose corners land on
    // one pixel holds its points on that pixel.
    bool onOnePixel(const GeoBounds& bounds) const {
        // Two pixels' width or more never truncates to one: most boxes a paint looks into are told apart here.
        if (!(bounds.maxLongitude - bounds.minLongitude < twoPixels &&
              bounds.maxLatitude - bounds.minLatitude < twoPixels)) {
            return false;
        }
        const POINT low = project(GeoPoint{bounds.minLatitude, bounds.minLongitude}, context);
        const POINT high = project(GeoPoint{bounds.maxLatitude, bounds.maxLongitude}, context);
        return low.x == high.x && low.y == high.y;
    }

    // A pixel test as well: without the limits the coordinates tell nothing.
    bool offOnOneSide(POINT a, POINT b) const {
        return std::max(a.x, b.x) < clip.left || std::min(a.x, b.x) >= clip.right || std::max(a.y, b.y) < clip.top ||
               std::min(a.y, b.y) >= clip.bottom;
    }

    // Points passed over are projected only when a line starts from them.
    POINT lastPixel() {
        if (!last) {
            last = project(*lastPoint, context);
        }
        return *last;
    }

    // The runs of joined lines go to GDI in one call: the same pixels as a LineTo for each line, at a
    // fraction of the calls.
    void flush() {
        if (!runLengths.empty()) {
            PolyPolyline(context.hdc, path.data(), runLengths.data(), static_cast<DWORD>(runLengths.size()));
        }
        path.clear();
        runLengths.clear();
        joined = false;
    }

    static constexpr std::size_t PATH_POINTS = 1024; // a batch for GDI when nothing waits for the count

    const Polyline& polyline;
    const DrawContext& context;
    RECT clip;
    std::int64_t first;
    std::int64_t limit;
    bool drawing;
    std::int64_t shown = 0; // lines that can show
    // The pixels the gathered lines may set, starting empty.
    RECT touched{std::numeric_limits<LONG>::max(), std::numeric_limits<LONG>::max(), std::numeric_limits<LONG>::min(),
                 std::numeric_limits<LONG>::min()};
    double twoPixels = 0; // in coordinates; 0 where projection keeps no order, so no box counts as one pixel
    OffLimits longitudeOff;
    OffLimits latitudeOff;
    const GeoPoint* lastPoint;
    unsigned lastSides;
    std::optional<POINT> last; // lastPoint's pixel, once projected
    bool joined = false;       // the run being gathered ends at lastPoint
    std::vector<POINT> path;
    std::vector<DWORD> runLengths;
};

// Without culling every line can show.
LineWalk walkEveryLine(const Polyline& polyline, const DrawContext& context, std::int64_t first, std::int64_t limit,
                       bool drawing) {
    const std::int64_t from = std::max<std::int64_t>(first, 1);
    LineWalk walk{std::clamp<std::int64_t>(polyline.count - from, 0, limit), RECT{}};
    if (!drawing || walk.shown >= limit) {
        return walk;
    }
    POINT p = project(polyline.point(from - 1), context);
    MoveToEx(context.hdc, p.x, p.y, nullptr);
    walk.touched = RECT{p.x, p.y, p.x + 1, p.y + 1};
    for (std::int64_t i = from; i < polyline.count; ++i) {
        p = project(polyline.point(i), context);
        LineTo(context.hdc, p.x, p.y);
        const RECT at{p.x, p.y, p.x + 1, p.y + 1};
        UnionRect(&walk.touched, &walk.touched, &at);
    }
    return walk;
}

// Walks the lines into the points from first on, drawing them without the end pixel unless only counting, or
// unless limit or more can show.
LineWalk walkLines(const Polyline& polyline, const DrawContext& context, std::int64_t first, std::int64_t limit,
                   bool drawing) {
    if (polyline.count <= 0) {
        return LineWalk{0, RECT{}};
    }
    RECT clip;
    if (!linesCanBeCulled(context.hdc, clip)) {
        return walkEveryLine(polyline, context, first, limit, drawing);
    }
    TrackWalk walk(polyline, context, clip, first, limit, drawing);
    int top = 0;
    while (top < TOP_LEVEL && levelPoints(top) < polyline.count) {
        ++top;
    }
    for (std::int64_t start = 0; start < polyline.count; start += levelPoints(top)) {
        walk.node(top, start);
    }
    return walk.finish();
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
    return POINT{context.width / 2 + toPixel((point.longitude - context.originLongitude) * context.scale),
                 context.height / 2 - toPixel((point.latitude - context.originLatitude) * context.scale)};
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
    const GeoBounds bounds = boundsOf(latitude, longitude);
    into.points[offset] = GeoPoint{latitude, longitude};
    include(into.blockBounds[offset / BLOCK_POINTS], bounds, offset % BLOCK_POINTS == 0);
    include(into.groupBounds[offset / (BLOCK_POINTS * BOX_FANOUT)], bounds, offset % (BLOCK_POINTS * BOX_FANOUT) == 0);
    for (int level = 0; level < CHUNK_SPAN_LEVELS; ++level) {
        const std::int64_t span = std::int64_t{1} << (3 * level); // chunks
        const std::int64_t head = chunk - chunk % span;
        include(polyline.chunks[head]->spanBounds[level], bounds, index == head * CHUNK_POINTS);
    }
    polyline.count = index + 1;
    return true;
}

void drawPolyline(const Polyline& polyline, const DrawContext& context) {
    walkLines(polyline, context, 0, NO_LIMIT, true);
    drawEndPixel(polyline, context);
}

bool drawPolylineIfFewLines(const Polyline& polyline, const DrawContext& context, std::int64_t limit) {
    if (walkLines(polyline, context, 0, limit, true).shown >= limit) {
        return false;
    }
    drawEndPixel(polyline, context);
    return true;
}

std::int64_t countLinesShowing(const Polyline& polyline, const DrawContext& context, std::int64_t limit) {
    return walkLines(polyline, context, 0, limit, false).shown;
}

RECT drawLinesFrom(const Polyline& polyline, const DrawContext& context, std::int64_t first) {
    return walkLines(polyline, context, first, NO_LIMIT, true).touched;
}

void drawEndPixel(const Polyline& polyline, const DrawContext& context) {
    if (polyline.count <= 0) {
        return;
    }
    // LineTo leaves out the end pixel of each line; a polyline of one point shows as this pixel alone. The
    // current position ends where drawing every line would have left it.
    const POINT end = project(polyline.point(polyline.count - 1), context);
    MoveToEx(context.hdc, end.x, end.y, nullptr);
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
