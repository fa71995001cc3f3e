#include "ui/pages/saved_setups_dialog.h"

#include "res/resource.h"
#include "ui/framework/drawing_resources.h"

#include <commctrl.h>

#include <cstdio>
#include <ctime>

namespace veltaro {

namespace {

struct SetupsContext {
    std::vector<SavedSetup>* setups;
    std::size_t* chosen;
    bool filling = false; // the list is being filled: its check boxes are not the user's
};

constexpr int COLUMN_WIDTHS[] = {60, 70, 280, 110};
constexpr const char* COLUMN_TITLES[] = {"Port", "Baud rate", "Outputs", "Last used"};

HWND listOf(HWND dialog) {
    return GetDlgItem(dialog, IDC_SETUPS_LIST);
}

int selectedRow(HWND dialog) {
    return static_cast<int>(SendMessageA(listOf(dialog), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void fillList(HWND dialog, SetupsContext& context) {
    HWND list = listOf(dialog);
    context.filling = true;
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    for (std::size_t i = 0; i < context.setups->size(); ++i) {
        const std::vector<std::string> row = setupRow((*context.setups)[i]);
        for (std::size_t column = 0; column < row.size(); ++column) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            item.iSubItem = static_cast<int>(column);
            std::string text = row[column];
            item.pszText = text.data();
            SendMessageA(list, column == 0 ? LVM_INSERTITEMA : LVM_SETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
        }
        // The check box is the second state image: 1 unticked, 2 ticked.
        LVITEMA state{};
        state.stateMask = LVIS_STATEIMAGEMASK;
        state.state = INDEXTOSTATEIMAGEMASK((*context.setups)[i].startAtLaunch ? 2 : 1);
        SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&state));
    }
    context.filling = false;
    const bool any = !context.setups->empty();
    if (any) {
        LVITEMA selected{};
        selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        selected.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&selected));
    }
    EnableWindow(GetDlgItem(dialog, IDOK), any);
    EnableWindow(GetDlgItem(dialog, IDC_SETUPS_DELETE), any);
}

void initialize(HWND dialog, SetupsContext& context) {
    HWND list = listOf(dialog);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    for (int i = 0; i < 4; ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = COLUMN_WIDTHS[i];
        std::string title = COLUMN_TITLES[i];
        column.pszText = title.data();
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    fillList(dialog, context);
}

// A tick that changed on a row: the setup starts at launch or no longer does.
void onItemChanged(const NMLISTVIEW& change, SetupsContext& context) {
    if (context.filling || (change.uChanged & LVIF_STATE) == 0 ||
        ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) == 0 || change.iItem < 0 ||
        static_cast<std::size_t>(change.iItem) >= context.setups->size()) {
        return;
    }
    (*context.setups)[static_cast<std::size_t>(change.iItem)].startAtLaunch =
        (change.uNewState & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

INT_PTR CALLBACK setupsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        initialize(dialog, *reinterpret_cast<SetupsContext*>(lParam));
        return 1;
    }
    auto* context = reinterpret_cast<SetupsContext*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (context == nullptr) {
        return 0;
    }
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == IDC_SETUPS_LIST && header->code == LVN_ITEMCHANGED) {
            onItemChanged(*reinterpret_cast<const NMLISTVIEW*>(lParam), *context);
        } else if (header->idFrom == IDC_SETUPS_LIST && header->code == NM_DBLCLK && selectedRow(dialog) >= 0) {
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        }
        return 0;
    }
    if (message != WM_COMMAND) {
        return 0;
    }
    const int row = selectedRow(dialog);
    switch (LOWORD(wParam)) {
    case IDOK:
        if (row >= 0) {
            *context->chosen = static_cast<std::size_t>(row);
            EndDialog(dialog, 1);
        }
        return 1;
    case IDC_SETUPS_DELETE:
        if (row >= 0) {
            context->setups->erase(context->setups->begin() + row);
            fillList(dialog, *context);
        }
        return 1;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return 1;
    default:
        return 0;
    }
}

} // namespace

std::vector<std::string> setupRow(const SavedSetup& setup) {
    std::string outputs;
    auto add = [&outputs](const std::string& output) { outputs += (outputs.empty() ? "" : "; ") + output; };
    if (!setup.logPath.empty()) {
        add("log " + setup.logPath);
    }
    for (const EchoSetup& echo : setup.echoes) {
        add("echo to " + echo.port + " at " + std::to_string(echo.baud));
    }
    for (const std::uint16_t port : setup.tcpServers) {
        add("serve on TCP port " + std::to_string(port));
    }
    for (const std::string& destination : setup.udpDestinations) {
        add("send over UDP to " + destination);
    }
    char used[32] = "";
    const std::time_t when = static_cast<std::time_t>(setup.lastUsed);
    if (const std::tm* local = std::localtime(&when)) {
        std::strftime(used, sizeof used, "%Y-%m-%d %H:%M", local);
    }
    // A network source has no baud rate.
    const std::string baud = setup.port.find("://") != std::string::npos ? "network"
                             : setup.baud == 0                           ? "Automatic"
                                                                         : std::to_string(setup.baud);
    return {setup.port, baud, outputs.empty() ? "none" : outputs, used};
}

bool showSavedSetupsDialog(HWND owner, std::vector<SavedSetup>& setups, std::size_t& chosen) {
    SetupsContext context{&setups, &chosen};
    return DialogBoxParamA(sharedGdi().appInstance, dlgSavedSetups, owner, setupsProc,
                           reinterpret_cast<LPARAM>(&context)) == 1;
}

} // namespace veltaro
