#pragma once

#include <windows.h>

namespace veltaro {

// A window's paint: BeginPaint on construction, EndPaint on scope exit.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window(window), dc(BeginPaint(window, &paint)) {}
    ~PaintScope() { EndPaint(window, &paint); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC get() const { return dc; }

private:
    HWND window;
    PAINTSTRUCT paint{};
    HDC dc;
};

// A window's context outside a paint (the screen's for no window), released on scope exit.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window(window), dc(GetDC(window)) {}
    ~WindowDC() {
        if (dc != nullptr) {
            ReleaseDC(window, dc);
        }
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc; }

private:
    HWND window;
    HDC dc;
};

// An object selected into a context, the previous one selected back on scope exit. A null object is not
// selected, so drawing goes on with what the context has.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc(dc), previous(object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (previous != nullptr) {
            SelectObject(dc, previous);
        }
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

// A pen, brush, font or bitmap this code created, deleted on scope exit.
template <typename Handle>
class GdiObject {
public:
    explicit GdiObject(Handle handle) : handle(handle) {}
    ~GdiObject() {
        if (handle != nullptr) {
            DeleteObject(handle);
        }
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return handle; }

private:
    Handle handle;
};

// An off-screen picture of width x height for a target context: draw into get(), and the whole picture is
// copied to the target at (0, 0) on scope exit, so the target never shows a half-drawn state.
class DoubleBuffer {
public:
    DoubleBuffer(HDC target, int width, int height);
    ~DoubleBuffer();
    DoubleBuffer(const DoubleBuffer&) = delete;
    DoubleBuffer& operator=(const DoubleBuffer&) = delete;

    HDC get() const { return memory; }

private:
    HDC target;
    int width;
    int height;
    HDC memory;
    HBITMAP bitmap;
    HGDIOBJ previous = nullptr;
};

// Moves several windows in one deferred batch, so they move together and each repaints once. A window
// that is null is left out: it would fail the whole batch.
class DeferredMoves {
public:
    explicit DeferredMoves(int count) : batch(BeginDeferWindowPos(count)) {}
    ~DeferredMoves() { commit(); }
    DeferredMoves(const DeferredMoves&) = delete;
    DeferredMoves& operator=(const DeferredMoves&) = delete;

    void move(HWND window, int x, int y, int cx, int cy, UINT flags = SWP_NOZORDER) {
        if (batch != nullptr && window != nullptr) {
            batch = DeferWindowPos(batch, window, nullptr, x, y, cx, cy, flags);
        }
    }

    // Moves the windows now rather than on scope exit.
    void commit() {
        if (batch != nullptr) {
            EndDeferWindowPos(batch);
            batch = nullptr;
        }
    }

private:
    HDWP batch;
};

} // namespace veltaro
