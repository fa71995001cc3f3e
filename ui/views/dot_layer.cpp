#include "ui/views/dot_layer.h"

#include "ui/framework/gdi_owners.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <string>

namespace veltaro {

namespace {

constexpr int DOT = 2; // a fix's square, in pixels
constexpr std::uint32_t WHITE_PIXEL = 0xFFFFFF;

// A ring's label: "50 cm", "2 m", "5 km".
std::string ringLabel(double radius) {
    char text[32];
    if (radius < 1) {
        std::snprintf(text, sizeof text, "%.0f cm", radius * 100);
    } else if (radius >= 1000) {
        std::snprintf(text, sizeof text, "%.0f km", radius / 1000);
    } else {
        std::snprintf(text, sizeof text, "%.0f m", radius);
    }
    return text;
}

} // namespace

std::unique_ptr<DotLayer> DotLayer::make(int side) {
    std::unique_ptr<DotLayer> layer(new (std::nothrow) DotLayer(side));
    return layer && layer->bitmap != nullptr ? std::move(layer) : nullptr;
}

DotLayer::DotLayer(int side) : side(side), dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = side;
    info.bmiHeader.biHeight = -side; // top-down: row 0 is the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    // The pixels are written directly: a million dots through GDI calls would take seconds.
    bitmap = dc != nullptr ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0) : nullptr;
    if (bitmap != nullptr) {
        bits = static_cast<std::uint32_t*>(memory);
        previous = SelectObject(dc, bitmap);
        clear();
    }
}

DotLayer::~DotLayer() {
    if (bitmap != nullptr) {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
    }
    if (dc != nullptr) {
        DeleteDC(dc);
    }
}

void DotLayer::clear() {
    std::fill(bits, bits + static_cast<std::size_t>(side) * static_cast<std::size_t>(side), WHITE_PIXEL);
    farthest = 0;
}

void DotLayer::dot(double east, double north, std::uint32_t colour) {
    const double half = side / 2.0;
    const long long x = std::llround(half + east * pixelsPerMetre);
    const long long y = std::llround(half - north * pixelsPerMetre);
    for (long long dy = 0; dy < DOT; ++dy) {
        for (long long dx = 0; dx < DOT; ++dx) {
            if (x + dx >= 0 && x + dx < side && y + dy >= 0 && y + dy < side) {
                bits[(y + dy) * side + x + dx] = colour;
            }
        }
    }
}

void DotLayer::paint(HDC target, int left, int top) const {
    BitBlt(target, left, top, side, side, dc, 0, 0, SRCCOPY);
}

double outerRing(double farthest) {
    for (double decade = 0.01; decade < 10000; decade *= 10) {
        for (double step : {1.0, 2.0, 5.0}) {
            if (farthest <= decade * step * (1 + 1e-12)) {
                return decade * step;
            }
        }
    }
    return 5000; // fixes farther away lie beyond the plot's edge
}

void drawRings(HDC dc, const SharedGdi& gdi, int left, int top, int side, double ring, double scale) {
    const int cx = left + side / 2;
    const int cy = top + side / 2;
    SelectedObject noFill(dc, GetStockObject(NULL_BRUSH));
    SelectedObject font(dc, gdi.guiFont);
    SelectedObject pen(dc, gdi.lightGrayPen);
    SetBkMode(dc, TRANSPARENT);
    MoveToEx(dc, left, cy, nullptr);
    LineTo(dc, left + side, cy);
    MoveToEx(dc, cx, top, nullptr);
    LineTo(dc, cx, top + side);
    SetTextColor(dc, RGB(96, 96, 96));
    SetTextAlign(dc, TA_LEFT | TA_BOTTOM);
    for (double decade = 0.01; decade < 10000; decade *= 10) {
        for (double step : {1.0, 2.0, 5.0}) {
            const double radius = decade * step;
            if (radius > ring * (1 + 1e-9) || radius < ring / 10 * (1 - 1e-9)) {
                continue;
            }
            const int r = static_cast<int>(std::lround(radius * scale));
            Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
            const std::string label = ringLabel(radius);
            // At the ring's north-east point, clear of the axes and the north mark.
            const int d = static_cast<int>(std::lround(r * 0.7071));
            TextOutA(dc, cx + d + gdi.scaled(2), cy - d, label.c_str(), static_cast<int>(label.size()));
        }
    }
    SetTextColor(dc, RGB(0, 0, 0));
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    TextOutA(dc, cx, top + gdi.scaled(2), "N", 1);
}

void drawReferenceMark(HDC dc, const SharedGdi& gdi, int cx, int cy) {
    SelectedObject pen(dc, gdi.blackPen);
    const int arm = gdi.scaled(7);
    MoveToEx(dc, cx - arm, cy, nullptr);
    LineTo(dc, cx + arm + 1, cy);
    MoveToEx(dc, cx, cy - arm, nullptr);
    LineTo(dc, cx, cy + arm + 1);
}

void drawMeanMark(HDC dc, const SharedGdi& gdi, int x, int y, COLORREF colour) {
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, gdi.scaled(2), colour));
    SelectedObject selected(dc, pen.get());
    const int arm = gdi.scaled(5);
    MoveToEx(dc, x - arm, y - arm, nullptr);
    LineTo(dc, x + arm + 1, y + arm + 1);
    MoveToEx(dc, x - arm, y + arm, nullptr);
    LineTo(dc, x + arm + 1, y - arm - 1);
}

} // namespace veltaro
