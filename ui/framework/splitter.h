#pragma once

#include <windows.h>

#include <cstdint>

namespace veltaro {

// The state of a "SPLITTER" bar; the creator passes one as the creation parameter, the bar keeps a copy.
struct SplitterInfo {
    HWND leftWindow;       // only resized
    HWND rightWindow;      // moved and resized
    std::int32_t position; // x of the bar's left edge in the parent, also the left window's width
    std::int32_t barWidth; // 0 at creation means 4
};

// Sent to the parent with wParam the bar and lParam its SplitterInfo. A non-zero answer to
// SPN_POSCHANGING refuses the step; SPN_POSCHANGED follows every step, refused or not.
constexpr UINT SPN_POSCHANGING = 384;
constexpr UINT SPN_POSCHANGED = 385;

// Moves a bar to position and gives it width, as a change of the display's scale does; the windows follow at the
// parent's next layout.
void setSplitterGeometry(HWND bar, std::int32_t position, std::int32_t barWidth);

// Registers the "SPLITTER" window class: a vertical bar dragged with the left mouse button.
void registerSplitterClass();

LRESULT CALLBACK SplitterWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace veltaro
