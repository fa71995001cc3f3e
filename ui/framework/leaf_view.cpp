#include "ui/framework/leaf_view.h"

#include "ui/framework/gdi_owners.h"

namespace veltaro {

LeafView::LeafView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const ViewWindow& window)
    : Pane(parent, ownedByParent), gdi(gdi), spec(window) {}

bool LeafView::create(HWND parentWindow) {
    // A view that takes keys is a tab stop, so the keyboard reaches it as well as a click.
    const DWORD style = WS_CHILD | WS_VISIBLE | ((spec.input & VIEW_KEYS) != 0 ? WS_TABSTOP : 0);
    const RECT place = spec.placed ? RECT{posX, posY, posX + width, posY + height} : RECT{};
    return createWindow(spec.exStyle, spec.text, style, parentWindow, nullptr, place);
}

void LeafView::paint() {
    RECT client;
    GetClientRect(hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    PaintScope paint(hwnd);
    if (spec.buffered) {
        DoubleBuffer buffer(paint.get(), w, h);
        draw(buffer.get(), w, h);
    } else {
        draw(paint.get(), w, h);
    }
}

LRESULT LeafView::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paint();
        return 0;
    }
    if ((spec.input & VIEW_FOCUS) != 0) {
        switch (message) {
        case WM_SETFOCUS:
            return onSetFocus(wParam);
        case WM_KILLFOCUS:
            return onKillFocus(wParam);
        case WM_NCHITTEST:
            return hitTest(wParam, lParam);
        default:
            break;
        }
    }
    if ((spec.input & VIEW_KEYS) != 0) {
        switch (message) {
        case WM_KEYDOWN:
            return onKeyDown(wParam);
        case WM_KEYUP:
            return 0;
        case WM_MOUSEWHEEL:
            return onMouseWheel(wParam);
        case WM_VSCROLL:
            return onVScroll(wParam);
        case WM_LBUTTONDOWN:
            // Keys and the wheel go to the focus: a click is how the user says which view they mean.
            SetFocus(hwnd);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        default:
            break;
        }
    }
    return Pane::onMessage(message, wParam, lParam);
}

} // namespace veltaro
