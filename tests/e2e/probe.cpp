// Looks into the running program from outside, for the end-to-end test: where a control or an entry
// is on the screen (to click it as a user would), and what the tree holds. Prints to standard output.
//   probe control TITLE ID            centre of the visible control ID in the window TITLE
//   probe listitem TITLE ID TEXT      centre of the list box entry TEXT
//   probe choose TITLE ID TEXT        picks the entry TEXT of the drop-down list ID
//   probe treeitem ROW [X]            a point of tree row ROW (from 0) in the main window, X pixels in (60)
//   probe treecount                   number of tree items in the main window
//   probe rowcount TITLE ID           number of rows of the list view ID
//   probe exists TITLE                1 when a window titled TITLE is shown, else 0
//   probe focused TITLE               1 when the keyboard focus is in the window TITLE, else 0
//   probe menu                        1 when a popup menu is shown, else 0
//   probe text TITLE ID               the text of the control ID in the window TITLE
//   probe close TITLE                 asks the window TITLE to close, as its close button does
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Search {
    int id;
    const char* className;
    HWND found;
};

BOOL CALLBACK matchChild(HWND child, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    const bool idMatches = search->id < 0 || GetDlgCtrlID(child) == search->id;
    const bool classMatches = search->className == nullptr || lstrcmpiA(name, search->className) == 0;
    if (idMatches && classMatches && IsWindowVisible(child)) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND findChild(const char* title, int id, const char* className = nullptr) {
    HWND top = FindWindowA(nullptr, title);
    if (top == nullptr) {
        return nullptr;
    }
    Search search{id, className, nullptr};
    EnumChildWindows(top, matchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

int printPoint(HWND window, int x, int y) {
    POINT point{x, y};
    ClientToScreen(window, &point);
    std::printf("%ld %ld\n", point.x, point.y);
    return 0;
}

int fail(const std::string& why) {
    std::fprintf(stderr, "probe: %s\n", why.c_str());
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "control" && argc == 4) {
        HWND control = findChild(argv[2], std::atoi(argv[3]));
        if (control == nullptr) {
            return fail("no control " + std::string(argv[3]));
        }
        RECT rect;
        GetClientRect(control, &rect);
        return printPoint(control, rect.right / 2, rect.bottom / 2);
    }
    if (command == "listitem" && argc == 5) {
        HWND list = findChild(argv[2], std::atoi(argv[3]));
        if (list == nullptr) {
            return fail("no list " + std::string(argv[3]));
        }
        // Texts cross processes only as wide strings.
        wchar_t text[64];
        MultiByteToWideChar(CP_ACP, 0, argv[4], -1, text, 64);
        const LRESULT index =
            SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
        if (index == LB_ERR) {
            return fail("no entry " + std::string(argv[4]));
        }
        const auto height = static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
        const auto top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
        RECT rect;
        GetClientRect(list, &rect);
        return printPoint(list, rect.right / 2, (static_cast<int>(index) - top) * height + height / 2);
    }
    if (command == "choose" && argc == 5) {
        // Picks an entry of a drop-down list by its text, as choosing it with the mouse would.
        HWND box = findChild(argv[2], std::atoi(argv[3]));
        if (box == nullptr) {
            return fail("no drop-down list " + std::string(argv[3]));
        }
        wchar_t text[64];
        MultiByteToWideChar(CP_ACP, 0, argv[4], -1, text, 64);
        if (SendMessageW(box, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text)) == CB_ERR) {
            return fail("no entry " + std::string(argv[4]));
        }
        std::puts("1");
        return 0;
    }
    if (command == "treeitem" && (argc == 3 || argc == 4)) {
        HWND tree = findChild("Veltaro", -1, WC_TREEVIEWA);
        if (tree == nullptr) {
            return fail("no tree");
        }
        const auto height = static_cast<int>(SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0));
        return printPoint(tree, argc == 4 ? std::atoi(argv[3]) : 60, std::atoi(argv[2]) * height + height / 2);
    }
    if (command == "treecount") {
        HWND tree = findChild("Veltaro", -1, WC_TREEVIEWA);
        std::printf("%d\n", tree != nullptr ? static_cast<int>(SendMessageW(tree, TVM_GETCOUNT, 0, 0)) : -1);
        return 0;
    }
    if (command == "rowcount" && argc == 4) {
        HWND list = findChild(argv[2], std::atoi(argv[3]));
        std::printf("%d\n", list != nullptr ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : -1);
        return 0;
    }
    if (command == "focused" && argc == 3) {
        HWND window = FindWindowA(nullptr, argv[2]);
        GUITHREADINFO info;
        ZeroMemory(&info, sizeof info);
        info.cbSize = sizeof info;
        const bool focused = window != nullptr && GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
                             info.hwndFocus != nullptr && (info.hwndFocus == window || IsChild(window, info.hwndFocus));
        std::printf("%d\n", focused ? 1 : 0);
        return 0;
    }
    if (command == "menu") {
        HWND menu = FindWindowA("#32768", nullptr); // the system's popup menu class
        std::printf("%d\n", menu != nullptr && IsWindowVisible(menu) ? 1 : 0);
        return 0;
    }
    if (command == "exists" && argc == 3) {
        HWND window = FindWindowA(nullptr, argv[2]);
        std::printf("%d\n", window != nullptr && IsWindowVisible(window) ? 1 : 0);
        return 0;
    }
    if (command == "text" && argc == 4) {
        HWND control = findChild(argv[2], std::atoi(argv[3]));
        if (control == nullptr) {
            return fail("no control " + std::string(argv[3]));
        }
        char text[4096] = "";
        GetWindowTextA(control, text, sizeof text);
        std::printf("%s\n", text);
        return 0;
    }
    if (command == "close" && argc == 3) {
        HWND window = FindWindowA(nullptr, argv[2]);
        if (window == nullptr) {
            return fail("no window " + std::string(argv[2]));
        }
        PostMessageA(window, WM_CLOSE, 0, 0); // as its close button does
        return 0;
    }
    return fail("usage: probe control|listitem|treeitem|treecount|rowcount|exists|focused|menu|text|close ...");
}
