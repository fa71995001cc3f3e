#include "ui/pages/add_echo_dialog.h"

#include "res/resource.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace veltaro {
namespace {

// What the dialog looked like when the driver found it.
struct Seen {
    int ports = 0;
    int portSelection = -2;
    int firstPort = -2; // the item data of the first port listed
    int bauds = 0;
    int baudSelection = -2;
    bool okEnabledAtFirst = true;
    bool stayedOpenWithoutBaud = false;
};
Seen seen;

int selectEntry(HWND dialog, int listId, const char* text) {
    HWND list = GetDlgItem(dialog, listId);
    const LRESULT index =
        SendMessageA(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(text));
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(listId, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
    return static_cast<int>(index);
}

void look(HWND dialog) {
    seen.ports = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ADDECHO_PORT_LIST, LB_GETCOUNT, 0, 0));
    seen.portSelection = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ADDECHO_PORT_LIST, LB_GETCURSEL, 0, 0));
    seen.firstPort = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ADDECHO_PORT_LIST, LB_GETITEMDATA, 0, 0));
    seen.bauds = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ADDECHO_BAUD_LIST, LB_GETCOUNT, 0, 0));
    seen.baudSelection = static_cast<int>(SendDlgItemMessageA(dialog, IDC_ADDECHO_BAUD_LIST, LB_GETCURSEL, 0, 0));
    seen.okEnabledAtFirst = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
}

void chooseAndConfirm(HWND dialog) {
    look(dialog);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0); // no baud rate yet: the dialog stays
    seen.stayedOpenWithoutBaud = IsWindow(dialog) && IsWindowVisible(dialog);
    selectEntry(dialog, IDC_ADDECHO_PORT_LIST, "COM4");
    selectEntry(dialog, IDC_ADDECHO_BAUD_LIST, "9600");
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
}

// Keys as the keyboard sends them, to whichever window has the focus when each arrives.
void pressKeys(std::initializer_list<WORD> keys) {
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
        INPUT input;
        ZeroMemory(&input, sizeof input);
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        inputs.push_back(input);
        input.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(input);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// The keyboard alone: from the first focus to the baud list, one rate down, Enter.
void chooseAndPressEnter(HWND dialog) {
    look(dialog);
    pressKeys({VK_TAB, VK_TAB, VK_DOWN, VK_RETURN});
}

void cancel(HWND dialog) {
    look(dialog);
    selectEntry(dialog, IDC_ADDECHO_BAUD_LIST, "9600");
    SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

class AddEchoDialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }
    AddEchoDialogTest() : owner(300, 200) { seen = Seen{}; }
    test::TestWindow owner;
};

TEST_F(AddEchoDialogTest, OkReturnsTheChosenPortAndBaudRate) {
    int port = 0;
    int baud = 0;
    test::whenWindowAppears("Add Echo:", chooseAndConfirm);
    EXPECT_TRUE(showAddEchoDialog(owner.get(), port, baud));
    EXPECT_EQ(port, 4);
    EXPECT_EQ(baud, 9600);
    EXPECT_GE(seen.ports, 1);
    EXPECT_EQ(seen.portSelection, 0) << "the first port is selected";
    EXPECT_EQ(seen.bauds, 15);
    EXPECT_EQ(seen.baudSelection, LB_ERR) << "no baud rate is selected";
    EXPECT_FALSE(seen.okEnabledAtFirst) << "OK waits for a baud rate";
    EXPECT_TRUE(seen.stayedOpenWithoutBaud);
}

TEST_F(AddEchoDialogTest, EnterConfirmsOnceABaudRateIsChosen) {
    int port = 0;
    int baud = 0;
    test::whenWindowAppears("Add Echo:", chooseAndPressEnter);
    EXPECT_TRUE(showAddEchoDialog(owner.get(), port, baud));
    EXPECT_EQ(port, seen.firstPort) << "the port selected at first";
    EXPECT_EQ(baud, 110);
}

TEST_F(AddEchoDialogTest, CancelLeavesTheValuesAlone) {
    int port = 0;
    int baud = 0;
    test::whenWindowAppears("Add Echo:", cancel);
    EXPECT_FALSE(showAddEchoDialog(owner.get(), port, baud));
    EXPECT_EQ(port, 0);
    EXPECT_EQ(baud, 0);
}

} // namespace
} // namespace veltaro
