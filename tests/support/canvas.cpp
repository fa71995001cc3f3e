#include "support/canvas.h"

#include <cstring>
#include <vector>

namespace veltaro::test {

Canvas::Canvas(int width, int height) : w(width), h(height), memory(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* data = nullptr;
    bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &data, nullptr, 0);
    bits = static_cast<std::uint32_t*>(data);
    previous = SelectObject(memory, bitmap);
}

Canvas::~Canvas() {
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

COLORREF Canvas::pixel(int x, int y) const {
    GdiFlush();
    return raw(x, y);
}

COLORREF Canvas::raw(int x, int y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) {
        return CLR_INVALID;
    }
    const std::uint32_t bgr = bits[y * w + x]; // stored as 0x00RRGGBB
    return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
}

int Canvas::count(COLORREF colour, int left, int top, int right, int bottom) const {
    GdiFlush();
    int n = 0;
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            n += raw(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

bool Canvas::sameAs(const Canvas& other) const {
    GdiFlush();
    return w == other.w && h == other.h &&
           std::memcmp(bits, other.bits, static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) == 0;
}

void Canvas::clear(COLORREF colour) {
    GdiFlush();
    const std::uint32_t bgr = (static_cast<std::uint32_t>(GetRValue(colour)) << 16) |
                              (static_cast<std::uint32_t>(GetGValue(colour)) << 8) | GetBValue(colour);
    for (int i = 0; i < w * h; ++i) {
        bits[i] = bgr;
    }
}

int freeGdiHandles() {
    std::vector<HBRUSH> made;
    while (HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3))) {
        made.push_back(brush);
    }
    for (HBRUSH brush : made) {
        DeleteObject(brush);
    }
    return static_cast<int>(made.size());
}

} // namespace veltaro::test
