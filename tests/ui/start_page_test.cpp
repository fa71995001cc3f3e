#include "ui/pages/start_page.h"

#include "res/resource.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/framework/gdi_owners.h"
#include "ui/main/main_frame.h"
#include "ui/pages/com_ports.h"
#include "ui/pages/dialog_controls.h"

#include <dbt.h>

// The device GUIDs are defined here, not looked for in a library.
#include <initguid.h>

#include <devguid.h>
#include <setupapi.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <optional>
#include <ostream>
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

void unregisterComPorts(std::initializer_list<const char*> names) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports", 0,
                            KEY_SET_VALUE, &key),
              ERROR_SUCCESS);
    for (const char* name : names) {
        RegDeleteValueA(key, name);
    }
    RegCloseKey(key);
}

void removeDevice(const char* id) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (SetupDiOpenDeviceInfoA(set, id, nullptr, 0, &device)) {
        SetupDiRemoveDevice(set, &device);
    }
    SetupDiDestroyDeviceInfoList(set);
}

// A device with a COM port as Windows installs one: of the ports class, or a modem offering the COM port
// interface; the port's name in the device's registry key; a friendly name, a device description or both.
// Wine makes none of its own. The device is gone again when the object is.
struct PortDevice {
    struct Setup {
        const char* id; // the device instance
        const char* portName;
        const char* friendlyName; // empty: none
        const char* description;  // empty: none
        bool modem;
    };

    explicit PortDevice(const Setup& setup) : id(setup.id) {
        removeDevice(id); // left over by a run that did not end
        const GUID& kind = setup.modem ? GUID_DEVCLASS_MODEM : GUID_DEVCLASS_PORTS;
        HDEVINFO set = SetupDiCreateDeviceInfoList(&kind, nullptr);
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        made = SetupDiCreateDeviceInfoA(set, id, &kind, *setup.description != '\0' ? setup.description : nullptr,
                                        nullptr, 0, &device) &&
               SetupDiRegisterDeviceInfo(set, &device, 0, nullptr, nullptr, nullptr);
        if (made && *setup.friendlyName != '\0') {
            made = SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME,
                                                     reinterpret_cast<const BYTE*>(setup.friendlyName),
                                                     static_cast<DWORD>(std::strlen(setup.friendlyName) + 1));
        }
        if (made && setup.modem) {
            SP_DEVICE_INTERFACE_DATA port{};
            port.cbSize = sizeof port;
            made = SetupDiCreateDeviceInterfaceA(set, &device, &GUID_DEVINTERFACE_COMPORT, nullptr, 0, &port);
        }
        if (made) {
            HKEY key = SetupDiCreateDevRegKeyA(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
            made = key != INVALID_HANDLE_VALUE &&
                   RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(setup.portName),
                                  static_cast<DWORD>(std::strlen(setup.portName) + 1)) == ERROR_SUCCESS;
            if (key != INVALID_HANDLE_VALUE) {
                RegCloseKey(key);
            }
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    ~PortDevice() { removeDevice(id); }
    PortDevice(const PortDevice&) = delete;
    PortDevice& operator=(const PortDevice&) = delete;

    const char* id;
    bool made = false;
};

struct Entry {
    std::string text;
    int data;
    bool operator==(const Entry&) const = default;
};

void PrintTo(const Entry& entry, std::ostream* out) {
    *out << '"' << entry.text << "\" " << entry.data;
}

std::vector<Entry> listEntries(HWND list) {
    std::vector<Entry> entries;
    const auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back({text, static_cast<int>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0))});
    }
    return entries;
}

std::vector<Entry> comboEntries(HWND box) {
    std::vector<Entry> entries;
    const auto count = static_cast<int>(SendMessageA(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        entries.push_back({text, static_cast<int>(SendMessageA(box, CB_GETITEMDATA, static_cast<WPARAM>(i), 0))});
    }
    return entries;
}

// The entries of the ports numbered first to last, in the order listed.
std::vector<Entry> between(const std::vector<Entry>& entries, int first, int last) {
    std::vector<Entry> found;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(found),
                 [&](const Entry& entry) { return entry.data >= first && entry.data <= last; });
    return found;
}

int indexOf(const std::vector<Entry>& entries, int data) {
    const auto found =
        std::find_if(entries.begin(), entries.end(), [&](const Entry& entry) { return entry.data == data; });
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
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

TEST(StartPagePortLabels, TheDescriptionFollowsTheNameWithoutThePortItEndsWith) {
    struct Case {
        const char* name;
        const char* description;
        const char* label;
    };
    const Case cases[] = {
        {"COM5", "u-blox GNSS receiver (COM5)", "COM5  u-blox GNSS receiver"},
        {"COM12", "USB Serial Port (COM12)", "COM12  USB Serial Port"},
        {"COM3", "Communications Port", "COM3  Communications Port"}, // a device description names no port
        {"COM8", " Standard Serial over Bluetooth link (COM8)  ", "COM8  Standard Serial over Bluetooth link"},
        {"COM1", "Prolific USB-to-Serial Comm Port (COM10)", "COM1  Prolific USB-to-Serial Comm Port (COM10)"},
        {"COM7", "(COM7)", "COM7"},
        {"COM4", "", "COM4"},
        {"COM4", "  ", "COM4"},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(portLabel(k.name, k.description), k.label) << k.name << " \"" << k.description << '"';
    }
}

TEST_F(StartPageTest, ListsEachPortWithTheDescriptionOfItsDevice) {
    struct Case {
        PortDevice::Setup device;
        Entry listed; // data 0: not listed
    };
    const Case cases[] = {
        {{"ROOT\\VELTARO_TEST\\0031", "COM31", "u-blox GNSS receiver (COM31)", "USB Serial Device", false},
         {"COM31  u-blox GNSS receiver", 31}},
        {{"ROOT\\VELTARO_TEST\\0032", "COM32", "", "Communications Port", false}, {"COM32  Communications Port", 32}},
        {{"ROOT\\VELTARO_TEST\\0033", "COM33", "Bluetooth modem (COM33)", "Modem", true},
         {"COM33  Bluetooth modem", 33}},
        // The spooler reports COM34 too: it is listed once, with its description.
        {{"ROOT\\VELTARO_TEST\\0034", "COM34", "USB Serial Port (COM34)", "", false}, {"COM34  USB Serial Port", 34}},
        {{"ROOT\\VELTARO_TEST\\0035", "LPT3", "Printer Port (LPT3)", "", false}, {"", 0}},
    };
    std::vector<std::unique_ptr<PortDevice>> devices;
    std::vector<Entry> expected;
    for (const Case& k : cases) {
        devices.push_back(std::make_unique<PortDevice>(k.device));
        ASSERT_TRUE(devices.back()->made) << k.device.id;
        if (k.listed.data != 0) {
            expected.push_back(k.listed);
        }
    }
    registerComPorts({"COM34:"});
    page.fillPorts();
    unregisterComPorts({"COM34:"});

    const std::vector<Entry> ports = listEntries(control(IDC_START_PORT_LIST));
    EXPECT_EQ(between(ports, 31, 35), expected);
    EXPECT_EQ(std::count_if(ports.begin(), ports.end(),
                            [](const Entry& entry) { return entry.text.find("LPT") != std::string::npos; }),
              0)
        << "a printer's port is no COM port";
    EXPECT_EQ(comboEntries(control(IDC_START_ECHO_PORT)), ports);
}

TEST_F(StartPageTest, LongDescriptionScrollsSidewaysInTheSameLayout) {
    HWND list = control(IDC_START_PORT_LIST);
    const RECT layout = test::rectInParent(list);
    EXPECT_EQ(GetWindowLongPtrA(list, GWL_STYLE) & WS_HSCROLL, 0) << "names alone fit";

    std::optional<PortDevice> receiver;
    receiver.emplace(PortDevice::Setup{"ROOT\\VELTARO_TEST\\0031", "COM31",
                                       "Silicon Labs CP210x USB to UART Bridge in the docking station (COM31)", "",
                                       false});
    ASSERT_TRUE(receiver->made);
    page.fillPorts();
    const std::string label = "COM31  Silicon Labs CP210x USB to UART Bridge in the docking station";
    EXPECT_EQ(between(listEntries(list), 31, 31), (std::vector<Entry>{{label, 31}}));
    SIZE text{0, 0};
    {
        const WindowDC dc(list);
        const SelectedObject font(dc.get(), reinterpret_cast<HGDIOBJ>(SendMessageA(list, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32A(dc.get(), label.c_str(), static_cast<int>(label.size()), &text);
    }
    RECT client;
    GetClientRect(list, &client);
    ASSERT_GT(text.cx, client.right) << "the label is wider than the list";
    EXPECT_GE(SendMessageA(list, LB_GETHORIZONTALEXTENT, 0, 0), text.cx) << "it can be scrolled to its end";
    EXPECT_NE(GetWindowLongPtrA(list, GWL_STYLE) & WS_HSCROLL, 0) << "with a scroll bar";
    EXPECT_GE(SendMessageA(control(IDC_START_ECHO_PORT), CB_GETDROPPEDWIDTH, 0, 0), text.cx);
    const RECT now = test::rectInParent(list);
    EXPECT_TRUE(EqualRect(&now, &layout)) << "the list keeps its place and size";
    test::saveScreenshot("start_page_long_description");

    receiver.reset();
    page.fillPorts();
    EXPECT_EQ(GetWindowLongPtrA(list, GWL_STYLE) & WS_HSCROLL, 0) << "gone with the long label";
}

// The start page of the main window, over the ports COM46 and COM47; COM45 comes and goes.
class StartPageInFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        createSharedGdi();
        registerComPorts({"COM46:", "COM47:"});
    }
    static void TearDownTestSuite() { unregisterComPorts({"COM45:", "COM46:", "COM47:"}); }

    StartPageInFrameTest() : frame(SW_SHOWNORMAL) {}

    HWND control(int id) const { return GetDlgItem(frame.rootNode->pane->children.at(0)->hwnd, id); }
    std::vector<Entry> ports() const { return listEntries(control(IDC_START_PORT_LIST)); }

    // Chooses the device's port and the echo port as a click on each does.
    void choose(int port, int echoPort) {
        const int item = indexOf(ports(), port);
        const int entry = indexOf(comboEntries(control(IDC_START_ECHO_PORT)), echoPort);
        ASSERT_NE(item, -1) << port;
        ASSERT_NE(entry, -1) << echoPort;
        SendMessageA(control(IDC_START_PORT_LIST), LB_SETCURSEL, static_cast<WPARAM>(item), 0);
        SendMessageA(control(IDC_START_ECHO_PORT), CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
    }
    int chosenPort() const { return selectedListData(control(IDC_START_PORT_LIST)); }
    int chosenEchoPort() const { return selectedComboData(control(IDC_START_ECHO_PORT)); }

    void deviceChange(WPARAM event) { SendMessageA(frame.mainWindow.hwnd, WM_DEVICECHANGE, event, 0); }

    MainFrame frame;
};

TEST_F(StartPageInFrameTest, PortsThatComeAndGoLeaveTheChosenPortsChosen) {
    struct Case {
        const char* what;
        WPARAM arrival;
        WPARAM removal;
        bool device; // a device with a description; else a port only the spooler reports
        Entry listed;
    };
    const Case cases[] = {
        {"a receiver plugged in and pulled",
         DBT_DEVICEARRIVAL,
         DBT_DEVICEREMOVECOMPLETE,
         true,
         {"COM45  u-blox GNSS receiver", 45}},
        {"a port whose device came and went", DBT_DEVNODES_CHANGED, DBT_DEVNODES_CHANGED, false, {"COM45", 45}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        choose(47, 46); // both after the port that comes: each moves a place down the lists
        std::optional<PortDevice> device;
        if (k.device) {
            device.emplace(
                PortDevice::Setup{"ROOT\\VELTARO_TEST\\0045", "COM45", "u-blox GNSS receiver (COM45)", "", false});
            ASSERT_TRUE(device->made);
        } else {
            registerComPorts({"COM45:"});
        }
        deviceChange(k.arrival);
        EXPECT_EQ(between(ports(), 45, 47), (std::vector<Entry>{k.listed, {"COM46", 46}, {"COM47", 47}}));
        EXPECT_EQ(comboEntries(control(IDC_START_ECHO_PORT)), ports());
        EXPECT_EQ(chosenPort(), 47);
        EXPECT_EQ(chosenEchoPort(), 46);

        device.reset();
        unregisterComPorts({"COM45:"});
        deviceChange(k.removal);
        EXPECT_EQ(between(ports(), 45, 47), (std::vector<Entry>{{"COM46", 46}, {"COM47", 47}}));
        EXPECT_EQ(chosenPort(), 47);
        EXPECT_EQ(chosenEchoPort(), 46);
    }
}

TEST_F(StartPageInFrameTest, ChosenPortsThatLeaveGiveWayToTheFirstPortAndNoEchoPort) {
    registerComPorts({"COM45:"});
    deviceChange(DBT_DEVICEARRIVAL);
    choose(45, 45);
    unregisterComPorts({"COM45:"});
    deviceChange(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(indexOf(ports(), 45), -1);
    EXPECT_EQ(SendMessageA(control(IDC_START_PORT_LIST), LB_GETCURSEL, 0, 0), 0) << "the first port, as at the start";
    EXPECT_EQ(chosenEchoPort(), CB_ERR);
}

TEST_F(StartPageInFrameTest, ShowingTheStartPageAgainReadsThePorts) {
    std::unique_ptr<TreeNode> other = frame.newPageNode(frame.rootNode, NODE_VIEW, "Other", nullptr);
    TreeNode* otherNode = other.get();
    frame.addNode(std::move(other));
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(otherNode->item));
    choose(47, 46);
    registerComPorts({"COM45:"}); // no device change tells of it
    EXPECT_EQ(indexOf(ports(), 45), -1);

    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(frame.rootNode->item));
    unregisterComPorts({"COM45:"});
    ASSERT_EQ(frame.currentNode, frame.rootNode);
    EXPECT_EQ(between(ports(), 45, 47), (std::vector<Entry>{{"COM45", 45}, {"COM46", 46}, {"COM47", 47}}));
    EXPECT_EQ(chosenPort(), 47);
    EXPECT_EQ(chosenEchoPort(), 46);
}

} // namespace
} // namespace veltaro
