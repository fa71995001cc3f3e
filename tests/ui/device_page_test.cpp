#include "ui/pages/device_page.h"

#include "ports/file_port.h"
#include "ports/net_socket.h"
#include "ports/serial_port.h"
#include "res/resource.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/scripted_port.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/drawing_resources.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include <string>

namespace veltaro {
namespace {

std::string rowText(HWND list, int row, int column = 0) {
    char text[MAX_PATH] = "";
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

DeviceReport reportOf(const char* source, const PortStatus& status, std::int64_t lines, std::int64_t quiet,
                      std::int64_t bad = 0, const NotReadLines& notRead = {}) {
    DeviceReport report;
    report.source = source;
    report.sourceStatus = status;
    report.lines = lines;
    report.secondsSinceLastLine = quiet;
    report.badChecksums = bad;
    report.notRead = notRead;
    return report;
}

int rowCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

class DevicePageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    DevicePageTest()
        : window(600, 400), device(std::make_unique<test::ScriptedPort>("COM3")), root(nullptr),
          page(&device, &root, sharedGdi()) {
        device.start(nullptr);
        root.create(window.get());
        page.dock = DOCK_FILL;
        page.create(root.hwnd);
        MoveWindow(root.hwnd, 0, 0, 400, 300, TRUE);
        // Shown, as the frame shows a device's page: only then does it look at its device.
        ShowWindow(window.get(), SW_SHOWNOACTIVATE);
        page.refresh();
    }

    HWND list() const { return GetDlgItem(page.hwnd, IDC_DEVICE_OUTPUT_LIST); }

    test::TestWindow window;
    GpsDevice device;
    ContainerPane root;
    DevicePage page;
};

// Types the letter of "Stop" into the popup menu once it shows; from within the menu's own loop, as input
// sent from there does not reach it.
void CALLBACK chooseStop(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menu = FindWindowA("#32768", nullptr);
    if (menu != nullptr && IsWindowVisible(menu)) {
        KillTimer(nullptr, timer);
        PostMessageA(menu, WM_CHAR, 's', 1);
    }
}

TEST_F(DevicePageTest, RightClickOnARowStopsThatOutputAlone) {
    const std::string first = test::temporaryPath("first.gpsl");
    const std::string second = test::temporaryPath("second.gpsl");
    ASSERT_TRUE(device.addLogFile(first.c_str()));
    ASSERT_TRUE(device.addLogFile(second.c_str()));
    page.updateStatus();
    ASSERT_EQ(rowText(list(), 1), first) << "the newest output is listed first";

    RECT row{};
    row.left = LVIR_LABEL;
    ASSERT_TRUE(SendMessageA(list(), LVM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row)));
    POINT at{row.left + 8, (row.top + row.bottom) / 2};
    ClientToScreen(list(), &at);
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, chooseStop);
    test::rightClickAt(at);
    const bool stopped = test::pumpMessagesUntil([&] { return device.report().outputs[0].stopped; });
    KillTimer(nullptr, timer);
    ASSERT_TRUE(stopped) << "no menu, or Stop did not stop the row's output";
    EXPECT_FALSE(device.report().outputs[1].stopped) << "the other goes on";
    EXPECT_EQ(rowText(list(), 1, 1), "stopped at byte 0");
    EXPECT_EQ(rowText(list(), 0, 1), "writing");
}

TEST_F(DevicePageTest, ShowsTheSourcePortAndAnEmptyFileList) {
    ASSERT_NE(page.hwnd, nullptr) << "the dialog resource did not load";
    char status[128] = "";
    GetDlgItemTextA(page.hwnd, IDC_DEVICE_STATUS, status, sizeof status);
    EXPECT_STREQ(status, "Status:\n  Port COM3\n  0 bytes received, 0 lines decoded\n  no data for 0 s");
    EXPECT_EQ(rowCount(list()), 0);
    char header[16] = "";
    LVCOLUMNA column;
    ZeroMemory(&column, sizeof column);
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = header;
    column.cchTextMax = sizeof header;
    ASSERT_TRUE(SendMessageA(list(), LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(header, "File");
    EXPECT_EQ(column.cx, 300);
    ASSERT_TRUE(SendMessageA(list(), LVM_GETCOLUMNA, 1, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(header, "Status");
    EXPECT_EQ(page.data, &device.snapshot);
}

TEST_F(DevicePageTest, TimerRebuildsTheListNewestFirstWhileShown) {
    const std::string log = test::temporaryPath("page.gpsl");
    ASSERT_TRUE(device.addEchoPort(std::make_unique<test::ScriptedPort>("COM5")));
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    // Nothing tells the page: its 2-second timer finds the outputs.
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return rowCount(list()) == 2; }));
    EXPECT_EQ(rowText(list(), 0), log);
    EXPECT_EQ(rowText(list(), 1), "COM5");
}

// Hidden, the page does not look at its device; shown again, it looks at once.
TEST_F(DevicePageTest, HiddenPageLooksAgainAsItIsShown) {
    ShowWindow(root.hwnd, SW_HIDE);
    ASSERT_TRUE(device.addEchoPort(std::make_unique<test::ScriptedPort>("COM5")));
    page.refresh(); // a GPS update while hidden
    EXPECT_EQ(rowCount(list()), 0);
    ShowWindow(root.hwnd, SW_SHOW);
    page.refresh(); // as the frame refreshes the page it shows
    EXPECT_EQ(rowCount(list()), 1);
}

TEST_F(DevicePageTest, FullDiskShowsWhileDecodingAndTheEchoGoOn) {
    const std::string stream = test::readFile(std::string(VELTARO_NMEA_DIR) + "/garmin48.nmea");
    const std::size_t lines = test::splitCrLfLines(stream).size();
    ASSERT_TRUE(device.addLogFile("Z:\\dev\\full")) << "a file that refuses every write";
    ASSERT_TRUE(device.addEchoPort(std::make_unique<SerialPort>(5, 4800)));
    test::FarEnd echo(15);
    ASSERT_TRUE(echo.isOpen());
    static_cast<test::ScriptedPort*>(device.port.get())->send(stream);

    EXPECT_EQ(echo.read(stream.size()).size(), stream.size());
    const std::string counts =
        std::to_string(stream.size()) + " bytes received, " + std::to_string(lines) + " lines decoded\n";
    auto statusText = [&] {
        char text[256] = "";
        GetDlgItemTextA(page.hwnd, IDC_DEVICE_STATUS, text, sizeof text);
        return std::string(text);
    };
    // The page learns all this from its 2-second timer.
    EXPECT_TRUE(test::pumpMessagesUntil([&] {
        return statusText().find(counts) != std::string::npos && rowCount(list()) == 2 &&
               rowText(list(), 1, 1).rfind("disk full since ", 0) == 0;
    })) << statusText()
        << "\n"
        << rowText(list(), 1, 1);
    EXPECT_EQ(rowText(list(), 1), "Z:\\dev\\full");
    EXPECT_EQ(rowText(list(), 0), "COM5");
    EXPECT_EQ(rowText(list(), 0, 1), "writing");
}

TEST_F(DevicePageTest, PageMadeAfterItsOutputsShowsTheirStatusAtOnce) {
    ASSERT_TRUE(device.addEchoPort(std::make_unique<test::ScriptedPort>("COM5")));
    DevicePage later(&device, &root, sharedGdi());
    ASSERT_TRUE(later.create(root.hwnd));
    const HWND laterList = GetDlgItem(later.hwnd, IDC_DEVICE_OUTPUT_LIST);
    ASSERT_EQ(rowCount(laterList), 1);
    EXPECT_EQ(rowText(laterList, 0, 1), "writing") << "not only after the page's next look";
}

TEST_F(DevicePageTest, OutputStatusReadsWholeAtTheDefaultWindowSize) {
    // The page's width in a main window of its first size, beside the tree and the splitter bar.
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, TRUE, 0);
    MoveWindow(root.hwnd, 0, 0, 680 - (frame.right - frame.left) - 154, 300, TRUE);
    struct Case {
        const char* name;
        const char* failure; // none: the port went away and is looked for again
        DWORD error;
        std::int64_t dropped;
        std::int64_t endedAt;
    };
    const Case cases[] = {
        {"COM5", nullptr, ERROR_INVALID_FUNCTION, 123456, -1},
        {"COM6", "far end not reading", 0, 654321, -1},
        {"C:\\Users\\someone\\Documents\\receiver.gpsl", "disk full", ERROR_DISK_FULL, 0, 3988291},
    };
    for (const Case& c : cases) {
        auto port = std::make_unique<test::ScriptedPort>(c.name);
        if (c.failure == nullptr) {
            port->lose(c.error);
        } else {
            port->fail(c.failure, c.error);
        }
        port->dropLines(c.dropped);
        if (c.endedAt >= 0) {
            port->end(c.endedAt);
        }
        ASSERT_TRUE(device.addEchoPort(std::move(port)));
    }
    page.updateStatus();
    ASSERT_EQ(rowCount(list()), 3);
    EXPECT_NE(rowText(list(), 2, 1).find(", reopening, 123456 lines dropped"), std::string::npos)
        << rowText(list(), 2, 1);

    RECT client;
    GetClientRect(list(), &client);
    const auto columnWidth = [&](int column) {
        return static_cast<int>(SendMessageA(list(), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    };
    const int status = columnWidth(1);
    EXPECT_LE(columnWidth(0) + status, client.right) << "nothing to scroll to";
    test::saveScreenshot("device_page_output_status");
    // The list's own measure of what its status texts need.
    SendMessageA(list(), LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE);
    EXPECT_GE(status, columnWidth(1));
}

TEST(DeviceStatusTextTest, SaysWhatCameAndHowLongAgo) {
    struct Case {
        const char* what;
        std::int64_t bytes;
        std::int64_t lines;
        std::int64_t quiet;
        std::int64_t bad;
        NotReadLines notRead;
        const char* lastLine;
    };
    NotReadLines gpsOnly;
    gpsOnly.lines = 12;
    gpsOnly.names = {{"$GPGLL", 10}, {"$GPVTG", 2}};
    NotReadLines modern;
    modern.lines = 1204;
    modern.names = {{"$GNRMC", 500}, {"$GNGGA", 500}, {"$GLGSV", 200}, {"$GNVTG", 4}};
    modern.otherSystems = true;
    NotReadLines noise; // a wrong baud rate: one readable name among bytes nobody can read
    noise.lines = 1;
    noise.names = {{"$GPTXT", 1}};
    noise.unreadable = 1204;
    const Case cases[] = {
        {"one of everything", 4096, 57, 1, 1, noise,
         "last line 1 s ago\n  1 line with a bad checksum, not read\n  1 line not read: $GPTXT\n  1,204 unreadable "
         "lines"},
        {"nothing came", 0, 0, 12, 0, {}, "no data for 12 s"},
        {"data flows", 4096, 57, 1, 0, {}, "last line 1 s ago"},
        {"data stopped", 4096, 57, 40, 0, {}, "no data for 40 s"},
        {"corrupted lines", 4096, 57, 1, 3, {}, "last line 1 s ago\n  3 lines with a bad checksum, not read"},
        {"one corrupted line", 4096, 57, 1, 1, {}, "last line 1 s ago\n  1 line with a bad checksum, not read"},
        {"other sentences", 4096, 57, 1, 0, gpsOnly, "last line 1 s ago\n  12 lines not read: $GPGLL, $GPVTG"},
        {"other systems", 4096, 57, 1, 3, modern,
         "last line 1 s ago\n  3 lines with a bad checksum, not read\n  1,204 lines not read: $GNRMC, $GNGGA, $GLGSV\n "
         " Choose "
         "'Read every satellite system' from the device's menu to show them."},
    };
    for (const Case& c : cases) {
        PortStatus source;
        source.bytes = c.bytes;
        EXPECT_EQ(deviceStatusText(reportOf("Port COM3", source, c.lines, c.quiet, c.bad, c.notRead)),
                  "Status:\n  Port COM3\n  " + std::to_string(c.bytes) + " bytes received, " + std::to_string(c.lines) +
                      " lines decoded\n  " + c.lastLine)
            << c.what;
    }
    DeviceReport garbled = reportOf("Port COM3", PortStatus{}, 0, 40);
    garbled.bytesWithoutLine = true;
    EXPECT_NE(deviceStatusText(garbled).find("\n  bytes arriving, no complete line for 40 s"), std::string::npos);
    DeviceReport switched = reportOf("Port COM3", PortStatus{}, 57, 1);
    switched.everySystemSwitchedBy = "$GNGGA";
    EXPECT_NE(deviceStatusText(switched).find("\n  Reading every satellite system: the receiver sends $GNGGA"),
              std::string::npos);
    PortStatus lost;
    lost.failure = "port lost";
    lost.reopening = true;
    lost.since.wHour = 9;
    lost.since.wMinute = 5;
    lost.since.wSecond = 7;
    EXPECT_EQ(deviceStatusText(reportOf("Port COM3", lost, 3, 30)),
              "Status:\n  Port COM3\n  0 bytes received, 3 lines decoded\n  port lost since 09:05:07, reopening");
    PortStatus replayed; // a replay at the end of its file is not late, however long ago its last line came
    replayed.bytes = 2048;
    replayed.atEnd = true;
    EXPECT_EQ(deviceStatusText(reportOf("File C:\\day.gpsl", replayed, 40, 30)),
              "Status:\n  File C:\\day.gpsl\n  2048 bytes received, 40 lines decoded\n  end of file");
}

TEST(DeviceStatusTextTest, SaysHowTheSearchForTheBaudRateGoes) {
    struct Case {
        const char* what;
        BaudStatus baud;
        std::int64_t lines;
        const char* expected;
        bool lost = false;
    };
    const std::vector<BaudSearch::SkippedRate> refused = {
        {460800, "The parameter is incorrect."},
        {57600, "A device attached to the system is not functioning."},
        {230400, "The parameter is incorrect."}};
    const Case cases[] = {
        {"first round",
         {9600, 0, false, {}},
         0,
         "Status:\n  Port COM5\n  0 bytes received, 0 lines decoded\n  looking for the baud rate: trying 9600"},
        {"refused rates, grouped by reason in the order refused",
         {4800, 0, false, refused},
         0,
         "Status:\n  Port COM5\n  0 bytes received, 0 lines decoded\n  looking for the baud rate: trying 4800\n  COM5 "
         "refused 460800, 230400 baud: The parameter is incorrect.\n  COM5 refused 57600 baud: A device attached to "
         "the system is not functioning."},
        {"a round found nothing",
         {19200, 0, true, {{460800, ""}}},
         0,
         "Status:\n  Port COM5\n  0 bytes received, 0 lines decoded\n  no NMEA found at any baud rate; trying "
         "again\n  COM5 refused 460800 baud"},
        {"found, refusals no longer matter",
         {0, 38400, false, refused},
         57,
         "Status:\n  Port COM5, found at 38400 baud\n  0 bytes received, 57 lines decoded\n  last line 1 s ago"},
        {"a rate chosen by the user",
         {},
         57,
         "Status:\n  Port COM5\n  0 bytes received, 57 lines decoded\n  last line 1 s ago"},
        {"lost while searching: the search begins again once it is back",
         {4800, 0, true, refused},
         0,
         "Status:\n  Port COM5\n  0 bytes received, 0 lines decoded\n  port lost since 00:00:00, reopening",
         true},
    };
    for (const Case& c : cases) {
        PortStatus source;
        source.baud = c.baud;
        if (c.lost) {
            source.failure = "port lost";
            source.reopening = true;
        }
        EXPECT_EQ(deviceStatusText(reportOf("Port COM5", source, c.lines, 1)), c.expected) << c.what;
    }
}

TEST(DeviceStatusTextTest, OutputStatusSaysWhatFailedSinceWhenAndWhatWasDropped) {
    PortStatus writing;
    PortStatus lagging;
    lagging.droppedLines = 12;
    PortStatus full;
    full.failure = "disk full";
    full.systemError = ERROR_DISK_FULL;
    full.since.wHour = 23;
    full.since.wMinute = 59;
    full.since.wSecond = 1;
    PortStatus ended = full;
    ended.endedAt = 1234;
    PortStatus lost;
    lost.failure = "port lost";
    lost.reopening = true;
    lost.droppedLines = 3;
    EXPECT_EQ(outputStatusText({"", writing, false}), "writing");
    EXPECT_EQ(outputStatusText({"", lagging, false}), "writing, 12 lines dropped");
    EXPECT_EQ(outputStatusText({"", full, false}).rfind("disk full since 23:59:01 (", 0), 0u)
        << "with the system's words";
    EXPECT_EQ(outputStatusText({"", ended, false}).rfind("ended at byte 1234: disk full since 23:59:01 (", 0), 0u);
    EXPECT_EQ(outputStatusText({"", lost, false}), "port lost since 00:00:00, reopening, 3 lines dropped");
}

TEST(DeviceStatusTextTest, NetworkSourcesServersAndCorrectionsSayHowTheyGo) {
    SYSTEMTIME at{};
    at.wHour = 9;
    at.wMinute = 5;
    at.wSecond = 7;
    PortStatus dropped;
    dropped.failure = "connection lost";
    dropped.reconnecting = true;
    dropped.systemError = WSAECONNREFUSED;
    dropped.since = at;
    EXPECT_EQ(deviceStatusText(reportOf("Network tcp://gps.local:10110", dropped, 3, 30)),
              "Status:\n  Network tcp://gps.local:10110\n  0 bytes received, 3 lines decoded\n  connection lost since "
              "09:05:07, reconnecting: " +
                  socketErrorText(WSAECONNREFUSED));

    PortStatus serving;
    serving.clients = 3;
    PortStatus stalled = serving;
    stalled.droppedLines = 1204;
    stalled.droppedFor = 1;
    const struct {
        PortStatus status;
        bool stopped;
        const char* expected;
    } servers[] = {
        {serving, false, "3 clients"},
        {stalled, false, "3 clients, 1,204 lines dropped for 1"},
        {stalled, true, "stopped at byte 0, 3 clients, 1,204 lines dropped for 1"},
    };
    for (const auto& server : servers) {
        EXPECT_EQ(outputStatusText({"TCP port 10110", server.status, server.stopped}), server.expected);
    }

    CorrectionsStatus flowing;
    flowing.caster = "caster.example/MOUNT";
    flowing.bytes = 12345;
    flowing.lastAt = 1;
    CorrectionsStatus refused = flowing;
    refused.failure = "refused";
    refused.refusal = "401 Unauthorized";
    refused.since = at;
    CorrectionsStatus unplugged = flowing;
    unplugged.notWritten = 2048;
    const struct {
        CorrectionsStatus corrections;
        const char* line;
    } casters[] = {
        {flowing, "corrections: 12,345 bytes from caster.example/MOUNT, last 1 s ago"},
        {refused, "corrections from caster.example/MOUNT: 401 Unauthorized since 09:05:07, asking again"},
        {unplugged, "corrections: 12,345 bytes from caster.example/MOUNT, last 1 s ago; 2,048 bytes the receiver's "
                    "port could not take"},
    };
    for (const auto& caster : casters) {
        DeviceReport report = reportOf("Port COM3", PortStatus{}, 57, 1);
        report.corrections = caster.corrections;
        report.correctionsAgeSeconds = 1;
        EXPECT_EQ(deviceStatusText(report), "Status:\n  Port COM3\n  0 bytes received, 57 lines decoded\n  last line 1 "
                                            "s ago\n  " +
                                                std::string(caster.line));
    }
}

TEST_F(DevicePageTest, ControlsStackAndTheListTakesTheRest) {
    const int c = sharedGdi().lineHeight();
    const RECT listRect = test::rectInParent(list());
    EXPECT_EQ(listRect.left, 4);
    EXPECT_EQ(listRect.top, 12 * c + 20);
    EXPECT_EQ(listRect.right, 396);
    EXPECT_EQ(listRect.bottom, 292);
    const RECT status = test::rectInParent(GetDlgItem(page.hwnd, IDC_DEVICE_STATUS));
    EXPECT_EQ(status.top, c + 12);
    EXPECT_EQ(status.bottom - status.top, 10 * c);

    // Every line of the status shows whole in the control's own font, the longest status too.
    HWND statusText = GetDlgItem(page.hwnd, IDC_DEVICE_STATUS);
    char text[512];
    GetWindowTextA(statusText, text, sizeof text);
    EXPECT_EQ(std::count(text, text + std::strlen(text), '\n'), 3) << "four lines";
    PortStatus lost;
    lost.failure = "port lost";
    NotReadLines notRead;
    notRead.lines = 1234567;
    notRead.names = {{"$GNRMC", 1}, {"$GNGGA", 1}, {"$GLGSV", 1}};
    notRead.otherSystems = true;
    const std::string longest = deviceStatusText(reportOf("Port COM12", lost, 123456789, 0, 1234567, notRead));
    HDC dc = GetDC(statusText);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(statusText, WM_GETFONT, 0, 0)));
    for (const char* shown : {static_cast<const char*>(text), longest.c_str()}) {
        RECT needed{0, 0, status.right - status.left, 0};
        DrawTextA(dc, shown, -1, &needed, DT_CALCRECT | DT_WORDBREAK);
        EXPECT_LE(needed.bottom, status.bottom - status.top) << shown;
    }
    SelectObject(dc, old);
    ReleaseDC(statusText, dc);
}

// A replay's page steers it: "Pause" holds it and turns into "Play", the speed choice goes to the file port.
TEST(ReplayPageTest, PauseAndSpeedReachTheReplay) {
    createSharedGdi();
    const std::string path = test::temporaryPath("steered-page.gpsl");
    std::ofstream(path, std::ios::binary) << "$GPGGA,120000.00,1\r\n$GPGGA,120001.00,2\r\n";
    test::TestWindow window(600, 400);
    GpsDevice device(std::make_unique<FilePort>(path.c_str(), ReplayPace::RECEIVER));
    device.recordedFile = path;
    ContainerPane root(nullptr);
    DevicePage page(&device, &root, sharedGdi());
    ASSERT_TRUE(device.start(nullptr));
    root.create(window.get());
    page.dock = DOCK_FILL;
    page.create(root.hwnd);
    MoveWindow(root.hwnd, 0, 0, 600, 400, TRUE);
    ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    const auto& file = static_cast<const FilePort&>(*device.port);
    HWND pause = GetDlgItem(page.hwnd, IDC_DEVICE_PAUSE);
    HWND speed = GetDlgItem(page.hwnd, IDC_DEVICE_SPEED);
    ASSERT_NE(pause, nullptr);
    ASSERT_NE(speed, nullptr);
    test::saveScreenshot("device_page_replay");

    const struct {
        const char* what;
        int click;      // 1: press the pause button
        int speedIndex; // the speed list's entry to choose, -1 none
        bool paused;
        ReplaySpeed speed;
        const char* button;
    } steps[] = {
        {"as opened", 0, -1, false, ReplaySpeed::REAL_TIME, "Pause"},
        {"paused", 1, -1, true, ReplaySpeed::REAL_TIME, "Play"},
        {"ten times while paused", 0, 1, true, ReplaySpeed::TEN_TIMES, "Play"},
        {"played again", 1, -1, false, ReplaySpeed::TEN_TIMES, "Pause"},
        {"as fast as possible", 0, 2, false, ReplaySpeed::FASTEST, "Pause"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        if (step.click != 0) {
            SendMessageA(pause, BM_CLICK, 0, 0);
        }
        if (step.speedIndex >= 0) {
            SendMessageA(speed, CB_SETCURSEL, static_cast<WPARAM>(step.speedIndex), 0);
            SendMessageA(page.hwnd, WM_COMMAND, MAKEWPARAM(IDC_DEVICE_SPEED, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(speed));
        }
        EXPECT_EQ(file.pausedByUser(), step.paused);
        EXPECT_EQ(file.speed(), step.speed);
        char text[16] = "";
        GetWindowTextA(pause, text, sizeof text);
        EXPECT_STREQ(text, step.button);
    }
    device.stop();
}

} // namespace
} // namespace veltaro
