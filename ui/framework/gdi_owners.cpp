#include "ui/framework/gdi_owners.h"

namespace veltaro {

DoubleBuffer::DoubleBuffer(HDC target, int width, int height)
    : target(target), width(width), height(height), memory(CreateCompatibleDC(target)), bitmap(nullptr) {
    // Compatible with the screen, not with the target: a memory target would give a one-bit bitmap.
    const WindowDC screen(nullptr);
    bitmap = CreateCompatibleBitmap(screen.get(), width > 0 ? width : 1, height > 0 ? height : 1);
    if (memory != nullptr && bitmap != nullptr) {
        previous = SelectObject(memory, bitmap);
    }
}

DoubleBuffer::~DoubleBuffer() {
    if (previous != nullptr) {
        BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
    }
    if (bitmap != nullptr) {
        DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        DeleteDC(memory);
    }
}

} // namespace veltaro
