#include "res/resource.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/pages/dialog_controls.h"
#include "ui/pages/network_output_dialogs.h"
#include "ui/pages/network_source_dialog.h"
#include "ui/pages/ntrip_dialog.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace veltaro {
namespace {

// What the driver saw in a dialog, and what it is to do there.
struct Seen {
    int focusedId = 0;
    std::string focusedText;
    bool textSelected = false;
    std::vector<std::string> rows; // the stream list's rows, cells joined by '|'
    std::string mountpoint;        // the Mountpoint field once a row was selected
    std::string boxText;           // a message box's text
    bool stayedOpen = false;
};
Seen seen;
const char* screenshot = nullptr; // taken of the next dialog when set
std::string keys;                 // typed into the next dialog, '\b' for Backspace, '\r' for Enter, '\x1b' for Escape

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

TEST_F(NetworkDialogTest, OpensWithItsFirstFieldFocusedAndItsTextSelected) {
    const struct {
        const char* title;
        std::function<bool(HWND)> show;
        int focusedId;
        const char* text;
        const char* screenshot;
    } cases[] = {
        {"Connect to a network source",
         [](HWND owner) {
             NetworkSourceChoice choice;
             return showNetworkSourceDialog(owner, {"tcp://gps.local:2947", "udp://:10110"}, choice);
         },
         IDC_NETSOURCE_ADDRESS, "tcp://gps.local:2947", "network_source_dialog"},
        {"Connect to a network source",
         [](HWND owner) {
             NetworkSourceChoice choice;
             return showNetworkSourceDialog(owner, {}, choice);
         },
         IDC_NETSOURCE_ADDRESS, "", nullptr},
        {"Serve on a TCP port",
         [](HWND owner) {
             std::string port;
             return showTcpServerDialog(owner, port) || !port.empty(); // Cancel leaves the text alone
         },
         IDC_TCPSERVER_PORT, "10110", "tcp_server_dialog"},
        {"Send over UDP",
         [](HWND owner) {
             std::string target = "255.255.255.255:10110";
             return showUdpOutputDialog(owner, target);
         },
         IDC_UDPOUTPUT_TARGET, "255.255.255.255:10110", "udp_output_dialog"},
        {"Corrections from an NTRIP caster",
         [](HWND owner) {
             NtripChoice choice{"caster.example", "2101", "POTSDAM0", "me", "secret"};
             return showNtripDialog(owner, choice, nullptr);
         },
         IDC_NTRIP_HOST, "caster.example", nullptr},
    };
    for (const auto& c : cases) {
        seen = Seen{};
        screenshot = c.screenshot;
        test::whenWindowAppears(c.title, lookAndCancel);
        EXPECT_FALSE(c.show(owner.get())) << c.title;
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

TEST_F(NetworkDialogTest, EnterReturnsTheTypedAddressWithTheSavingAndEchoChoices) {
    const struct {
        const char* what;
        void (*drive)(HWND);
        const char* keys;
        bool accepted;
        NetworkSourceChoice expected;
    } cases[] = {
        {"an address typed over the one offered",
         typeKeys,
         "tcp://gps.local:2947\r",
         true,
         {"tcp://gps.local:2947", false, false, 0, 4800}},
        {"saved and echoed", tickSaveAndEchoToCom4, "udp://:10110\r", true, {"udp://:10110", true, true, 4, 9600}},
        {"echo ticked with no port chosen",
         tickEchoOnly,
         "gps.local:2947\r",
         true,
         {"gps.local:2947", false, false, 0, 4800}},
        // Enter stays in the dialog; Escape then closes it.
        {"the address erased", typeKeys, "\b\r\x1b", false, {"as before", false, false, 0, 4800}},
    };
    for (const auto& c : cases) {
        NetworkSourceChoice choice{"as before"};
        keys = c.keys;
        test::whenWindowAppears("Connect to a network source", c.drive);
        EXPECT_EQ(showNetworkSourceDialog(owner.get(), {"tcp://old:1"}, choice), c.accepted) << c.what;
        EXPECT_EQ(choice.address, c.expected.address) << c.what;
        EXPECT_EQ(choice.saveToFile, c.expected.saveToFile) << c.what;
        EXPECT_EQ(choice.echo, c.expected.echo) << c.what;
        EXPECT_EQ(choice.echoPort, c.expected.echoPort) << c.what;
        EXPECT_EQ(choice.echoBaud, c.expected.echoBaud) << c.what;
    }
}

TEST_F(NetworkDialogTest, EnterReturnsTheTypedPortOrTarget) {
    const struct {
        const char* what;
        bool (*show)(HWND, std::string&);
        const char* title;
        const char* keys;
        bool accepted;
        const char* expected;
    } cases[] = {
        {"a port", showTcpServerDialog, "Serve on a TCP port", "2947\r", true, "2947"},
        {"a port with letters among its digits", showTcpServerDialog, "Serve on a TCP port", "29x47\r", true, "2947"},
        {"no port", showTcpServerDialog, "Serve on a TCP port", "\b\r\x1b", false, "as before"},
        {"a broadcast target", showUdpOutputDialog, "Send over UDP", "192.168.1.255:10110\r", true,
         "192.168.1.255:10110"},
    };
    for (const auto& c : cases) {
        std::string text = "as before";
        keys = c.keys;
        test::whenWindowAppears(c.title, typeKeys);
        EXPECT_EQ(c.show(owner.get(), text), c.accepted) << c.what;
        EXPECT_EQ(text, c.expected) << c.what;
    }
}

void readBox(HWND box) {
    seen.boxText = controlText(GetDlgItem(box, 0xFFFF)); // a message box's text control
    SendMessageA(box, WM_COMMAND, IDOK, 0);
}

// Presses "Streams...", reads the list, selects its second row and confirms (or cancels when OK cannot close).
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
        seen.mountpoint = controlText(GetDlgItem(dialog, IDC_NTRIP_MOUNTPOINT));
        test::saveScreenshot("ntrip_dialog");
    }
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    seen.stayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

TEST(NtripDialogTest, StreamsFillsTheListAndARowChosenThereIsTheMountpoint) {
    createSharedGdi();
    test::TestWindow owner(300, 200);
    const std::vector<SourceTableStream> twoStreams = {
        {"POTSDAM0", "Potsdam", "RTCM 3.2", "1004(1),1005(10)", "DEU", 52.41, 13.05, false},
        {"SANTIAGO1", "Santiago", "RTCM 3.3", "1077(1)", "CHL", -33.45, -70.67, true},
    };
    const struct {
        const char* what;
        bool fetched;
        std::vector<SourceTableStream> streams;
        std::vector<std::string> rows;
        const char* boxText;
        bool accepted;
    } cases[] = {
        {"two streams",
         true,
         twoStreams,
         {"POTSDAM0|RTCM 3.2|Potsdam|DEU|52.41 N 13.05 E", "SANTIAGO1|RTCM 3.3|Santiago|CHL|33.45 S 70.67 W"},
         "",
         true},
        {"no streams", true, {}, {}, "The caster lists no streams.", false},
        {"a caster that cannot be reached", false, {}, {}, "Cannot connect to caster.example:2101.", false},
    };
    for (const auto& c : cases) {
        seen = Seen{};
        NtripChoice asked;
        const FetchSourceTable fetch = [&](const NtripChoice& caster, std::vector<SourceTableStream>& streams,
                                           std::string& problem) {
            asked = caster;
            streams = c.streams;
            problem = c.fetched ? "" : c.boxText;
            return c.fetched;
        };
        NtripChoice choice{"caster.example", "2101", "", "me", "secret"};
        test::whenWindowAppears("Corrections from an NTRIP caster", fetchStreams);
        EXPECT_EQ(showNtripDialog(owner.get(), choice, fetch), c.accepted) << c.what;
        EXPECT_EQ(asked.host, "caster.example") << c.what << ": the fields are what is fetched with";
        EXPECT_EQ(asked.password, "secret") << c.what;
        EXPECT_EQ(seen.rows, c.rows) << c.what;
        EXPECT_EQ(seen.boxText, c.boxText) << c.what;
        EXPECT_EQ(choice.mountpoint, c.accepted ? "SANTIAGO1" : "") << c.what;
        EXPECT_EQ(seen.stayedOpen, !c.accepted) << c.what;
    }
}

void pressOk(HWND dialog) {
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    seen.stayedOpen = IsWindow(dialog) && IsWindowVisible(dialog);
    if (seen.stayedOpen) {
        noteFocus(dialog);
        SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
}

TEST(NtripDialogTest, OkNeedsACasterAndAMountpoint) {
    createSharedGdi();
    test::TestWindow owner(300, 200);
    const struct {
        const char* what;
        NtripChoice choice;
        bool accepted;
        int focusedId; // where the focus went when OK could not close
    } cases[] = {
        {"every field as used before", {"caster.example", "2102", "POTSDAM0", "me", "secret"}, true, 0},
        {"no caster", {"", "2101", "POTSDAM0", "", ""}, false, IDC_NTRIP_HOST},
        {"no mountpoint", {"caster.example", "2101", "", "", ""}, false, IDC_NTRIP_MOUNTPOINT},
    };
    for (const auto& c : cases) {
        seen = Seen{};
        NtripChoice choice = c.choice;
        test::whenWindowAppears("Corrections from an NTRIP caster", pressOk);
        EXPECT_EQ(showNtripDialog(owner.get(), choice, nullptr), c.accepted) << c.what;
        EXPECT_EQ(seen.focusedId, c.focusedId) << c.what;
        const auto fields = [](const NtripChoice& n) {
            return std::vector<std::string>{n.host, n.port, n.mountpoint, n.user, n.password};
        };
        EXPECT_EQ(fields(choice), fields(c.choice))
            << c.what << ": the fields are filled from the choice and read back";
    }
}

} // namespace
} // namespace veltaro
