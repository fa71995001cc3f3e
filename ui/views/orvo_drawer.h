#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace veltaro {

// Geographic shapes kept in memory and drawn into a device context around a centre position.
// Coordinates are in hundredths of a degree, north and east positive.

struct GeoPoint {
    double latitude;
    double longitude;
};

// The latitude and longitude range of a run of points. A NaN coordinate, drawn at the centre, widens its
// axis to infinity both ways, a range that always covers the centre.
struct GeoBounds {
    double minLatitude;
    double maxLatitude;
    double minLongitude;
    double maxLongitude;
};

// Boxes over the points form a tree of fanout 8: a box over each block of 32 points, over each 8 blocks, over
// each chunk of 64 blocks, and from there over each 8, 64, ... chunks, kept in the chunk such a run begins
// with. A paint passes over a run whose box lies off the picture, and looks inside only where a box can show.
constexpr std::int64_t BLOCK_POINTS = 32;
constexpr std::int64_t BOX_FANOUT = 8;
constexpr std::int64_t CHUNK_POINTS = BLOCK_POINTS * BOX_FANOUT * BOX_FANOUT;
constexpr int CHUNK_SPAN_LEVELS = 8; // boxes over 1, 8, ..., 8^7 chunks

// One contiguous piece of a polyline's points with the boxes over them.
struct PointChunk {
    GeoPoint points[CHUNK_POINTS];
    GeoBounds blockBounds[BOX_FANOUT * BOX_FANOUT]; // one block each
    GeoBounds groupBounds[BOX_FANOUT];              // 8 blocks each
    GeoBounds spanBounds[CHUNK_SPAN_LEVELS]; // [k]: the 8^k chunks from this one, if its index is a multiple of 8^k
};

// Points in the order they were added, in chunks that never move once allocated: adding stays constant
// time however long the track, and a point costs its 16 bytes plus its share of the boxes.
struct Polyline {
    Polyline() = default;
    ~Polyline();
    Polyline(const Polyline&) = delete;
    Polyline& operator=(const Polyline&) = delete;

    std::int64_t count = 0;
    std::int64_t capacity = 0;     // points the allocated chunks hold
    PointChunk** chunks = nullptr; // owned, as are the chunks; null while nothing is stored
    std::int64_t chunkSlots = 0;   // entries of the chunks array
    COLORREF endColor = 0;         // of the pixel set on the last point

    const GeoPoint& point(std::int64_t index) const {
        return chunks[index / CHUNK_POINTS]->points[index % CHUNK_POINTS];
    }
};

constexpr std::int32_t DRAW_POLYLINE = 0;
constexpr std::int32_t DRAW_INERT = 1;
constexpr std::int32_t DRAW_GROUP = 2;

// The content of a DRAW_INERT object: nothing to draw.
struct InertObject {};

// One shape of a list: object is a Polyline, an InertObject or a nested DrawList by type, owned.
struct DrawObject {
    std::int32_t type;
    void* object;
};

// Shapes in drawing order, owned.
struct DrawList {
    DrawList() = default;
    ~DrawList();
    DrawList(const DrawList&) = delete;
    DrawList& operator=(const DrawList&) = delete;

    std::vector<DrawObject*> objects;
};

// Where and how to draw: the origin lies at the centre of width x height, scale is pixels per hundredth of
// a degree on both axes.
struct DrawContext {
    HDC hdc = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    double originLatitude = 0;
    double originLongitude = 0;
    double scale = 0;
};

// The pixel a point is drawn at. Offsets from the centre are clamped to what GDI can draw, and a NaN
// offset counts as none, so any coordinate gives a defined pixel.
POINT project(const GeoPoint& point, const DrawContext& context);

// Appends a point; false, with nothing stored, when the memory for it cannot be had.
bool addPoint(Polyline& polyline, double latitude, double longitude);
// Draws the points as one connected line with the selected pen and sets the last pixel in endColor.
void drawPolyline(const Polyline& polyline, const DrawContext& context);
// drawPolyline when fewer than limit of its lines can show in the clip area (a line to the pixel it starts on
// or wholly off one side cannot); otherwise draws nothing. Says whether it drew.
bool drawPolylineIfFewLines(const Polyline& polyline, const DrawContext& context, std::int64_t limit);
// How many of the lines can show, counted up to limit; draws nothing.
std::int64_t countLinesShowing(const Polyline& polyline, const DrawContext& context, std::int64_t limit);
// The lines of drawPolyline into the points from first on, the first of them from the point before, and the
// area their pixels lie in (empty when none can show).
RECT drawLinesFrom(const Polyline& polyline, const DrawContext& context, std::int64_t first);
// The last point's pixel in endColor, as drawPolyline ends.
void drawEndPixel(const Polyline& polyline, const DrawContext& context);
// Draws every object of the list in order; an unknown type is reported to the debugger and skipped.
void drawList(const DrawList& list, const DrawContext& context);
// Frees every point; the polyline stays usable and empty.
void clearPolyline(Polyline& polyline);
// Destroys every object and its content; the content of an unknown type is left alone.
void clearList(DrawList& list);

} // namespace veltaro
