#include "ui/pages/add_echo_dialog.h"

#include "res/resource.h"
#include "ui/framework/drawing_resources.h"
#include "ui/pages/com_ports.h"
#include "ui/pages/dialog_controls.h"
#include "ui/pages/start_page.h"

#include <string>
#include <vector>

namespace veltaro {

namespace {

// The dialog's context: its window and where the choice goes.
struct AddEchoContext {
    HWND dialog;
    int* portNumber;
    int* baudRate;
};

int selectedData(HWND dialog, int listId) {
    return selectedListData(GetDlgItem(dialog, listId));
}

// OK needs a baud rate: without one the echo port would open at no defined speed. Once it can be
// pressed it is the default button again, whichever button the focus passed on its way, so Enter confirms.
void updateOkButton(HWND dialog) {
    const bool ready = selectedData(dialog, IDC_ADDECHO_BAUD_LIST) != LB_ERR;
    EnableWindow(GetDlgItem(dialog, IDOK), ready);
    if (ready) {
        SendMessageA(dialog, DM_SETDEFID, IDOK, 0);
    }
}

void fillLists(HWND dialog) {
    HWND bauds = GetDlgItem(dialog, IDC_ADDECHO_BAUD_LIST);
    for (int rate : BAUD_RATES) {
        addListEntry(bauds, std::to_string(rate).c_str(), rate);
    }
    HWND ports = GetDlgItem(dialog, IDC_ADDECHO_PORT_LIST);
    SendMessageA(ports, LB_RESETCONTENT, 0, 0);
    const std::vector<ComPort> found = listComPorts();
    for (const ComPort& port : found) {
        appendListEntry(ports, port.label.c_str(), port.number);
    }
    SendMessageA(ports, LB_SETCURSEL, 0, 0);
    SendMessageA(ports, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widestLabel(ports, found)), 0);
    updateOkButton(dialog);
}

INT_PTR CALLBACK addEchoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* context = reinterpret_cast<AddEchoContext*>(lParam);
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        context->dialog = dialog;
        fillLists(dialog);
        return 1;
    }
    auto* context = reinterpret_cast<AddEchoContext*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (context == nullptr || message != WM_COMMAND) {
        return 0;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
        if (selectedData(dialog, IDC_ADDECHO_BAUD_LIST) == LB_ERR) {
            return 1; // stays open until a baud rate is chosen
        }
        *context->portNumber = selectedData(dialog, IDC_ADDECHO_PORT_LIST);
        *context->baudRate = selectedData(dialog, IDC_ADDECHO_BAUD_LIST);
        EndDialog(dialog, 1);
        return 1;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return 1;
    case IDC_ADDECHO_BAUD_LIST:
        if (HIWORD(wParam) == LBN_SELCHANGE) {
            updateOkButton(dialog);
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace

bool showAddEchoDialog(HWND owner, int& portNumber, int& baudRate) {
    AddEchoContext context{nullptr, &portNumber, &baudRate};
    return DialogBoxParamA(sharedGdi().appInstance, dlgAddEcho, owner, addEchoProc,
                           reinterpret_cast<LPARAM>(&context)) == 1;
}

} // namespace veltaro
