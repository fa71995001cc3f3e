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

    // The text line height the pages and views lay out with.
    int lineHeight() const { return guiLogFont.lfHeight < 0 ? -guiLogFont.lfHeight : guiLogFont.lfHeight; }
};

// Fills the shared resources; a resource that cannot be made stays null.
void createSharedGdi();

const SharedGdi& sharedGdi();

} // namespace veltaro
