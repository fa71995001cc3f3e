#include "ui/pages/ntrip_dialog.h"

#include "res/resource.h"
#include "ui/framework/drawing_resources.h"
#include "ui/pages/dialog_controls.h"

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <utility>

namespace veltaro {

namespace {

struct NtripContext {
    NtripChoice* choice;
    const FetchSourceTable* fetch;
    std::vector<SourceTableStream> streams; // the list's rows, in order
};

// Widths in dialog units, so the columns fill the list at any font size.
constexpr int COLUMN_WIDTHS[] = {58, 46, 66, 36, 66};
constexpr const char* COLUMN_TITLES[] = {"Mountpoint", "Format", "Identifier", "Country", "Position"};

// "52.41 N 13.05 E": a stream's place as a source table gives it, to two decimals.
std::string positionText(double latitude, double longitude) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2f %c %.2f %c", std::fabs(latitude), latitude < 0 ? 'S' : 'N',
                  std::fabs(longitude), longitude < 0 ? 'W' : 'E');
    return text;
}

HWND listOf(HWND dialog) {
    return GetDlgItem(dialog, IDC_NTRIP_STREAM_LIST);
}

void setField(HWND dialog, int id, const std::string& text) {
    SetDlgItemTextA(dialog, id, text.c_str());
}

std::string field(HWND dialog, int id) {
    return controlText(GetDlgItem(dialog, id));
}

NtripChoice fieldsOf(HWND dialog) {
    return NtripChoice{field(dialog, IDC_NTRIP_HOST), field(dialog, IDC_NTRIP_PORT),
                       field(dialog, IDC_NTRIP_MOUNTPOINT), field(dialog, IDC_NTRIP_USER),
                       field(dialog, IDC_NTRIP_PASSWORD)};
}

void initialize(HWND dialog, const NtripContext& context) {
    HWND list = listOf(dialog);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < 5; ++i) {
        RECT width{0, 0, COLUMN_WIDTHS[i], 0};
        MapDialogRect(dialog, &width);
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = width.right;
        std::string title = COLUMN_TITLES[i];
        column.pszText = title.data();
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    const NtripChoice& choice = *context.choice;
    setField(dialog, IDC_NTRIP_HOST, choice.host);
    setField(dialog, IDC_NTRIP_PORT, choice.port);
    setField(dialog, IDC_NTRIP_MOUNTPOINT, choice.mountpoint);
    setField(dialog, IDC_NTRIP_USER, choice.user);
    setField(dialog, IDC_NTRIP_PASSWORD, choice.password);
    HWND host = GetDlgItem(dialog, IDC_NTRIP_HOST);
    SetFocus(host);
    SendMessageA(host, EM_SETSEL, 0, -1);
}

void fillList(HWND dialog, const std::vector<SourceTableStream>& streams) {
    HWND list = listOf(dialog);
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < streams.size(); ++i) {
        const SourceTableStream& stream = streams[i];
        const std::string row[] = {stream.mountpoint, stream.format, stream.identifier, stream.country,
                                   positionText(stream.latitude, stream.longitude)};
        for (int column = 0; column < 5; ++column) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.iSubItem = column;
            std::string text = row[column];
            item.pszText = text.data();
            SendMessageA(list, column == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        }
    }
}

void showStreams(HWND dialog, NtripContext& context) {
    std::vector<SourceTableStream> streams;
    std::string problem;
    // The caller bounds the fetch with a time-out and may keep the windows painted meanwhile; the dialog takes no
    // input until it is done, and the cursor says so.
    const HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    EnableWindow(dialog, FALSE);
    const bool fetched = (*context.fetch)(fieldsOf(dialog), streams, problem);
    EnableWindow(dialog, TRUE);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_NTRIP_STREAMS)), TRUE);
    SetCursor(previous);
    if (!fetched) {
        MessageBoxA(dialog, problem.c_str(), "Veltaro", MB_OK | MB_ICONWARNING);
        return;
    }
    if (streams.empty()) {
        MessageBoxA(dialog, "The caster lists no streams.", "Veltaro", MB_OK | MB_ICONWARNING);
    }
    context.streams = std::move(streams);
    fillList(dialog, context.streams);
}

// A row selected: its stream is the one to take.
void onItemChanged(HWND dialog, const NMLISTVIEW& change, const NtripContext& context) {
    if ((change.uChanged & LVIF_STATE) != 0 && (change.uNewState & LVIS_SELECTED) != 0 &&
        (change.uOldState & LVIS_SELECTED) == 0 && change.iItem >= 0 &&
        static_cast<std::size_t>(change.iItem) < context.streams.size()) {
        setField(dialog, IDC_NTRIP_MOUNTPOINT, context.streams[static_cast<std::size_t>(change.iItem)].mountpoint);
    }
}

// Reads the fields back; without a caster or a mountpoint there is nothing to connect to, and the focus goes
// to the one missing.
bool readChoice(HWND dialog, NtripChoice& choice) {
    NtripChoice typed = fieldsOf(dialog);
    if (typed.host.empty() || typed.mountpoint.empty()) {
        SetFocus(GetDlgItem(dialog, typed.host.empty() ? IDC_NTRIP_HOST : IDC_NTRIP_MOUNTPOINT));
        return false;
    }
    choice = std::move(typed);
    return true;
}

INT_PTR CALLBACK ntripProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        initialize(dialog, *reinterpret_cast<NtripContext*>(lParam));
        return FALSE; // the focus was set to the caster
    }
    auto* context = reinterpret_cast<NtripContext*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (context == nullptr) {
        return 0;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_NTRIP_STREAM_LIST && header->code == LVN_ITEMCHANGED) {
            onItemChanged(dialog, *reinterpret_cast<const NMLISTVIEW*>(lParam), *context);
        }
        return 0;
    }
    if (message != WM_COMMAND) {
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
    case IDC_NTRIP_STREAMS:
        showStreams(dialog, *context);
        return 1;
    default:
        return 0;
    }
}

} // namespace

bool showNtripDialog(HWND owner, NtripChoice& choice, const FetchSourceTable& fetch) {
    NtripContext context{&choice, &fetch, {}};
    return DialogBoxParamA(sharedGdi().appInstance, dlgNtrip, owner, ntripProc, reinterpret_cast<LPARAM>(&context)) ==
           1;
}

} // namespace veltaro
