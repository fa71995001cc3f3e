#include "ui/main/main_frame.h"

#include "ports/serial_port.h"
#include "ports/system_error.h"
#include "res/resource.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/pages/device_page.h"
#include "ui/views/fix_readout.h"
#include "ui/views/route_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace veltaro {
namespace {

std::vector<std::string> reportedErrors;
void recordError(const std::string& message) {
    reportedErrors.push_back(message);
}

// A stream of numbered GGA lines, one a second from midnight.
std::string ggaStream(int lines) {
    std::string stream;
    for (int i = 0; i < lines; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "$GPGGA,%02d%02d%02d,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
                      i / 3600, i / 60 % 60, i % 60);
        stream += test::sealed(line) + "\r\n";
    }
    return stream;
}

// The path the save dialog is given, as a user would type it.
std::string pathToSave;
void confirmSaveAs(HWND dialog) {
    // The file name field is an edit in the older dialog and a combo box in the explorer one.
    for (int id : {0x480 /* edt1 */, 0x47c /* cmb13 */}) {
        if (HWND field = GetDlgItem(dialog, id)) {
            SetWindowTextA(field, pathToSave.c_str());
        }
    }
    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
}

void cancelSaveAs(HWND dialog) {
    PostMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
}

// What a message box asked, and its answer.
std::string questionAsked;

BOOL CALLBACK keepStaticText(HWND child, LPARAM text) {
    char name[16] = "";
    GetClassNameA(child, name, sizeof name);
    char shown[1024] = "";
    GetWindowTextA(child, shown, sizeof shown);
    if (lstrcmpiA(name, "Static") == 0 && shown[0] != '\0') {
        *reinterpret_cast<std::string*>(text) = shown; // the icon is a static without text
    }
    return TRUE;
}

void answer(HWND box, int button) {
    questionAsked.clear();
    EnumChildWindows(box, keepStaticText, reinterpret_cast<LPARAM>(&questionAsked));
    PostMessageA(GetDlgItem(box, button), BM_CLICK, 0, 0);
}
void answerNo(HWND box) {
    answer(box, IDNO);
}
void answerYes(HWND box) {
    answer(box, IDYES);
}

// The save dialog gets pathToSave and the question that follows gets nextAnswer; a Yes gets nextPath saved.
UINT nextAnswer = IDYES;
std::string nextPath;
void answerThenSaveAgain(HWND box) {
    if (nextAnswer == IDYES) {
        pathToSave = nextPath;
        test::whenWindowAppears("Save As", confirmSaveAs);
    }
    answer(box, static_cast<int>(nextAnswer));
}
void saveThenAnswer(HWND dialog) {
    confirmSaveAs(dialog);
    test::whenWindowAppears("Veltaro", answerThenSaveAgain);
}

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    MainFrameTest() : frame(SW_SHOWNORMAL) {
        frame.showError = recordError;
        reportedErrors.clear();
    }

    // Closes the main window as Alt+X does; the quit message the loop would end on is taken away, so
    // the next test's dialogs do not end on it.
    void close() {
        SendMessageA(frame.mainWindow.hwnd, WM_COMMAND, IDM_EXIT, 0);
        MSG quit;
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }

    int width(HWND window) const {
        RECT rect;
        GetWindowRect(window, &rect);
        return rect.right - rect.left;
    }

    MainFrame frame;
};

TEST_F(MainFrameTest, OpensAtItsPlaceWithTheStartPageAndNoSelection) {
    RECT rect;
    GetWindowRect(frame.mainWindow.hwnd, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right - rect.left, 680);
    EXPECT_EQ(rect.bottom - rect.top, 550);
    EXPECT_EQ(width(frame.treeWindow), 150);
    EXPECT_EQ(width(frame.splitterWindow), 4);
    EXPECT_EQ(test::rectInParent(frame.clientWindow.hwnd).left, 154);

    ASSERT_EQ(frame.nodes.size(), 1u);
    EXPECT_EQ(frame.currentNode, frame.rootNode);
    EXPECT_TRUE(IsWindowVisible(frame.rootNode->pane->hwnd));
    EXPECT_EQ(SendMessageA(frame.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0), 0) << "no item selected";
    EXPECT_EQ(test::itemText(frame.treeWindow, frame.rootNode->item), "Veltaro");
    char title[32] = "";
    GetWindowTextA(frame.mainWindow.hwnd, title, sizeof title);
    EXPECT_STREQ(title, "Veltaro");
    test::saveScreenshot("main_frame");
}

TEST_F(MainFrameTest, DraggedBarKeepsItsPlaceWhenTheWindowIsResized) {
    POINT point{202, 100};
    ClientToScreen(frame.mainWindow.hwnd, &point);
    SetCursorPos(point.x, point.y);
    SendMessageA(frame.splitterWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    EXPECT_EQ(frame.splitPosition, 200);
    MoveWindow(frame.mainWindow.hwnd, 100, 20, 800, 600, TRUE);
    EXPECT_EQ(width(frame.treeWindow), 200);
    EXPECT_EQ(test::rectInParent(frame.splitterWindow).left, 200);
    EXPECT_EQ(test::rectInParent(frame.clientWindow.hwnd).left, 204);
    RECT page;
    GetClientRect(frame.rootNode->pane->hwnd, &page);
    RECT client;
    GetClientRect(frame.clientWindow.hwnd, &client);
    EXPECT_EQ(page.right, client.right) << "the shown page fills the client area";
    EXPECT_EQ(page.bottom, client.bottom);
}

TEST_F(MainFrameTest, WindowStopsShrinkingWhereTheStartPageWouldOverlap) {
    MoveWindow(frame.mainWindow.hwnd, 100, 20, 200, 150, TRUE);
    RECT outer;
    GetWindowRect(frame.mainWindow.hwnd, &outer);
    EXPECT_GT(outer.right - outer.left, 200);
    EXPECT_GT(outer.bottom - outer.top, 150);

    HWND page = frame.rootNode->pane->children.at(0)->hwnd;
    const auto rect = [&](int id) { return test::rectInParent(GetDlgItem(page, id)); };
    // The right column's last control keeps the same 8 pixels above the live group's edge as the port
    // list, and not one more: the minimum is no larger than it must be.
    const int gap = sharedGdi().scaled(8); // also at the display scales other than 96 DPI
    EXPECT_EQ(rect(IDC_START_DEVICE).bottom + gap, rect(IDC_START_LIVE_GROUP).bottom);
    EXPECT_EQ(rect(IDC_START_PORT_LIST).bottom + gap, rect(IDC_START_LIVE_GROUP).bottom);
    EXPECT_LE(rect(IDC_START_LIVE_GROUP).bottom, rect(IDC_START_KNOWN_GROUP).top);
    EXPECT_LE(rect(IDC_START_KNOWN_GROUP).bottom, rect(IDC_START_FILE_GROUP).top);
    EXPECT_LT(rect(IDC_START_PORT_LIST).right, rect(IDC_START_BAUD).left);

    // Every text fits its control, in the font the control draws it with.
    HDC dc = GetDC(page);
    for (int id :
         {IDC_START_SAVE_TO_FILE, IDC_START_ECHO, IDC_START_DEVICE, IDC_START_SAVED_DEVICE, IDC_START_OPEN_FILE}) {
        SelectObject(dc, reinterpret_cast<HFONT>(SendDlgItemMessageA(page, id, WM_GETFONT, 0, 0)));
        char text[128] = "";
        const int length = GetDlgItemTextA(page, id, text, sizeof text);
        SIZE size;
        GetTextExtentPoint32A(dc, text, length, &size);
        EXPECT_GT(rect(id).right - rect(id).left, size.cx) << text;
    }
    ReleaseDC(page, dc);
    test::saveScreenshot("main_frame_smallest");
}

TEST_F(MainFrameTest, ExitCommandEndsTheMessageLoop) {
    SendMessageA(frame.mainWindow.hwnd, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(frame.mainWindow.hwnd));
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_FALSE(IsWindow(frame.treeWindow));
    EXPECT_FALSE(IsWindow(frame.rootNode->pane->hwnd)) << "the pages went with it";
}

TEST_F(MainFrameTest, DeviceThatCannotOpenAddsNothingAndSaysWhy) {
    test::whenWindowAppears("Save As", cancelSaveAs); // the log is asked for before the port opens
    frame.startDevice(99, 4800, true, true, 98, 4800);
    EXPECT_EQ(reportedErrors, std::vector<std::string>{"Cannot open port."});
    EXPECT_EQ(frame.nodes.size(), 1u);
    EXPECT_EQ(frame.currentNode, frame.rootNode);
}

TEST_F(MainFrameTest, StartedDeviceGetsItsNodeSelectedWithItsPage) {
    frame.startDevice(5, 4800, false, true, 99, 4800); // the echo port cannot open: said, and not added
    EXPECT_EQ(reportedErrors,
              std::vector<std::string>{"Cannot open the echo port COM99: " + systemErrorText(ERROR_FILE_NOT_FOUND) +
                                       "\n\nThe device goes on without it."});
    ASSERT_EQ(frame.nodes.size(), 8u); // the device and its six pages
    TreeNode& node = *test::nodesOf(frame, NODE_DEVICE).at(0);
    EXPECT_EQ(node.kind, NODE_DEVICE);
    EXPECT_EQ(node.live, 1);
    EXPECT_EQ(node.parentNode, frame.rootNode);
    EXPECT_EQ(test::itemText(frame.treeWindow, node.item), "COM5: Live GPS");
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageA(frame.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0)), node.item);
    EXPECT_EQ(frame.currentNode, &node);
    EXPECT_TRUE(IsWindowVisible(node.pane->hwnd));
    EXPECT_FALSE(IsWindowVisible(frame.rootNode->pane->hwnd));
    EXPECT_EQ(nodeImage(node), 1);

    EXPECT_TRUE(node.device->report().outputs.empty());
    test::saveScreenshot("device_page");

    // Back to the start page through the tree.
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(frame.rootNode->item));
    EXPECT_EQ(frame.currentNode, frame.rootNode);
    EXPECT_FALSE(IsWindowVisible(node.pane->hwnd));
}

TEST_F(MainFrameTest, ClosingTheWindowDeliversWhatTheDevicesStillHold) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    GpsDevice& device = *test::nodesOf(frame, NODE_DEVICE).at(0)->device;
    const std::string log = test::temporaryPath("closing.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    ASSERT_TRUE(device.addEchoPort(std::make_unique<SerialPort>(7, 4800))) << "its far end, COM17, never reads";

    const std::string stream = ggaStream(2000);
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(stream));
    // Once the last line is decoded the tee has handed every byte to the log's queue too; whether the
    // log's writer has written them yet is open, and closing must not lose them.
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.parser->linesDecoded() == 2000; }));
    const ULONGLONG started = GetTickCount64();
    test::expectToEnd([&] { close(); });
    std::printf("closed in %llu ms with an echo nobody reads\n", GetTickCount64() - started);
    EXPECT_TRUE(test::readFile(log) == stream) << "the log is complete";
    SerialPort again(5, 4800);
    again.initialize();
    EXPECT_TRUE(again.open(true, nullptr)) << "the device's port is free again";
}

// "Stop device" while bytes flow: the log and the echo are complete up to the stop, the port is free
// at once, the pages keep the last state, and closing afterwards has nothing left to wait for.
TEST_F(MainFrameTest, StoppedDeviceDeliversWhatCameReleasesItsPortAndKeepsItsPages) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    TreeNode& node = *test::nodesOf(frame, NODE_DEVICE).at(0);
    GpsDevice& device = *node.device;
    const std::string log = test::temporaryPath("stopped.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    ASSERT_TRUE(device.addEchoPort(std::make_unique<SerialPort>(6, 4800)));
    test::FarEnd echo(16);
    const std::string stream = ggaStream(300);
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(stream));
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.parser->linesDecoded() == 300; }));
    const GpsState before = device.snapshot;

    frame.menuNode = &node;
    SendMessageA(frame.mainWindow.hwnd, WM_COMMAND, IDM_STOP_DEVICE, 0);
    EXPECT_TRUE(device.stoppedByUser());
    EXPECT_TRUE(test::readFile(log) == stream) << "the log holds everything received before the stop";
    EXPECT_TRUE(echo.read(stream.size()) == stream) << "so does the echo's far end";
    SerialPort again(5, 4800);
    again.initialize();
    EXPECT_TRUE(again.open(true, nullptr)) << "the device's port is free again";
    again.stop();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message); // the parser's last notification, which must not reset the pages
    }
    EXPECT_EQ(device.snapshot.active, 1);
    EXPECT_EQ(device.snapshot.hour, before.hour);
    EXPECT_EQ(device.snapshot.second, before.second);

    const ULONGLONG started = GetTickCount64();
    test::expectToEnd([&] { close(); });
    std::printf("closed in %llu ms after the stop\n", GetTickCount64() - started);
}

TEST(DeviceStatusTextTest, StoppedDeviceSaysWhenInsteadOfHowDataFlows) {
    DeviceReport report;
    report.source = "Port COM3";
    report.sourceStatus.bytes = 1;
    report.lines = 2;
    report.secondsSinceLastLine = 1;
    report.badChecksums = 3;
    report.stoppedAt = SYSTEMTIME{};
    report.stoppedAt->wHour = 7;
    report.stoppedAt->wMinute = 8;
    report.stoppedAt->wSecond = 9;
    EXPECT_EQ(deviceStatusText(report),
              "Status:\n  Port COM3\n  1 byte received, 2 lines decoded\n  stopped at 07:08:09\n  3 lines with a bad "
              "checksum, not read");
    report.secondsSinceLastLine = 9;
    report.badChecksums = 0;
    EXPECT_EQ(deviceStatusText(report),
              "Status:\n  Port COM3\n  1 byte received, 2 lines decoded\n  stopped at 07:08:09");
}

TEST_F(MainFrameTest, ClosingWhileALogHoldsWhatTheFullDiskRefusedAsksFirstAndSaysWhereTheLogEnds) {
    test::SmallVolume volume(1024);
    ASSERT_EQ(volume.mounted, "mounted\n");
    volume.fill(1024 - 128);
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    GpsDevice& device = *test::nodesOf(frame, NODE_DEVICE).at(0)->device;
    const std::string log = volume.windowsPath("full.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    ASSERT_EQ(device.report().outputs.size(), 1u);

    const std::string stream = ggaStream(4000); // more than the volume has room for
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(stream));
    ASSERT_TRUE(test::pumpMessagesUntil([&] {
        const PortStatus status = device.report().outputs[0].status;
        return status.held > 0 && status.bytes + status.held == static_cast<std::int64_t>(stream.size());
    }));
    const PortStatus full = device.report().outputs[0].status;
    const std::string question = "The log file " + log + " is missing " + std::to_string(full.held) +
                                 " bytes because the disk is full. It ends at byte " + std::to_string(full.bytes) +
                                 ".\n\nClose anyway?";

    test::whenWindowAppears("Veltaro", answerNo);
    SendMessageA(frame.mainWindow.hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(questionAsked, question);
    ASSERT_TRUE(IsWindow(frame.mainWindow.hwnd)) << "kept open, the log still trying";

    test::whenWindowAppears("Veltaro", answerYes);
    close();
    EXPECT_EQ(questionAsked, question);
    EXPECT_FALSE(IsWindow(frame.mainWindow.hwnd));
    EXPECT_EQ(device.report().outputs[0].status.endedAt, full.bytes);
    EXPECT_TRUE(test::readFile(log) == stream.substr(0, static_cast<std::size_t>(full.bytes)))
        << "the log ends where the question said";
}

TEST_F(MainFrameTest, StartPageLogAndEchoHoldTheStreamFromItsFirstByte) {
    // The receiver talks before the device starts: its first bytes wait in the port for the device.
    const std::string stream = ggaStream(300);
    test::FarEnd receiver(15);
    test::FarEnd echoReader(16);
    ASSERT_TRUE(echoReader.isOpen());
    ASSERT_TRUE(receiver.write(stream));
    pathToSave = test::temporaryPath("from-start.gpsl");
    test::whenWindowAppears("Save As", confirmSaveAs);
    frame.startDevice(5, 4800, true, true, 6, 4800);
    ASSERT_EQ(frame.nodes.size(), 8u);
    EXPECT_EQ(reportedErrors, std::vector<std::string>{});
    GpsDevice& device = *test::nodesOf(frame, NODE_DEVICE).at(0)->device;
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.snapshot.minute == 4 && device.snapshot.second == 59; }));
    // The echo is read while the device runs: what a stop does to bytes in transit is not the point here.
    const std::string echoed = echoReader.read(stream.size());
    close();
    const struct {
        const char* output;
        std::string received;
    } cases[] = {{"log file", test::readFile(pathToSave)}, {"echo port", echoed}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.received.size(), stream.size()) << c.output;
        EXPECT_TRUE(c.received == stream) << c.output << " differs from the stream";
    }
}

// A log the user asked for that cannot be created is said with its file and the system's reason. From the start
// page the user chooses another file or no log; from the menu the device goes on without it.
TEST_F(MainFrameTest, LogThatCannotBeCreatedIsSaidWithItsReasonAndNeverDroppedInSilence) {
    test::SmallVolume readOnly(64, true);
    ASSERT_EQ(readOnly.mounted, "mounted\n");
    const std::string refused = readOnly.windowsPath("x.gpsl");
    const std::string saying = "Cannot create the log file " + refused + ": ";
    const struct {
        int port;
        UINT answer;
        std::vector<std::string> outputs;
    } cases[] = {{5, IDYES, {test::temporaryPath("chosen-instead.gpsl")}}, {6, IDNO, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.port);
        pathToSave = refused;
        nextAnswer = c.answer;
        nextPath = c.outputs.empty() ? "" : c.outputs[0];
        questionAsked.clear();
        test::whenWindowAppears("Save As", saveThenAnswer);
        frame.startDevice(c.port, 4800, true, false, 0, 0);
        EXPECT_EQ(questionAsked.substr(0, saying.size()), saying);
        const std::string choice =
            "\n\nChoose another file? No starts COM" + std::to_string(c.port) + " without a log.";
        ASSERT_GT(questionAsked.size(), saying.size() + choice.size()) << "with the system's reason";
        EXPECT_EQ(questionAsked.substr(questionAsked.size() - choice.size()), choice);
        GpsDevice& device = *test::nodesOf(frame, NODE_DEVICE).back()->device;
        std::vector<std::string> names;
        for (const OutputReport& output : device.report().outputs) {
            names.push_back(output.name);
        }
        EXPECT_EQ(names, c.outputs);
    }
    EXPECT_EQ(reportedErrors, std::vector<std::string>{});

    frame.menuNode = test::nodesOf(frame, NODE_DEVICE).back();
    pathToSave = refused;
    test::whenWindowAppears("Save As", confirmSaveAs);
    frame.saveDataToFile();
    ASSERT_EQ(reportedErrors.size(), 1u);
    const std::string goesOn = "\n\nThe device goes on without it.";
    EXPECT_EQ(reportedErrors[0].substr(0, saying.size()), saying);
    ASSERT_GT(reportedErrors[0].size(), saying.size() + goesOn.size()) << "with the system's reason";
    EXPECT_EQ(reportedErrors[0].substr(reportedErrors[0].size() - goesOn.size()), goesOn);
    EXPECT_TRUE(frame.menuNode->device->report().outputs.empty());
}

TEST_F(MainFrameTest, CancelledSaveDialogStartsTheDeviceWithoutALog) {
    test::whenWindowAppears("Save As", cancelSaveAs);
    frame.startDevice(5, 4800, true, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    EXPECT_EQ(reportedErrors, std::vector<std::string>{});
    EXPECT_TRUE(test::nodesOf(frame, NODE_DEVICE).at(0)->device->report().outputs.empty());
}

TEST_F(MainFrameTest, TabAndShiftTabRunThroughTheTreeAndTheShownPage) {
    // The control ids in tab order after the tree (0 stands for the tree).
    const std::vector<int> startPage = {0,
                                        IDC_START_OPEN_FILE,
                                        IDC_START_PORT_LIST,
                                        IDC_START_BAUD,
                                        IDC_START_SAVE_TO_FILE,
                                        IDC_START_DEVICE,
                                        IDC_START_ECHO,
                                        IDC_START_ECHO_PORT,
                                        IDC_START_ECHO_BAUD};
    const std::vector<int> devicePage = {0, IDC_DEVICE_OUTPUT_LIST};
    constexpr int ROUTE_VIEW = -1;
    const std::vector<int> routePage = {0, ROUTE_VIEW};
    HWND routeView = nullptr;
    const auto focusedId = [&] {
        return GetFocus() == frame.treeWindow ? 0 : GetFocus() == routeView ? ROUTE_VIEW : GetDlgCtrlID(GetFocus());
    };
    // The message loop of the program, as WinMain runs it, until the focus moves.
    const auto tab = [&](bool shift) {
        const HWND before = GetFocus();
        test::pressKey(VK_TAB, shift ? VK_SHIFT : 0);
        return test::pumpMessagesUntil([&] { return GetFocus() != before; },
                                       [&](MSG& message) { return frame.handleDialogKeys(message); });
    };
    const struct {
        const char* page;
        const std::vector<int>& order;
    } cases[] = {{"start page", startPage}, {"device page", devicePage}, {"current route", routePage}};
    for (const auto& c : cases) {
        if (&c.order == &devicePage) {
            frame.startDevice(5, 4800, false, false, 0, 0);
            ASSERT_EQ(frame.nodes.size(), 8u);
        }
        if (&c.order == &routePage) {
            TreeNode& route = *test::nodesOf(frame, NODE_VIEW, "Current route").at(0);
            routeView = test::paneOf<RouteView>(route)->hwnd;
            SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(route.item));
        }
        SetFocus(frame.treeWindow);
        std::vector<int> forwards;
        std::vector<int> backwards;
        for (std::size_t i = 0; i < c.order.size(); ++i) {
            forwards.push_back(focusedId());
            ASSERT_TRUE(tab(false)) << c.page;
        }
        EXPECT_EQ(focusedId(), 0) << c.page << ": Tab comes round to the tree";
        for (std::size_t i = 0; i < c.order.size(); ++i) {
            ASSERT_TRUE(tab(true)) << c.page;
            backwards.insert(backwards.begin(), focusedId());
        }
        EXPECT_EQ(forwards, c.order) << c.page;
        EXPECT_EQ(backwards, c.order) << c.page;
    }
}

TEST_F(MainFrameTest, EnterPressesTheFocusedButtonOfThePage) {
    HWND page = frame.rootNode->pane->children.at(0)->hwnd;
    SendMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(page, IDC_START_DEVICE)), TRUE);
    ASSERT_EQ(GetDlgCtrlID(GetFocus()), IDC_START_DEVICE);
    test::pressKey(VK_RETURN);
    // The device starts on the first port listed, or says why it cannot: either way the button worked.
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return frame.nodes.size() == 8 || !reportedErrors.empty(); },
                                        [&](MSG& message) { return frame.handleDialogKeys(message); }));
}

// The node each popup menu was shown for and whether it ticked "Read every satellite system", recorded
// from within the menu's own loop; the menu is then closed, or R is typed into it.
MainFrame* menuFrame = nullptr;
std::vector<TreeNode*> menusShown;
std::vector<bool> everySystemTicked;
std::vector<std::vector<std::string>> menuTexts;
bool pressR = false;
bool menuHandled = false; // the shown menu was dealt with; cleared before the next click
void CALLBACK watchForMenu(HWND, UINT, UINT_PTR, DWORD) {
    HWND menu = FindWindowA("#32768", nullptr);
    if (menu == nullptr || !IsWindowVisible(menu) || menuHandled) {
        return;
    }
    menuHandled = true;
    menusShown.push_back(menuFrame->menuNode);
    auto items = reinterpret_cast<HMENU>(SendMessageA(menu, MN_GETHMENU, 0, 0));
    everySystemTicked.push_back((GetMenuState(items, IDM_EVERY_SYSTEM, MF_BYCOMMAND) & MF_CHECKED) != 0);
    std::vector<std::string> texts;
    for (int i = 0; i < GetMenuItemCount(items); ++i) {
        char text[64] = "";
        GetMenuStringA(items, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        texts.emplace_back(text);
    }
    menuTexts.push_back(texts);
    if (pressR) {
        // The character the R key makes, straight into the menu's loop: input sent from within that loop
        // does not reach it here.
        PostMessageA(menu, WM_CHAR, 'r', 1);
    } else {
        EndMenu();
    }
}

// A point of a node's item on the screen: near its start, as a long text runs past the tree's edge.
POINT onItem(const MainFrame& frame, const TreeNode& node) {
    RECT item;
    std::memcpy(&item, &node.item, sizeof node.item); // the item goes in where the rectangle comes out
    EXPECT_TRUE(SendMessageA(frame.treeWindow, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&item)));
    POINT point{item.left + 4, (item.top + item.bottom) / 2};
    ClientToScreen(frame.treeWindow, &point);
    return point;
}

TEST_F(MainFrameTest, RightClickOpensTheMenuOfTheClickedDevice) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    frame.startDevice(6, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 16u);
    TreeNode& first = *test::nodesOf(frame, NODE_DEVICE).at(0);
    TreeNode& second = *test::nodesOf(frame, NODE_DEVICE).at(1);
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(second.item));
    ASSERT_EQ(frame.currentNode, &second);

    RECT tree;
    GetClientRect(frame.treeWindow, &tree);
    POINT empty{tree.right / 2, tree.bottom - 4};
    ClientToScreen(frame.treeWindow, &empty);

    menuFrame = &frame;
    menusShown.clear();
    everySystemTicked.clear();
    pressR = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, watchForMenu);
    menuHandled = false;
    test::rightClickAt(empty); // no menu: input is handled in order, so a menu here would be the first one seen
    test::rightClickAt(onItem(frame, first));
    const bool shown = test::pumpMessagesUntil([&] { return !menusShown.empty(); },
                                               [&](MSG& message) { return frame.handleDialogKeys(message); });
    KillTimer(nullptr, timer);
    ASSERT_TRUE(shown);
    EXPECT_EQ(menusShown, std::vector<TreeNode*>{&first});
    EXPECT_EQ(everySystemTicked, std::vector<bool>{false}) << "\"Read every satellite system\" starts off";
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageA(frame.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0)), first.item);
    EXPECT_EQ(frame.currentNode, &first);
}

// A receiver that reports its fix only as $GNGGA is read in every system by itself: the menu shows it ticked
// and the page says why; R on the menu is the user's choice, which holds against the receiver.
TEST_F(MainFrameTest, ReadEverySystemIsTickedByItselfForOtherTalkersAndPickedWithR) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    TreeNode& device = *test::nodesOf(frame, NODE_DEVICE).at(0);
    HWND page = GetWindow(device.pane->hwnd, GW_CHILD);
    const auto status = [&] {
        char text[1024] = "";
        GetDlgItemTextA(page, IDC_DEVICE_STATUS, text, sizeof text);
        return std::string(text);
    };
    test::FarEnd receiver(15);
    const std::string gn = test::sealed("$GNGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") + "\r\n";
    ASSERT_TRUE(receiver.write(gn));
    EXPECT_TRUE(test::pumpMessagesUntil([&] {
        return status().find("Reading every satellite system: the receiver sends $GNGGA") != std::string::npos;
    })) << status();

    menuFrame = &frame;
    menusShown.clear();
    everySystemTicked.clear();
    pressR = true;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, watchForMenu);
    menuHandled = false;
    test::rightClickAt(onItem(frame, device));
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return !device.device->parser->readsEverySystem(); },
                                        [&](MSG& message) { return frame.handleDialogKeys(message); }));
    KillTimer(nullptr, timer);
    EXPECT_EQ(everySystemTicked, std::vector<bool>{true}) << "ticked by itself, and R switched it off";
    ASSERT_TRUE(receiver.write(gn));
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return device.device->parser->notReadLines().lines == 1; }));
    EXPECT_FALSE(device.device->parser->readsEverySystem()) << "the user's choice holds";
    EXPECT_TRUE(test::pumpMessagesUntil([&] {
        return status().find("Reading every satellite system") == std::string::npos;
    })) << status();
}

// Right-clicks a node's item and runs messages until its menu was shown and closed; false if none was.
bool showMenuOf(MainFrame& frame, const TreeNode& node) {
    menuFrame = &frame;
    menusShown.clear();
    menuTexts.clear();
    pressR = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, watchForMenu);
    menuHandled = false;
    test::rightClickAt(onItem(frame, node));
    const bool shown = test::pumpMessagesUntil([&] { return !menusShown.empty(); },
                                               [&](MSG& message) { return frame.handleDialogKeys(message); });
    KillTimer(nullptr, timer);
    return shown;
}

// A recorded log replays as a device of its own, named after the file, with the recorded-data icon, its
// pages and menu; at the end of the file the page says so and the position stays. An unreadable file is
// refused with the system's reason, and nothing is added.
TEST_F(MainFrameTest, RecordedLogReplaysAsADeviceOnRecordedData) {
    const std::string missing = test::temporaryPath("gone.gpsl");
    EXPECT_FALSE(frame.startRecordedDevice(missing));
    ASSERT_EQ(reportedErrors.size(), 1u);
    const std::string refusal = "Cannot read the GPS data file " + missing + ": ";
    EXPECT_EQ(reportedErrors[0].substr(0, refusal.size()), refusal);
    EXPECT_GT(reportedErrors[0].size(), refusal.size()) << "with the system's reason";
    EXPECT_EQ(frame.nodes.size(), 1u);

    // Two tenths of a second of a receiver with a fix.
    const std::string capture = test::readFile(std::string(VELTARO_NMEA_DIR) + "/rst39.nmea");
    const std::string recording = capture.substr(0, capture.find("$GPGGA,204132.30"));
    const std::string path = test::temporaryPath("day one.gpsl");
    std::ofstream(path, std::ios::binary) << recording;
    ASSERT_TRUE(frame.startRecordedDevice(path));
    ASSERT_EQ(frame.nodes.size(), 8u) << "the device and its six pages";
    TreeNode& node = *test::nodesOf(frame, NODE_DEVICE).at(0);
    EXPECT_EQ(test::itemText(frame.treeWindow, node.item), path.substr(path.find_last_of('\\') + 1) + ": Recorded GPS");
    EXPECT_EQ(nodeImage(node), 2);
    EXPECT_EQ(frame.currentNode, &node);

    HWND page = GetWindow(node.pane->hwnd, GW_CHILD);
    char title[64] = "";
    GetDlgItemTextA(page, IDC_DEVICE_TITLE, title, sizeof title);
    EXPECT_STREQ(title, "Recorded GPS Device");
    const std::string ended = "Status:\n  File " + path + "\n  " + std::to_string(recording.size()) + " bytes received";
    std::string status;
    EXPECT_TRUE(test::pumpMessagesUntil([&] {
        char text[1024] = "";
        GetDlgItemTextA(page, IDC_DEVICE_STATUS, text, sizeof text);
        status = text;
        // A finished replay is not late, whatever its age said while it played.
        return status.find("end of file") != std::string::npos && status.substr(0, ended.size()) == ended &&
               node.device->snapshot.quietSeconds == 0;
    })) << status
        << "\nquiet for " << node.device->snapshot.quietSeconds << " s";
    EXPECT_NEAR(node.device->snapshot.fixLatitude, 4200 + 5.733946 * 100 / 60, 1e-6); // the last GGA

    ASSERT_TRUE(showMenuOf(frame, node));
    EXPECT_EQ(menuTexts, (std::vector<std::vector<std::string>>{{"Echo to another port...", "Serve on a &TCP port...",
                                                                 "Send over &UDP...", "&Read every satellite system",
                                                                 "&Stop device"}}));
}

// The choice of reading on a replay that has ended would show nothing new: the file plays again, read the
// chosen way.
TEST_F(MainFrameTest, ChoosingTheReadingOfAnEndedReplayPlaysItAgain) {
    const std::string capture = test::readFile(std::string(VELTARO_NMEA_DIR) + "/neo-m8n.nmea");
    const std::string recording = capture.substr(0, capture.find("\r\n", 3000) + 2); // a few seconds, GN only
    const std::string path = test::temporaryPath("gn only.gpsl");
    std::ofstream(path, std::ios::binary) << recording;
    ASSERT_TRUE(frame.startRecordedDevice(path));
    TreeNode& node = *test::nodesOf(frame, NODE_DEVICE).at(0);
    GpsDevice& device = *node.device;
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.port->status().atEnd; }));
    EXPECT_TRUE(device.parser->readsEverySystem()) << "a replay reads every system by itself too";
    EXPECT_NE(device.snapshot.received & RECEIVED_FIX, 0u);

    menuFrame = &frame;
    menusShown.clear();
    pressR = true;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, watchForMenu);
    menuHandled = false;
    test::rightClickAt(onItem(frame, node));
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return !device.parser->readsEverySystem(); },
                                        [&](MSG& message) { return frame.handleDialogKeys(message); }));
    KillTimer(nullptr, timer);
    // Played again in the GPS talker's reading: its GN lines are counted as not read, and no fix shows.
    EXPECT_TRUE(test::pumpMessagesUntil(
        [&] { return device.port->status().atEnd && device.port->status().bytes == std::int64_t(recording.size()); }));
    EXPECT_TRUE(test::pumpMessagesUntil([&] {
        return device.parser->notReadLines().lines > 0 && (device.snapshot.received & RECEIVED_FIX) == 0 &&
               device.snapshot.everySystem == 0;
    }));
    EXPECT_EQ(reportedErrors, std::vector<std::string>{});
}

// Each item shows what it is: the start page, a live receiver, a recorded log, a view.
TEST_F(MainFrameTest, TreeItemsShowTheImageOfWhatTheyAre) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    const std::string path = test::temporaryPath("images.gpsl");
    std::ofstream(path, std::ios::binary) << "$GPGGA,120000.00\r\n";
    ASSERT_TRUE(frame.startRecordedDevice(path));
    ASSERT_EQ(frame.nodes.size(), 16u);
    std::vector<int> images;
    for (const std::unique_ptr<TreeNode>& node : frame.nodes) {
        TVITEMA item;
        ZeroMemory(&item, sizeof item);
        item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        item.hItem = node->item;
        ASSERT_TRUE(SendMessageA(frame.treeWindow, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
        EXPECT_EQ(item.iSelectedImage, item.iImage);
        images.push_back(item.iImage);
    }
    EXPECT_EQ(images, (std::vector<int>{0, 1, 3, 3, 3, 3, 3, 3, 2, 3, 3, 3, 3, 3, 3, 3}));
}

// A GPS update reaches every page, shown or not: the hidden "Current route" readout follows the fix.
TEST_F(MainFrameTest, GpsUpdateRefreshesEveryPage) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    TreeNode& route = *test::nodesOf(frame, NODE_VIEW, "Current route").at(0);
    ASSERT_FALSE(IsWindowVisible(route.pane->hwnd));
    HWND readout = test::paneOf<FixReadout>(route)->hwnd;
    const auto text = [&] {
        char shown[512] = "";
        GetWindowTextA(readout, shown, sizeof shown);
        return std::string(shown);
    };
    const std::string before = text();
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(test::sealed("$GPRMC,101112,A,4807.038,N,01131.000,E,0.0,0.0,230394,,") + "\r\n"));
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return text().find("10:11:12") != std::string::npos; })) << text();
    EXPECT_NE(text(), before);
}

} // namespace
} // namespace veltaro
