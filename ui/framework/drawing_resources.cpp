#include "ui/framework/drawing_resources.h"

#include "res/resource.h"

namespace veltaro {

namespace {

SharedGdi shared;

HICON loadIcon(const char* name, int sizeX, int sizeY) {
    return static_cast<HICON>(
        LoadImageA(shared.appInstance, name, IMAGE_ICON, GetSystemMetrics(sizeX), GetSystemMetrics(sizeY), LR_SHARED));
}

} // namespace

void createSharedGdi() {
    shared.appInstance = GetModuleHandleA(nullptr);
    shared.mainIconLarge = loadIcon(icoMain, SM_CXICON, SM_CYICON);
    shared.mainIconSmall = loadIcon(icoMain, SM_CXSMICON, SM_CYSMICON);
    shared.liveDeviceIcon = loadIcon(icoLiveDevice, SM_CXSMICON, SM_CYSMICON);
    shared.offlineDeviceIcon = loadIcon(icoOfflineDevice, SM_CXSMICON, SM_CYSMICON);
    shared.viewIcon = loadIcon(icoView, SM_CXSMICON, SM_CYSMICON);
    shared.guiFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectA(shared.guiFont, sizeof shared.guiLogFont, &shared.guiLogFont);

    // One working copy: upwards for the vertical font, then bold and level for the bold one.
    LOGFONTA font = shared.guiLogFont;
    font.lfEscapement = 900;
    font.lfOrientation = 900;
    shared.verticalFont = CreateFontIndirectA(&font);
    font.lfWeight = FW_BOLD;
    font.lfEscapement = 0;
    font.lfOrientation = 0;
    shared.boldFont = CreateFontIndirectA(&font);

    shared.blackBrush = CreateSolidBrush(RGB(0, 0, 0));
    shared.whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
    shared.faceBrush = GetSysColorBrush(COLOR_BTNFACE);
    shared.lightGrayPen = CreatePen(PS_SOLID, 0, RGB(207, 207, 207));
    shared.blackPen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    shared.thickBlackPen = CreatePen(PS_SOLID, 3, RGB(0, 0, 0));
}

const SharedGdi& sharedGdi() {
    return shared;
}

} // namespace veltaro
