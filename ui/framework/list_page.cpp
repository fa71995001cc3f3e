#include "ui/framework/list_page.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace veltaro {

namespace {

constexpr int MARGIN = 4;
constexpr int LIST_ID = 100;
constexpr UINT_PTR UPDATE_TIMER = 1;
// The rows follow the data at most this often: a receiver at 10 Hz then costs two repaints a second, not ten.
constexpr ULONGLONG UPDATE_PERIOD_MS = 500;

} // namespace

ListPage::ListPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, std::vector<Column> columns,
                   int stripHeight)
    : Pane(parent, ownedByParent), gdi(gdi), columns(std::move(columns)), stripHeight(stripHeight) {}

bool ListPage::create(HWND parentWindow) {
    if (!createWindow(0, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, parentWindow)) {
        return false;
    }
    list =
        makeControl(WC_LISTVIEWA, "", WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, LIST_ID);
    summary = makeControl("STATIC", "", SS_LEFTNOWORDWRAP, 0);
    if (list == nullptr || summary == nullptr || !createStrip()) {
        return false;
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = columns[i].format;
        column.pszText = const_cast<char*>(columns[i].title);
        column.cx = gdi.scaled(columns[i].width);
        SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    layout();
    return true;
}

HWND ListPage::makeControl(const char* windowClass, const char* text, DWORD style, int id) {
    HWND control = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, hwnd,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), gdi.appInstance, nullptr);
    if (control != nullptr) {
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.guiFont), FALSE);
    }
    return control;
}

void ListPage::refresh() {
    if (hwnd == nullptr || !IsWindowVisible(hwnd)) {
        return;
    }
    const ULONGLONG now = GetTickCount64();
    if (now - updatedAt < UPDATE_PERIOD_MS) {
        SetTimer(hwnd, UPDATE_TIMER, static_cast<UINT>(UPDATE_PERIOD_MS - (now - updatedAt)), nullptr);
        return;
    }
    updatedAt = now;
    update();
}

void ListPage::setRowCount(int rows, bool scrollToEnd) {
    if (static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)) != rows) {
        SendMessageA(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(rows), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    }
    if (scrollToEnd && rows > 0) {
        SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(rows - 1), FALSE);
    }
}

LRESULT ListPage::onSize(WPARAM wParam, LPARAM lParam) {
    Pane::onSize(wParam, lParam);
    layout();
    return 0;
}

void ListPage::layout() {
    if (list == nullptr) {
        return;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    // The figures are for 96 DPI.
    const int margin = gdi.scaled(MARGIN);
    const int line = gdi.lineHeight() + gdi.scaled(4);
    const int top = stripHeight > 0 ? margin + gdi.scaled(stripHeight) + margin : margin;
    layoutStrip(w);
    MoveWindow(list, margin, top, std::max(w - 2 * margin, 0), std::max(h - top - line - 2 * margin, 0), TRUE);
    MoveWindow(summary, margin, std::max(h - line - margin, 0), std::max(w - 2 * margin, 0), line, TRUE);
}

LRESULT ListPage::onListNotify(const NMHDR*) {
    return 0;
}

LRESULT ListPage::onCommand(WPARAM, LPARAM) {
    return 0;
}

LRESULT ListPage::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == list && header->code == LVN_GETDISPINFOA) {
            auto* info = reinterpret_cast<NMLVDISPINFOA*>(lParam);
            if ((info->item.mask & LVIF_TEXT) != 0 && info->item.cchTextMax > 0) {
                cell = cellText(info->item.iItem, info->item.iSubItem);
                lstrcpynA(info->item.pszText, cell.c_str(), info->item.cchTextMax);
            }
            return 0;
        }
        return header->hwndFrom == list ? onListNotify(header) : 0;
    }
    case WM_COMMAND:
        return onCommand(wParam, lParam);
    case WM_TIMER:
        if (wParam == UPDATE_TIMER) {
            KillTimer(hwnd, UPDATE_TIMER);
            refresh();
            return 0;
        }
        break;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, gdi.faceBrush);
        return 1;
    }
    case WM_CTLCOLORSTATIC:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(gdi.faceBrush);
    default:
        break;
    }
    return Pane::onMessage(message, wParam, lParam);
}

} // namespace veltaro
