#include "ui/framework/drawing_resources.h"

#include "res/resource.h"

namespace veltaro {

namespace {

SharedGdi shared;

HICON loadIcon(const char* name, int sizeX, int sizeY) {
    return static_cast<HICON>(
        LoadImageA(shared.appInstance, name, IMAGE_ICON, GetSystemMetrics(sizeX), GetSystemMetrics(sizeY), LR_SHARED));
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The fonts and the needle's pen at shared.dpi. The stock GUI font is made for the system's DPI, and stays the font
// there, so every pixel at the system's scale is as it always was.
void makeScaledResources() {
    const HFONT stock = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const int system = systemDpi();
    shared.guiFont = stock;
    GetObjectA(stock, sizeof shared.guiLogFont, &shared.guiLogFont);
    if (shared.dpi != system) {
        shared.guiLogFont.lfHeight = MulDiv(shared.guiLogFont.lfHeight, shared.dpi, system);
        shared.guiFont = CreateFontIndirectA(&shared.guiLogFont);
    }

    // One working copy: upwards for the vertical font, then bold and level for the bold one.
    LOGFONTA font = shared.guiLogFont;
    font.lfEscapement = 900;
    font.lfOrientation = 900;
    shared.verticalFont = CreateFontIndirectA(&font);
    font.lfWeight = FW_BOLD;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    shared.boldFont = CreateFontIndirectA(&font);
    shared.thickBlackPen = CreatePen(PS_SOLID, shared.scaled(3), RGB(0, 0, 0));
}

} // namespace

void createSharedGdi() {
    shared.appInstance = GetModuleHandleA(nullptr);
    shared.mainIconLarge = loadIcon(icoMain, SM_CXICON, SM_CYICON);
    shared.mainIconSmall = loadIcon(icoMain, SM_CXSMICON, SM_CYSMICON);
    shared.liveDeviceIcon = loadIcon(icoLiveDevice, SM_CXSMICON, SM_CYSMICON);
    shared.offlineDeviceIcon = loadIcon(icoOfflineDevice, SM_CXSMICON, SM_CYSMICON);
    shared.viewIcon = loadIcon(icoView, SM_CXSMICON, SM_CYSMICON);
    shared.blackBrush = CreateSolidBrush(RGB(0, 0, 0));
    shared.whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
    shared.faceBrush = GetSysColorBrush(COLOR_BTNFACE);
    shared.lightGrayPen = CreatePen(PS_SOLID, 0, RGB(207, 207, 207));
    shared.blackPen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    shared.dpi = systemDpi();
    makeScaledResources();
}

bool setSharedDpi(int dpi) {
    if (dpi <= 0 || dpi == shared.dpi) {
        return false;
    }
    shared.dpi = dpi;
    makeScaledResources();
    return true;
}

int windowDpi(HWND window) {
    // Looked up at run time: Windows before 10 (1607) has no per-window DPI.
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const int dpi = getDpiForWindow != nullptr ? static_cast<int>(getDpiForWindow(window)) : 0;
    return dpi > 0 ? dpi : systemDpi();
}

const SharedGdi& sharedGdi() {
    return shared;
}

} // namespace veltaro
