#pragma once

#include "ui/views/orvo_drawer.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace veltaro {

// A long track's lines drawn once into a one-bit bitmap around the centre the picture had then, for paints
// to copy instead of drawing every line again. The bitmap reaches half a picture beyond each edge, so the
// picture can follow the latest position that far before the lines have to be drawn anew.
class TrackCache {
public:
    // The track's lines for pictures of view's size and scale around its centre; null when GDI has no bitmap.
    static std::unique_ptr<TrackCache> draw(const Polyline& track, const DrawContext& view);
    ~TrackCache();
    TrackCache(const TrackCache&) = delete;
    TrackCache& operator=(const TrackCache&) = delete;

    // Whether view's picture lies inside the bitmap, at the same size and scale.
    bool covers(const DrawContext& view) const;
    // Draws the lines into the points added to the track since it last drew.
    void catchUp(const Polyline& track);
    // Sets the lines' pixels black in view's picture, moved by whole pixels towards its centre.
    void paint(const DrawContext& view) const;

private:
    explicit TrackCache(const DrawContext& view);
    // The whole pixels view's centre lies east and north of the bitmap's; false beyond the margins.
    bool shift(const DrawContext& view, POINT& by) const;

    HDC dc;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr; // of dc, selected back before dc goes
    int width;                  // of the pictures it serves
    int height;
    int marginX; // the bitmap's reach beyond each edge of a picture
    int marginY;
    DrawContext anchored;   // the bitmap's own picture: the margins around the picture it was drawn for
    std::int64_t drawn = 0; // points whose lines are in the bitmap
    RECT touched{};         // where in the bitmap they lie: a parked receiver's are a small patch
};

} // namespace veltaro
