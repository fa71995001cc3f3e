#pragma once

#include <windows.h>

namespace veltaro {

// The process-wide icons, fonts, brushes and pens every window draws with. Made once before the first
// window and never released: they live as long as the process.
struct SharedGdi {
    HINSTANCE appInstance;
    HICON mainIconLarge;
    HICON mainIconSmall;
    HICON liveDeviceIcon;
    HICON offlineDeviceIcon;
    HICON viewIcon;
    HFONT guiFont;
    LOGFONTA guiLogFont; // its height, as an absolute value, is the text line height of the layouts
    HFONT verticalFont;  // the GUI font running upwards
    HFONT boldFont;
    HBRUSH blackBrush;
    HBRUSH whiteBrush;
    HBRUSH faceBrush;
    HPEN lightGrayPen;
    HPEN blackPen;
    HPEN thickBlackPen;
    int dpi = 96; // of the main window: every layout figure is given at 96 and scaled to it

    // The text line height the pages and views lay out with.
    int lineHeight() const { return guiLogFont.lfHeight < 0 ? -guiLogFont.lfHeight : guiLogFont.lfHeight; }
    // A length in pixels at 96 DPI, at the window's DPI: the same at 96.
    int scaled(int pixels) const { return MulDiv(pixels, dpi, 96); }
};

// Fills the shared resources at the system's DPI; a resource that cannot be made stays null.
void createSharedGdi();

// Makes the fonts and pens anew for a window at dpi (one moved to a monitor of another scale). Those made before
// stay valid, as controls may still hold them; true when dpi differs from the one before.
bool setSharedDpi(int dpi);

// The DPI of a window as Windows scales it (per monitor on Windows 10 and later), else the system's.
int windowDpi(HWND window);

const SharedGdi& sharedGdi();

} // namespace veltaro
