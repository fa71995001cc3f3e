#include "ui/pages/dialog_controls.h"

#include "ui/framework/gdi_owners.h"

namespace veltaro {

void placeControls(HWND dialog, std::initializer_list<ControlPlacement> placements, int batchSize) {
    DeferredMoves batch(batchSize);
    for (const ControlPlacement& p : placements) {
        batch.move(GetDlgItem(dialog, p.id), p.x, p.y, p.cx, p.cy);
    }
}

int selectedListData(HWND list) {
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? LB_ERR
                           : static_cast<int>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

int selectedComboData(HWND box) {
    const LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? CB_ERR
                           : static_cast<int>(SendMessageA(box, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
}

LRESULT addListEntry(HWND list, const char* text, int data) {
    const LRESULT index = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), data);
    return index;
}

LRESULT addComboEntry(HWND box, const char* text, int data) {
    const LRESULT index = SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    SendMessageA(box, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    return index;
}

// Inserting at the end places an entry there even in a sorted list: its text order is not the one wanted.
LRESULT appendListEntry(HWND list, const char* text, int data) {
    const LRESULT index = SendMessageA(list, LB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(index), data);
    return index;
}

LRESULT appendComboEntry(HWND box, const char* text, int data) {
    const LRESULT index = SendMessageA(box, CB_INSERTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    SendMessageA(box, CB_SETITEMDATA, static_cast<WPARAM>(index), data);
    return index;
}

std::string controlText(HWND control) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

} // namespace veltaro
