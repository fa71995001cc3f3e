#include "res/resource.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/pages/dialog_controls.h"
#include "ui/pages/network_output_dialogs.h"
#include "ui/pages/network_source_dialog.h"
#include "ui/pages/ntrip_dialog.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro {
namespace {

// What the driver saw in a dialog.
struct Seen {
    int focusedId = 0;
    std::string focusedText;
    bool textSelected = false;
    std::vector<std::string> rows; // the stream list's rows, cells joined by '|'
    std::string boxText;           // a message box's text
};
Seen seen;
const char* screenshot = nullptr; // taken of the next dialog when set
std::string keys;                 // typed into the next dialog: '\b' Backspace, '\r' Enter, '\x1b' Escape

// The fake caster behind "Streams...": what it lists or why it cannot, and the fields it was asked with.
std::vector<SourceTableStream> listed;
std::string problem; // empty: the fetch succeeds
NtripChoice asked;

// Each dialog shown from a record, and what came back: the result as text, "cancelled " before it when cancelled.
std::string networkSource(HWND owner) {
    NetworkSourceChoice choice;
    const bool ok = showNetworkSourceDialog(owner, {"tcp://gps.local:2947", "udp://:10110"}, choice);
    return (ok ? "" : "cancelled ") + choice.address + (choice.saveToFile ? " saved" : "") +
           (choice.echo ? " echoed to COM" + std::to_string(choice.echoPort) + " at " + std::to_string(choice.echoBaud)
                        : "");
}
std::string tcpServer(HWND owner) {
    std::string port;
    return showTcpServerDialog(owner, port) ? port : "cancelled " + port;
}
std::string udpOutput(HWND owner) {
    std::string target = "255.255.255.255:10110";
    return showUdpOutputDialog(owner, target) ? target : "cancelled " + target;
}
std::string ntrip(HWND owner) {
    NtripChoice choice{"caster.example", "2102", "", "me", "secret"};
    const bool ok = showNtripDialog(owner, choice, [](const NtripChoice& caster, auto& streams, std::string& why) {
        asked = caster;
        streams = listed;
        why = problem;
        return problem.empty();
    });
    return (ok ? "" : "cancelled ") + choice.host + ":" + choice.port + "/" + choice.mountpoint + " " + choice.user +
           ":" + choice.password;
}

void noteFocus(HWND dialog) {
    HWND focus = GetFocus();
    HWND control = GetParent(focus) == dialog ? focus : GetParent(focus); // an editable combo box's edit
    seen.focusedId = GetDlgCtrlID(control);
    seen.focusedText = controlText(control);
    DWORD start = 0;
    DWORD end = 0;
    SendMessageA(focus, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    seen.textSelected = start == 0 && end == seen.focusedText.size();
}

void lookAndCancel(HWND dialog) {
    noteFocus(dialog);
    if (screenshot != nullptr) {
        test::saveScreenshot(screenshot);
    }
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// Types the keys as the keyboard does, into whichever control has the focus when each arrives.
void typeKeys(HWND) {
    std::vector<INPUT> inputs;
    for (char c : keys) {
        const WORD special = c == '\b' ? VK_BACK : c == '\r' ? VK_RETURN : c == '\x1b' ? VK_ESCAPE : 0;
        for (DWORD up : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = special;
            input.ki.wScan = special != 0 ? 0 : static_cast<WORD>(c);
            input.ki.dwFlags = up | (special != 0 ? 0 : KEYEVENTF_UNICODE);
            inputs.push_back(input);
        }
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

class NetworkDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }
    NetworkDialogTest() : owner(300, 200) {
        seen = Seen{};
        screenshot = nullptr;
    }
    test::TestWindow owner;
};
using NtripDialogTest = NetworkDialogTest;

TEST_F(NetworkDialogTest, OpensWithItsFirstFieldFocusedAndItsTextSelected) {
    const struct {
        const char* title;
        std::string (*show)(HWND);
        int focusedId;
        const char* text;
        const char* cancelled; // what Cancel returns: the record untouched
        const char* screenshot;
    } cases[] = {
        {"Connect to a network source", networkSource, IDC_NETSOURCE_ADDRESS, "tcp://gps.local:2947", "cancelled ",
         "network_source_dialog"},
        {"Serve on a TCP port", tcpServer, IDC_TCPSERVER_PORT, "10110", "cancelled ", "tcp_server_dialog"},
        {"Send over UDP", udpOutput, IDC_UDPOUTPUT_TARGET, "255.255.255.255:10110", "cancelled 255.255.255.255:10110",
         "udp_output_dialog"},
        {"Corrections from an NTRIP caster", ntrip, IDC_NTRIP_HOST, "caster.example",
         "cancelled caster.example:2102/ me:secret", "ntrip_dialog"},
    };
    for (const auto& c : cases) {
        seen = Seen{};
        screenshot = c.screenshot;
        test::whenWindowAppears(c.title, lookAndCancel);
        EXPECT_EQ(c.show(owner.get()), c.cancelled) << c.title;
        EXPECT_EQ(seen.focusedId, c.focusedId) << c.title;
        EXPECT_EQ(seen.focusedText, c.text) << c.title;
        EXPECT_TRUE(seen.textSelected) << c.title << ": typing replaces the text offered";
    }
}

void tickSaveAndEchoToCom4(HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_NETSOURCE_SAVE_TO_FILE, BM_CLICK, 0, 0);
    SendDlgItemMessageA(dialog, IDC_NETSOURCE_ECHO, BM_CLICK, 0, 0);
    for (const auto& [id, text] : {std::pair{IDC_NETSOURCE_ECHO_PORT, "COM4"}, {IDC_NETSOURCE_ECHO_BAUD, "9600"}}) {
        const LRESULT index = SendDlgItemMessageA(dialog, id, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                  reinterpret_cast<LPARAM>(text));
        SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    SetFocus(GetDlgItem(dialog, IDC_NETSOURCE_ADDRESS)); // the user goes back to type the address
    typeKeys(dialog);
}

void tickEchoOnly(HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_NETSOURCE_ECHO, BM_CLICK, 0, 0);
    SetFocus(GetDlgItem(dialog, IDC_NETSOURCE_ADDRESS));
    typeKeys(dialog);
}

TEST_F(NetworkDialogTest, EnterAcceptsWhatWasTypedButNotAnEmptyField) {
    const struct {
        const char* title;
        std::string (*show)(HWND);
        void (*drive)(HWND);
        const char* keys; // an empty field ends with Escape, as Enter leaves the dialog open
        const char* result;
    } cases[] = {
        {"Connect to a network source", networkSource, typeKeys, "tcp://other:2947\r", "tcp://other:2947"},
        {"Connect to a network source", networkSource, tickSaveAndEchoToCom4, "udp://:10111\r",
         "udp://:10111 saved echoed to COM4 at 9600"},
        {"Connect to a network source", networkSource, tickEchoOnly, "other:2947\r", "other:2947"}, // no port: no echo
        {"Connect to a network source", networkSource, typeKeys, "\b\r\x1b", "cancelled "},
        {"Serve on a TCP port", tcpServer, typeKeys, "29x47\r", "2947"},
        {"Serve on a TCP port", tcpServer, typeKeys, "\b\r\x1b", "cancelled "},
        {"Send over UDP", udpOutput, typeKeys, "192.168.1.255:10110\r", "192.168.1.255:10110"},
    };
    for (const auto& c : cases) {
        keys = c.keys;
        test::whenWindowAppears(c.title, c.drive);
        EXPECT_EQ(c.show(owner.get()), c.result) << c.title << " " << c.keys;
    }
}

void readBox(HWND box) {
    seen.boxText = controlText(GetDlgItem(box, 0xFFFF)); // a message box's text control
    SendMessageA(box, WM_COMMAND, IDOK, 0);
}

// Presses "Streams...", reads the list, selects its second row and presses OK (Cancel when OK cannot close).
void fetchStreams(HWND dialog) {
    test::whenWindowAppears("Veltaro", readBox);
    SendDlgItemMessageA(dialog, IDC_NTRIP_STREAMS, BM_CLICK, 0, 0);
    HWND list = GetDlgItem(dialog, IDC_NTRIP_STREAM_LIST);
    const int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        std::string cells;
        for (int column = 0; column < 5; ++column) {
            char text[64] = "";
            LVITEMA item{};
            item.iSubItem = column;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
            cells += (column == 0 ? "" : "|") + std::string(text);
        }
        seen.rows.push_back(cells);
    }
    if (rows > 1) {
        LVITEMA selected{};
        selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        selected.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageA(list, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&selected));
        test::saveScreenshot("ntrip_dialog_streams");
    }
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    if (IsWindowVisible(dialog)) {
        noteFocus(dialog);
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

TEST_F(NtripDialogTest, StreamsFillsTheListAndARowChosenThereIsTheMountpoint) {
    const struct {
        const char* what;
        std::vector<SourceTableStream> streams;
        const char* problem;
        std::vector<std::string> rows;
        const char* boxText;
        const char* result;
    } cases[] = {
        {"two streams",
         {{"POTSDAM0", "Potsdam", "RTCM 3.2", "1004(1),1005(10)", "DEU", 52.41, 13.05, false},
          {"SANTIAGO1", "Santiago", "RTCM 3.3", "1077(1)", "CHL", -33.45, -70.67, true}},
         "",
         {"POTSDAM0|RTCM 3.2|Potsdam|DEU|52.41 N 13.05 E", "SANTIAGO1|RTCM 3.3|Santiago|CHL|33.45 S 70.67 W"},
         "",
         "caster.example:2102/SANTIAGO1 me:secret"},
        {"no streams", {}, "", {}, "The caster lists no streams.", "cancelled caster.example:2102/ me:secret"},
        {"a caster that cannot be reached",
         {},
         "Cannot connect to caster.example:2102.",
         {},
         "Cannot connect to caster.example:2102.",
         "cancelled caster.example:2102/ me:secret"},
    };
    for (const auto& c : cases) {
        seen = Seen{};
        listed = c.streams;
        problem = c.problem;
        asked = NtripChoice{};
        test::whenWindowAppears("Corrections from an NTRIP caster", fetchStreams);
        EXPECT_EQ(ntrip(owner.get()), c.result) << c.what;
        EXPECT_EQ(asked.host + ":" + asked.port + " " + asked.password, "caster.example:2102 secret") << c.what;
        EXPECT_EQ(seen.rows, c.rows) << c.what;
        EXPECT_EQ(seen.boxText, c.boxText) << c.what;
        EXPECT_EQ(seen.focusedId, c.rows.empty() ? IDC_NTRIP_MOUNTPOINT : 0)
            << c.what << ": OK asks for the mountpoint";
    }
}

} // namespace
} // namespace veltaro
