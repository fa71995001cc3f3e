#include "ui/pages/network_output_dialogs.h"

#include "res/resource.h"
#include "ui/framework/drawing_resources.h"
#include "ui/pages/dialog_controls.h"

namespace veltaro {

namespace {

// Both dialogs ask for one line of text; the caller reads it and explains what it cannot use.
struct OneFieldContext {
    int editId;
    const char* offered;
    std::string* text; // written on OK only
};

INT_PTR CALLBACK oneFieldProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        const auto& context = *reinterpret_cast<OneFieldContext*>(lParam);
        HWND edit = GetDlgItem(dialog, context.editId);
        SetWindowTextA(edit, context.offered);
        // Selected, so a different value is simply typed over the one offered.
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0, -1);
        return FALSE; // the focus was set
    }
    auto* context = reinterpret_cast<OneFieldContext*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (context == nullptr || message != WM_COMMAND) {
        return 0;
    }
    switch (LOWORD(wParam)) {
    case IDOK: {
        const std::string typed = controlText(GetDlgItem(dialog, context->editId));
        if (!typed.empty()) { // nothing typed: the dialog waits for a value
            *context->text = typed;
            EndDialog(dialog, 1);
        }
        return 1;
    }
    case IDCANCEL:
        EndDialog(dialog, 0);
        return 1;
    default:
        return 0;
    }
}

bool showOneFieldDialog(HWND owner, const char* name, int editId, const char* offered, std::string& text) {
    OneFieldContext context{editId, offered, &text};
    return DialogBoxParamA(sharedGdi().appInstance, name, owner, oneFieldProc, reinterpret_cast<LPARAM>(&context)) == 1;
}

} // namespace

bool showTcpServerDialog(HWND owner, std::string& portText) {
    // 10110 is the port registered for NMEA over the network.
    return showOneFieldDialog(owner, dlgTcpServer, IDC_TCPSERVER_PORT, portText.empty() ? "10110" : portText.c_str(),
                              portText);
}

bool showUdpOutputDialog(HWND owner, std::string& hostPort) {
    return showOneFieldDialog(owner, dlgUdpOutput, IDC_UDPOUTPUT_TARGET, hostPort.c_str(), hostPort);
}

} // namespace veltaro
