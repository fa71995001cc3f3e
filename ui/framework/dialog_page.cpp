#include "ui/framework/dialog_page.h"

namespace veltaro {

DialogPage::DialogPage(ContainerPane* parent, const SharedGdi& gdi, const char* resource)
    : Pane(parent, true), gdi(gdi), resource(resource) {}

bool DialogPage::create(HWND parentWindow) {
    return CreateDialogParamA(gdi.appInstance, resource, parentWindow, dialogProc, reinterpret_cast<LPARAM>(this)) !=
           nullptr;
}

INT_PTR CALLBACK DialogPage::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<DialogPage*>(lParam);
        page->bind(dialog);
        return page->onInitDialog();
    }
    // Messages before WM_INITDIALOG (the font, the creation) and after the page let go go to the dialog manager.
    auto* page = static_cast<DialogPage*>(fromWindow(dialog));
    return page != nullptr ? page->onDialogMessage(message, wParam, lParam) : FALSE;
}

INT_PTR DialogPage::onDialogMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return onCommand(wParam);
    case WM_TIMER:
        return onTimer(wParam);
    case WM_NOTIFY:
        return onNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_MOVE:
        return onMove(lParam);
    case WM_SIZE:
        return onSize(wParam, lParam);
    case WM_SETFOCUS:
        return onSetFocus(wParam);
    case WM_KILLFOCUS:
        return onKillFocus(wParam);
    case WM_NCHITTEST:
        // A dialog procedure hands a message's result over through DWLP_MSGRESULT.
        SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, hitTest(wParam, lParam));
        return TRUE;
    default:
        return FALSE; // the dialog manager's default handling
    }
}

} // namespace veltaro
