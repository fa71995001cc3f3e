#pragma once

#include "ui/framework/drawing_resources.h"
#include "ui/framework/pane.h"

#include <commctrl.h>

namespace veltaro {

// A pane whose window is a modeless dialog made from a resource. The dialog is bound to the page in
// WM_INITDIALOG, before any message reaches the page, and its messages go to the page's members; the
// dialog manager's own procedure stands where a plain window's would, so onMessage is not used.
class DialogPage : public Pane {
public:
    // Makes the dialog in parentWindow; false when it could not be made.
    bool create(HWND parentWindow) override;

    const SharedGdi& gdi;

protected:
    DialogPage(ContainerPane* parent, const SharedGdi& gdi, const char* resource);

    // The dialog procedure's answers: WM_INITDIALOG's (true to let the dialog manager set the focus),
    // and whether a command, timer or notification was handled.
    virtual INT_PTR onInitDialog() = 0;
    virtual INT_PTR onCommand(WPARAM) { return FALSE; }
    virtual INT_PTR onTimer(WPARAM) { return FALSE; }
    virtual INT_PTR onNotify(const NMHDR*) { return FALSE; }

private:
    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onDialogMessage(UINT message, WPARAM wParam, LPARAM lParam);

    const char* resource;
};

} // namespace veltaro
