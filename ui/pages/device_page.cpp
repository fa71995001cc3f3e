#include "ui/pages/device_page.h"

#include "res/resource.h"
#include "ui/main/shared_gdi.h"
#include "ui/pages/dialog_controls.h"

#include <commctrl.h>

#include <cstdio>

namespace veltaro {

namespace {

constexpr UINT_PTR STATUS_TIMER = 0;
constexpr UINT STATUS_PERIOD_MS = 2000;

} // namespace

DevicePage::DevicePage(GpsDevice* device, ContainerPane* parent) : Pane(parent, true), device(device) {
    data = &device->snapshot;
}

DevicePage::~DevicePage() {
    if (hwnd != nullptr) {
        KillTimer(hwnd, STATUS_TIMER);
    }
}

bool DevicePage::create(HWND parentWindow) {
    CreateDialogParamA(sharedGdi().appInstance, dlgDevice, parentWindow, dialogProc, reinterpret_cast<LPARAM>(this));
    return true;
}

void DevicePage::setUp() {
    updateStatus();
    LVCOLUMNA column;
    ZeroMemory(&column, sizeof column);
    column.mask = LVCF_WIDTH | LVCF_TEXT;
    column.cx = 300;
    char header[] = "File";
    column.pszText = header;
    SendDlgItemMessageA(hwnd, IDC_DEVICE_OUTPUT_LIST, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    SendDlgItemMessageA(hwnd, IDC_DEVICE_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(sharedGdi().boldFont), FALSE);
    // Outputs can be added from the tree's menu at any time: the page looks again every 2 seconds.
    SetTimer(hwnd, STATUS_TIMER, STATUS_PERIOD_MS, nullptr);
}

void DevicePage::updateStatus() {
    std::unique_ptr<char[]> name = device->port ? device->port->displayName() : nullptr;
    char status[4000];
    std::snprintf(status, sizeof status, "Status:\n  Port %s\n", name ? name.get() : "");
    SetDlgItemTextA(hwnd, IDC_DEVICE_STATUS, status);

    std::vector<std::string> names;
    std::vector<Port*> ports;
    std::vector<ByteQueue*> queues;
    device->copyOutputs(names, ports, queues);
    HWND list = GetDlgItem(hwnd, IDC_DEVICE_OUTPUT_LIST);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (std::string& outputName : names) {
        LVITEMA row;
        ZeroMemory(&row, sizeof row);
        row.mask = LVIF_TEXT;
        row.iItem = 0; // each at the top: the newest output comes first
        row.pszText = outputName.data();
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    }
}

LRESULT DevicePage::onSize(WPARAM wParam, LPARAM lParam) {
    Pane::onSize(wParam, lParam);
    layoutControls();
    return 1;
}

void DevicePage::layoutControls() {
    RECT client;
    GetClientRect(hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    const int c = textLineHeight();
    placeControls(hwnd,
                  {
                      {IDC_DEVICE_TITLE, 4, 4, w - 8, c},
                      {IDC_DEVICE_STATUS, 4, c + 12, w - 8, 4 * c},
                      {IDC_DEVICE_OUTPUTS_LABEL, 4, 5 * c + 16, w - 8, c},
                      {IDC_DEVICE_OUTPUT_LIST, 4, 6 * c + 20, w - 8, h - 6 * c - 28},
                  },
                  5);
}

INT_PTR CALLBACK DevicePage::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* page = reinterpret_cast<DevicePage*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        page->hwnd = dialog;
        page->setUp();
        return 1;
    }
    auto* page = reinterpret_cast<DevicePage*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (page == nullptr) {
        return 0;
    }
    if (message == WM_TIMER) {
        page->updateStatus();
        return 1;
    }
    // Anything else is left to the dialog manager's default handling.
    INT_PTR result = 0;
    routePaneDialogMessage(*page, dialog, message, wParam, lParam, result);
    return result;
}

} // namespace veltaro
