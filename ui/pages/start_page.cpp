#include "ui/pages/start_page.h"

#include "res/resource.h"
#include "ui/framework/gdi_owners.h"
#include "ui/pages/com_ports.h"
#include "ui/pages/dialog_controls.h"

#include <algorithm>
#include <string>
#include <vector>

namespace veltaro {

namespace {

// Fills a combo box with the baud rates, each with its number as item data, and selects one.
void fillBaudBox(HWND box, int selected) {
    for (int rate : BAUD_RATES) {
        const LRESULT index = addComboEntry(box, std::to_string(rate).c_str(), rate);
        if (rate == selected) {
            SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        }
    }
}

// The width of a control's text in the control's font.
int textWidth(HWND control) {
    char text[128] = "";
    const int length = GetWindowTextA(control, text, sizeof text);
    const WindowDC dc(control);
    if (dc.get() == nullptr) {
        return 0;
    }
    const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc.get(), text, length, &size);
    return size.cx;
}

} // namespace

StartPage::StartPage(ContainerPane* parent, const SharedGdi& gdi) : DialogPage(parent, gdi, dlgStartPage) {}

INT_PTR StartPage::onInitDialog() {
    HWND baud = GetDlgItem(hwnd, IDC_START_BAUD);
    addComboEntry(baud, "Automatic", 0); // the device tries the usual rates until NMEA comes
    fillBaudBox(baud, 4800);
    fillBaudBox(GetDlgItem(hwnd, IDC_START_ECHO_BAUD), 115200);
    fillPorts();
    return FALSE;
}

void StartPage::fillPorts() {
    HWND list = GetDlgItem(hwnd, IDC_START_PORT_LIST);
    HWND echoBox = GetDlgItem(hwnd, IDC_START_ECHO_PORT);
    // Kept by number: ports that came or went move the others up or down the lists.
    const int chosenPort = selectedListData(list);
    const int chosenEchoPort = selectedComboData(echoBox);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    SendMessageA(echoBox, CB_RESETCONTENT, 0, 0);
    const std::vector<ComPort> ports = listComPorts();
    for (const ComPort& port : ports) {
        const LRESULT item = appendListEntry(list, port.label.c_str(), port.number);
        if (port.number == chosenPort) {
            SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(item), 0);
        }
        const LRESULT entry = appendComboEntry(echoBox, port.label.c_str(), port.number);
        if (port.number == chosenEchoPort) {
            SendMessageA(echoBox, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        }
    }
    if (SendMessageA(list, LB_GETCURSEL, 0, 0) == LB_ERR) {
        SendMessageA(list, LB_SETCURSEL, 0, 0);
    }
    // A long description scrolls sideways in the list and widens the echo box's drop-down; the
    // layout stays as it is.
    const int width = widestLabel(list, ports);
    SendMessageA(list, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(width), 0);
    SendMessageA(echoBox, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(width + GetSystemMetrics(SM_CXVSCROLL)), 0);
}

INT_PTR StartPage::onCommand(WPARAM wParam) {
    switch (LOWORD(wParam)) {
    case IDC_START_DEVICE:
        if (mainFrame != nullptr) {
            // The echo values go along whether or not echoing was chosen; -1 stands for no selection.
            mainFrame->startDevice(selectedListData(GetDlgItem(hwnd, IDC_START_PORT_LIST)),
                                   selectedComboData(GetDlgItem(hwnd, IDC_START_BAUD)),
                                   IsDlgButtonChecked(hwnd, IDC_START_SAVE_TO_FILE) == BST_CHECKED,
                                   IsDlgButtonChecked(hwnd, IDC_START_ECHO) == BST_CHECKED,
                                   selectedComboData(GetDlgItem(hwnd, IDC_START_ECHO_PORT)),
                                   selectedComboData(GetDlgItem(hwnd, IDC_START_ECHO_BAUD)));
        }
        return 1;
    case IDC_START_OPEN_FILE:
        if (mainFrame != nullptr) {
            mainFrame->openGpsDataFile();
        }
        return 1;
    case IDC_START_SAVED_DEVICE:
        if (mainFrame != nullptr) {
            mainFrame->startSavedDevice();
        }
        return 1;
    default:
        return 0;
    }
}

void StartPage::offerSavedSetups(bool any) {
    EnableWindow(GetDlgItem(hwnd, IDC_START_SAVED_DEVICE), any);
}

LRESULT StartPage::onSize(WPARAM wParam, LPARAM lParam) {
    Pane::onSize(wParam, lParam);
    layoutControls();
    return 0;
}

void StartPage::layoutControls() {
    RECT client;
    GetClientRect(hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    const int c = gdi.lineHeight();
    const auto s = [this](int pixels) { return gdi.scaled(pixels); }; // the figures are for 96 DPI
    const int b = h - 5 * c - s(100); // the port list's height and the boxes' drop-down height
    const int x = w / 2;
    placeControls(hwnd,
                  {
                      {IDC_START_LIVE_GROUP, s(4), 0, w - s(8), b + c + s(16)},
                      {IDC_START_PORT_LIST, s(8), c + s(8), x - s(16), b},
                      {IDC_START_BAUD, x, c + s(8), x - s(16), b},
                      {IDC_START_SAVE_TO_FILE, x, 2 * c + s(24), x - s(16), c + s(2)},
                      {IDC_START_ECHO, x, 3 * c + s(40), x - s(16), c + s(2)},
                      {IDC_START_ECHO_PORT, x + s(16), 4 * c + s(56), x - s(24), b},
                      {IDC_START_ECHO_BAUD, x + s(16), 5 * c + s(72), x - s(24), b},
                      {IDC_START_DEVICE, x, 6 * c + s(88), x - s(16), c + s(12)},
                      {IDC_START_KNOWN_GROUP, s(4), b + c + s(32), w - s(8), 2 * c + s(24)},
                      {IDC_START_SAVED_DEVICE, s(8), b + 2 * c + s(40), w - s(16), c + s(12)},
                      {IDC_START_FILE_GROUP, s(4), b + 3 * c + s(64), w - s(8), 2 * c + s(24)},
                      {IDC_START_OPEN_FILE, s(8), b + 4 * c + s(72), w - s(16), c + s(12)},
                  },
                  15);
}

SIZE StartPage::minimumSize() const {
    // Heights follow the layout: the right column ends with the start button 8 pixels above the live
    // group's lower edge, as the port list does, so B >= 6c + 92.
    const int c = gdi.lineHeight();
    const auto s = [this](int pixels) { return gdi.scaled(pixels); };
    const int height = (6 * c + s(92)) + 5 * c + s(100);
    // Widths: the right column is half the page less 16 pixels, a lower button the page less 16; each
    // holds its text, the check boxes their box too, the buttons an edge on either side.
    const int box = GetSystemMetrics(SM_CXMENUCHECK) + s(4);
    const int edges = 4 * GetSystemMetrics(SM_CXEDGE);
    int width = 0;
    for (int id : {IDC_START_SAVE_TO_FILE, IDC_START_ECHO}) {
        width = std::max(width, 2 * (textWidth(GetDlgItem(hwnd, id)) + box + s(16)));
    }
    width = std::max(width, 2 * (textWidth(GetDlgItem(hwnd, IDC_START_DEVICE)) + edges + s(16)));
    for (int id : {IDC_START_SAVED_DEVICE, IDC_START_OPEN_FILE}) {
        width = std::max(width, textWidth(GetDlgItem(hwnd, id)) + edges + s(16));
    }
    return SIZE{width, height};
}

} // namespace veltaro
