#include "ui/pages/start_page.h"

#include "res/resource.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro {
namespace {

// Stands in for the main frame: keeps the values "Start device" hands over.
struct RecordingStarter : DeviceStarter {
    struct Call {
        int port, baud;
        bool saveToFile, echo;
        int echoPort, echoBaud;
    };
    std::vector<Call> calls;
    int filesOpened = 0;
    void startDevice(int port, int baud, bool saveToFile, bool echo, int echoPort, int echoBaud) override {
        calls.push_back({port, baud, saveToFile, echo, echoPort, echoBaud});
    }
    void openGpsDataFile() override { ++filesOpened; }
    void startSavedDevice() override {}
};

// Ports the spooler reports, as Wine keeps them in the registry.
void registerComPorts(std::initializer_list<const char*> names) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports", 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const char* name : names) {
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
    }
    RegCloseKey(key);
}

struct Entry {
    std::string text;
    int data;
    bool operator==(const Entry&) const = default;
};

std::vector<Entry> listEntries(HWND list) {
    std::vector<Entry> entries;
    const auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = "";
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back({text, static_cast<int>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0))});
    }
    return entries;
}

std::vector<Entry> comboEntries(HWND box) {
    std::vector<Entry> entries;
    const auto count = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = "";
        SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back({text, static_cast<int>(SendMessageA(box, CB_GETITEMDATA, static_cast<WPARAM>(i), 0))});
    }
    return entries;
}

std::string selectedComboText(HWND box) {
    const LRESULT index = SendMessageA(box, CB_GETCURSEL, 0, 0);
    char text[64] = "";
    if (index != CB_ERR) {
        SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    }
    return text;
}

class StartPageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        createSharedGdi();
        registerComPorts({"COM10:", "COM7:"});
    }

    StartPageTest() : window(700, 500), root(nullptr), page(&root, sharedGdi()) {
        root.create(window.get());
        page.mainFrame = &starter;
        page.dock = DOCK_FILL;
        page.create(root.hwnd);
        MoveWindow(root.hwnd, 0, 0, 500, 400, TRUE);
    }

    HWND control(int id) const { return GetDlgItem(page.hwnd, id); }

    test::TestWindow window;
    ContainerPane root;
    StartPage page;
    RecordingStarter starter;
};

TEST_F(StartPageTest, ListsTheComPortsInNumberOrderWithTheirNumbers) {
    ASSERT_NE(page.hwnd, nullptr) << "the dialog resource did not load";
    const std::vector<Entry> ports = listEntries(control(IDC_START_PORT_LIST));
    ASSERT_GE(ports.size(), 2u);
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].text.compare(0, 3, "COM"), 0) << ports[i].text << ": only COM ports";
        EXPECT_EQ(ports[i].data, std::stoi(ports[i].text.substr(3))) << ports[i].text;
        if (i > 0) {
            EXPECT_LT(ports[i - 1].data, ports[i].data) << "in number order";
        }
    }
    const auto find = [&](const std::string& name) {
        for (std::size_t i = 0; i < ports.size(); ++i) {
            if (ports[i].text == name) {
                return static_cast<int>(i);
            }
        }
        return -1;
    };
    ASSERT_NE(find("COM10"), -1) << "the trailing colon is gone";
    ASSERT_NE(find("COM7"), -1);
    EXPECT_LT(find("COM7"), find("COM10")) << "COM7 before COM10, as a user counts";
    EXPECT_EQ(SendMessageA(control(IDC_START_PORT_LIST), LB_GETCURSEL, 0, 0), 0);

    EXPECT_EQ(comboEntries(control(IDC_START_ECHO_PORT)), ports);
    EXPECT_EQ(SendMessageA(control(IDC_START_ECHO_PORT), CB_GETCURSEL, 0, 0), CB_ERR);
}

TEST_F(StartPageTest, BaudBoxesOfferFifteenRatesAndTheDeviceAlsoAutomatic) {
    const std::vector<Entry> expected = {{"110", 110},       {"300", 300},       {"600", 600},      {"1200", 1200},
                                         {"2400", 2400},     {"4800", 4800},     {"9600", 9600},    {"14400", 14400},
                                         {"19200", 19200},   {"38400", 38400},   {"56000", 56000},  {"57600", 57600},
                                         {"115200", 115200}, {"128000", 128000}, {"256000", 256000}};
    std::vector<Entry> automaticFirst = {{"Automatic", 0}};
    automaticFirst.insert(automaticFirst.end(), expected.begin(), expected.end());
    EXPECT_EQ(comboEntries(control(IDC_START_BAUD)), automaticFirst);
    EXPECT_EQ(comboEntries(control(IDC_START_ECHO_BAUD)), expected) << "an echo sends at a rate chosen";
    EXPECT_EQ(selectedComboText(control(IDC_START_BAUD)), "4800");
    EXPECT_EQ(selectedComboText(control(IDC_START_ECHO_BAUD)), "115200");
    EXPECT_EQ(IsDlgButtonChecked(page.hwnd, IDC_START_SAVE_TO_FILE), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page.hwnd, IDC_START_ECHO), BST_UNCHECKED);
}

TEST_F(StartPageTest, ControlsFollowTheWindowSize) {
    RECT client;
    GetClientRect(page.hwnd, &client);
    ASSERT_EQ(client.right, 500);
    ASSERT_EQ(client.bottom, 400);
    const int c = sharedGdi().lineHeight();
    const int b = 400 - 5 * c - 100;
    const int x = 250;
    struct Case {
        int id;
        RECT expected;
        bool fullHeight; // a drop-down box's own height is its edit field's, not the list's
    };
    const Case cases[] = {
        {IDC_START_LIVE_GROUP, {4, 0, 496, b + c + 16}, true},
        {IDC_START_PORT_LIST, {8, c + 8, x - 8, c + 8 + b}, true},
        {IDC_START_BAUD, {x, c + 8, 2 * x - 16, 0}, false},
        {IDC_START_SAVE_TO_FILE, {x, 2 * c + 24, 2 * x - 16, 3 * c + 26}, true},
        {IDC_START_ECHO, {x, 3 * c + 40, 2 * x - 16, 4 * c + 42}, true},
        {IDC_START_ECHO_PORT, {x + 16, 4 * c + 56, 2 * x - 8, 0}, false},
        {IDC_START_ECHO_BAUD, {x + 16, 5 * c + 72, 2 * x - 8, 0}, false},
        {IDC_START_DEVICE, {x, 6 * c + 88, 2 * x - 16, 7 * c + 100}, true},
        {IDC_START_KNOWN_GROUP, {4, b + c + 32, 496, b + 3 * c + 56}, true},
        {IDC_START_SAVED_DEVICE, {8, b + 2 * c + 40, 492, b + 3 * c + 52}, true},
        {IDC_START_FILE_GROUP, {4, b + 3 * c + 64, 496, b + 5 * c + 88}, true},
        {IDC_START_OPEN_FILE, {8, b + 4 * c + 72, 492, b + 5 * c + 84}, true},
    };
    for (const Case& k : cases) {
        const RECT actual = test::rectInParent(control(k.id));
        EXPECT_EQ(actual.left, k.expected.left) << k.id;
        EXPECT_EQ(actual.top, k.expected.top) << k.id;
        EXPECT_EQ(actual.right, k.expected.right) << k.id;
        if (k.fullHeight) {
            EXPECT_EQ(actual.bottom, k.expected.bottom) << k.id;
        }
    }
    EXPECT_EQ(400 - (b + 5 * c + 84), 16) << "the last button ends 16 pixels above the bottom";
    test::saveScreenshot("start_page");
}

TEST_F(StartPageTest, StartDeviceHandsOverTheSixValues) {
    HWND ports = control(IDC_START_PORT_LIST);
    const std::vector<Entry> entries = listEntries(ports);
    ASSERT_GE(entries.size(), 2u);
    SendMessageA(ports, LB_SETCURSEL, 1, 0);
    SendMessageA(control(IDC_START_BAUD), CB_SETCURSEL, 7, 0); // 9600
    CheckDlgButton(page.hwnd, IDC_START_SAVE_TO_FILE, BST_CHECKED);
    CheckDlgButton(page.hwnd, IDC_START_ECHO, BST_CHECKED); // but no echo port chosen
    SendMessageA(page.hwnd, WM_COMMAND, MAKEWPARAM(IDC_START_DEVICE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(control(IDC_START_DEVICE)));
    ASSERT_EQ(starter.calls.size(), 1u);
    const RecordingStarter::Call& call = starter.calls[0];
    EXPECT_EQ(call.port, entries[1].data);
    EXPECT_EQ(call.baud, 9600);
    EXPECT_TRUE(call.saveToFile);
    EXPECT_TRUE(call.echo);
    EXPECT_EQ(call.echoPort, -1);
    EXPECT_EQ(call.echoBaud, 115200);

    SendMessageA(ports, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SendMessageA(control(IDC_START_BAUD), CB_SETCURSEL, 0, 0);
    SendMessageA(page.hwnd, WM_COMMAND, MAKEWPARAM(IDC_START_DEVICE, BN_CLICKED), 0);
    ASSERT_EQ(starter.calls.size(), 2u);
    EXPECT_EQ(starter.calls[1].port, -1) << "no port selected";
    EXPECT_EQ(starter.calls[1].baud, 0) << "Automatic";
}

TEST_F(StartPageTest, FileButtonOpensAFileAndTheOthersDoNothing) {
    for (int id : {IDC_START_SAVED_DEVICE, IDC_START_PORT_LIST}) {
        SendMessageA(page.hwnd, WM_COMMAND, MAKEWPARAM(id, LBN_DBLCLK), 0);
    }
    EXPECT_TRUE(starter.calls.empty());
    EXPECT_EQ(starter.filesOpened, 0);
    SendMessageA(page.hwnd, WM_COMMAND, MAKEWPARAM(IDC_START_OPEN_FILE, BN_CLICKED), 0);
    EXPECT_EQ(starter.filesOpened, 1);
    EXPECT_TRUE(starter.calls.empty());
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page.hwnd, IDC_START_SAVED_DEVICE))) << "no saved parameters to start from";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page.hwnd, IDC_START_OPEN_FILE)));
}

} // namespace
} // namespace veltaro
