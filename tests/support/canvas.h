#pragma once

#include <windows.h>

#include <cstdint>

namespace veltaro::test {

constexpr COLORREF BLACK = RGB(0, 0, 0);
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF RED = RGB(255, 0, 0);
constexpr COLORREF GREEN = RGB(0, 255, 0);
constexpr COLORREF BLUE = RGB(0, 0, 255);

// A 32-bit top-down DIB section in a memory context: views paint into it and tests read its pixels,
// with no window on screen.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC dc() const { return memory; }
    int width() const { return w; }
    int height() const { return h; }
    // The colour at (x, y) as a COLORREF (red in the low byte).
    COLORREF pixel(int x, int y) const;
    // How many pixels of the rectangle [left, right) x [top, bottom) have the colour.
    int count(COLORREF colour, int left, int top, int right, int bottom) const;
    int count(COLORREF colour) const { return count(colour, 0, 0, w, h); }
    bool sameAs(const Canvas& other) const;
    // Fills everything with one colour.
    void clear(COLORREF colour);

private:
    COLORREF raw(int x, int y) const;

    int w;
    int h;
    HDC memory;
    HBITMAP bitmap;
    HGDIOBJ previous;
    std::uint32_t* bits = nullptr;
};

// How many more GDI objects the process could make now: brushes are made until the system refuses,
// then deleted. Two counts around some code tell whether it keeps objects it made.
int freeGdiHandles();

} // namespace veltaro::test
