#include "ui/pages/network_source_dialog.h"

#include "res/resource.h"
#include "ui/framework/drawing_resources.h"
#include "ui/pages/com_ports.h"
#include "ui/pages/dialog_controls.h"
#include "ui/pages/start_page.h"

namespace veltaro {

namespace {

struct NetworkSourceContext {
    const std::vector<std::string>* usedBefore;
    NetworkSourceChoice* choice;
};

bool echoTicked(HWND dialog) {
    return IsDlgButtonChecked(dialog, IDC_NETSOURCE_ECHO) == BST_CHECKED;
}

void enableEchoBoxes(HWND dialog) {
    const bool echo = echoTicked(dialog);
    EnableWindow(GetDlgItem(dialog, IDC_NETSOURCE_ECHO_PORT), echo);
    EnableWindow(GetDlgItem(dialog, IDC_NETSOURCE_ECHO_BAUD), echo);
}

void initialize(HWND dialog, const NetworkSourceContext& context) {
    HWND address = GetDlgItem(dialog, IDC_NETSOURCE_ADDRESS);
    for (const std::string& used : *context.usedBefore) {
        appendComboEntry(address, used.c_str(), 0);
    }
    if (!context.usedBefore->empty()) {
        SendMessageA(address, CB_SETCURSEL, 0, 0);
    }
    const NetworkSourceChoice& choice = *context.choice;
    CheckDlgButton(dialog, IDC_NETSOURCE_SAVE_TO_FILE, choice.saveToFile ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_NETSOURCE_ECHO, choice.echo ? BST_CHECKED : BST_UNCHECKED);
    HWND ports = GetDlgItem(dialog, IDC_NETSOURCE_ECHO_PORT);
    const std::vector<ComPort> found = listComPorts();
    for (const ComPort& port : found) {
        const LRESULT entry = appendComboEntry(ports, port.label.c_str(), port.number);
        if (port.number == choice.echoPort) {
            SendMessageA(ports, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        }
    }
    SendMessageA(ports, CB_SETDROPPEDWIDTH,
                 static_cast<WPARAM>(widestLabel(ports, found) + GetSystemMetrics(SM_CXVSCROLL)), 0);
    HWND bauds = GetDlgItem(dialog, IDC_NETSOURCE_ECHO_BAUD);
    for (int rate : BAUD_RATES) {
        const LRESULT entry = appendComboEntry(bauds, std::to_string(rate).c_str(), rate);
        if (rate == choice.echoBaud) {
            SendMessageA(bauds, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
        }
    }
    enableEchoBoxes(dialog);
    // The address typed most often is a new one: the one shown is selected, so typing replaces it.
    SetFocus(address);
    SendMessageA(address, CB_SETEDITSEL, 0, MAKELPARAM(0, -1));
}

// Reads the controls back; false while there is no address to connect to.
bool readChoice(HWND dialog, NetworkSourceChoice& choice) {
    const std::string address = controlText(GetDlgItem(dialog, IDC_NETSOURCE_ADDRESS));
    if (address.empty()) {
        return false;
    }
    choice.address = address;
    choice.saveToFile = IsDlgButtonChecked(dialog, IDC_NETSOURCE_SAVE_TO_FILE) == BST_CHECKED;
    const int echoPort = selectedComboData(GetDlgItem(dialog, IDC_NETSOURCE_ECHO_PORT));
    // Ticked with no port to echo to is no echo at all.
    choice.echo = echoTicked(dialog) && echoPort != CB_ERR;
    if (choice.echo) {
        choice.echoPort = echoPort;
        choice.echoBaud = selectedComboData(GetDlgItem(dialog, IDC_NETSOURCE_ECHO_BAUD));
    }
    return true;
}

INT_PTR CALLBACK networkSourceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        initialize(dialog, *reinterpret_cast<NetworkSourceContext*>(lParam));
        return FALSE; // the focus was set to the address
    }
    auto* context = reinterpret_cast<NetworkSourceContext*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (context == nullptr || message != WM_COMMAND) {
        return 0;
    }
    switch (LOWORD(wParam)) {
    case IDOK:
        if (readChoice(dialog, *context->choice)) {
            EndDialog(dialog, 1);
        }
        return 1;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return 1;
    case IDC_NETSOURCE_ECHO:
        enableEchoBoxes(dialog);
        return 1;
    default:
        return 0;
    }
}

} // namespace

bool showNetworkSourceDialog(HWND owner, const std::vector<std::string>& usedBefore, NetworkSourceChoice& choice) {
    NetworkSourceContext context{&usedBefore, &choice};
    return DialogBoxParamA(sharedGdi().appInstance, dlgNetworkSource, owner, networkSourceProc,
                           reinterpret_cast<LPARAM>(&context)) == 1;
}

} // namespace veltaro
