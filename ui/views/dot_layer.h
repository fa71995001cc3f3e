#pragma once

#include "gps/fix_scatter.h"
#include "ui/framework/drawing_resources.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace veltaro {

// Fixes as dots in a square bitmap, around the point they were drawn for: a paint copies it, and a new fix adds
// its dot, so a paint costs the same with a thousand fixes or a million.
class DotLayer {
public:
    // A white layer side pixels square; null when GDI has no bitmap to give.
    static std::unique_ptr<DotLayer> make(int side);
    ~DotLayer();
    DotLayer(const DotLayer&) = delete;
    DotLayer& operator=(const DotLayer&) = delete;

    void clear();
    // A dot of colour (0x00RRGGBB) at metres east and north of the anchor; off the bitmap it is left out.
    void dot(double east, double north, std::uint32_t colour);
    void paint(HDC target, int left, int top) const;

    const int side;
    double pixelsPerMetre = 1;
    double ring = 0;     // the outer ring it was drawn for, in metres
    EarthPoint anchor;   // the point it was drawn around
    double farthest = 0; // of the dots drawn, from the anchor, in metres

private:
    explicit DotLayer(int side);

    HDC dc;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t* bits = nullptr;
};

// The outer ring of a scatter plot for its farthest fix: the least of 1, 2 and 5 times a power of ten from 1 cm
// to 5 km that holds it.
double outerRing(double farthest);

// A scatter plot's frame in the square of side pixels at left, top: the axes through its centre, north marked,
// and rings at scale pixels a metre, the outer ring and the 1-2-5 steps below it down to a tenth, labelled.
void drawRings(HDC dc, const SharedGdi& gdi, int left, int top, int side, double ring, double scale);

// The reference at a plot's centre: a black cross.
void drawReferenceMark(HDC dc, const SharedGdi& gdi, int cx, int cy);
// A mean: a diagonal cross in its colour.
void drawMeanMark(HDC dc, const SharedGdi& gdi, int x, int y, COLORREF colour);

} // namespace veltaro
