#include "ui/framework/splitter.h"

#include "ui/framework/gdi_owners.h"

namespace veltaro {

namespace {

constexpr int DEFAULT_BAR_WIDTH = 4;

SplitterInfo* infoOf(HWND window) {
    return reinterpret_cast<SplitterInfo*>(GetWindowLongPtrA(window, 0));
}

void paint(HWND window) {
    PaintScope paint(window);
    HDC dc = paint.get();
    RECT rect;
    GetClientRect(window, &rect);
    FillRect(dc, &rect, GetSysColorBrush(COLOR_BTNFACE));
    // Two bump lines two pixels apart mark the bar as something to grab.
    rect.left = 1;
    DrawEdge(dc, &rect, EDGE_BUMP, BF_LEFT | BF_SOFT);
    rect.left = 3;
    DrawEdge(dc, &rect, EDGE_BUMP, BF_LEFT | BF_SOFT);
}

void dragStep(HWND window, SplitterInfo& info) {
    HWND parent = GetParent(window);
    POINT cursor;
    GetCursorPos(&cursor);
    ScreenToClient(parent, &cursor);
    RECT client;
    GetClientRect(parent, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;

    const std::int32_t old = info.position;
    info.position = cursor.x - info.barWidth / 2; // centred on the cursor; no limits
    if (SendMessageA(parent, SPN_POSCHANGING, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&info)) != 0) {
        info.position = old;
    } else {
        DeferredMoves batch(3);
        batch.move(info.leftWindow, 0, 0, info.position, h, SWP_NOZORDER | SWP_NOMOVE);
        batch.move(info.rightWindow, info.position + info.barWidth, 0, w - info.position - info.barWidth, h);
        batch.move(window, info.position, 0, info.barWidth, h);
    }
    SendMessageA(parent, SPN_POSCHANGED, reinterpret_cast<WPARAM>(window), reinterpret_cast<LPARAM>(&info));
}

} // namespace

void registerSplitterClass() {
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = SplitterWndProc;
    windowClass.cbWndExtra = sizeof(SplitterInfo*);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_SIZEWE);
    windowClass.lpszClassName = "SPLITTER";
    RegisterClassA(&windowClass);
}

void setSplitterGeometry(HWND bar, std::int32_t position, std::int32_t barWidth) {
    if (SplitterInfo* info = infoOf(bar)) {
        info->position = position;
        info->barWidth = barWidth;
    }
}

LRESULT CALLBACK SplitterWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        auto* info = new SplitterInfo{};
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        if (create->lpCreateParams != nullptr) {
            *info = *static_cast<const SplitterInfo*>(create->lpCreateParams);
        }
        if (info->barWidth == 0) {
            info->barWidth = DEFAULT_BAR_WIDTH;
        }
        SetWindowLongPtrA(window, 0, reinterpret_cast<LONG_PTR>(info));
        break;
    }
    case WM_DESTROY:
        delete infoOf(window);
        SetWindowLongPtrA(window, 0, 0);
        break;
    case WM_PAINT:
        paint(window);
        return 0;
    case WM_LBUTTONDOWN:
        SetCapture(window); // moves keep arriving while the cursor leaves the bar
        return 0;
    case WM_LBUTTONUP:
        ReleaseCapture();
        return 0;
    case WM_MOUSEMOVE:
        if ((wParam & MK_LBUTTON) != 0 && infoOf(window) != nullptr) {
            dragStep(window, *infoOf(window));
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace veltaro
