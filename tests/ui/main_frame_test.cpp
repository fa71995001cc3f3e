#include "ui/main/main_frame.h"

#include "ports/serial_port.h"
#include "res/resource.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/main/shared_gdi.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace veltaro {
namespace {

std::vector<int> reportedErrors;
void recordError(int code) {
    reportedErrors.push_back(code);
}

std::string itemText(HWND tree, HTREEITEM item) {
    char text[128] = "";
    TVITEMA query;
    ZeroMemory(&query, sizeof query);
    query.mask = TVIF_TEXT;
    query.hItem = item;
    query.pszText = text;
    query.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return text;
}

class MainFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    MainFrameTest() : frame(SW_SHOWNORMAL) {
        frame.showError = recordError;
        reportedErrors.clear();
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
    GetWindowRect(frame.mainWindow, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 20);
    EXPECT_EQ(rect.right - rect.left, 680);
    EXPECT_EQ(rect.bottom - rect.top, 550);
    EXPECT_EQ(width(frame.treeWindow), 150);
    EXPECT_EQ(width(frame.splitterWindow), 4);
    EXPECT_EQ(test::rectInParent(frame.clientWindow).left, 154);

    ASSERT_EQ(frame.nodes.size(), 1u);
    EXPECT_EQ(frame.currentNode, frame.rootNode);
    EXPECT_TRUE(IsWindowVisible(frame.rootNode->pane->hwnd));
    EXPECT_EQ(SendMessageA(frame.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0), 0) << "no item selected";
    EXPECT_EQ(itemText(frame.treeWindow, frame.rootNode->item), "Veltaro");
    char title[32] = "";
    GetWindowTextA(frame.mainWindow, title, sizeof title);
    EXPECT_STREQ(title, "Veltaro");
    test::saveScreenshot("main_frame");
}

TEST_F(MainFrameTest, DraggedBarKeepsItsPlaceWhenTheWindowIsResized) {
    POINT point{202, 100};
    ClientToScreen(frame.mainWindow, &point);
    SetCursorPos(point.x, point.y);
    SendMessageA(frame.splitterWindow, WM_MOUSEMOVE, MK_LBUTTON, 0);
    EXPECT_EQ(frame.splitPosition, 200);
    MoveWindow(frame.mainWindow, 100, 20, 800, 600, TRUE);
    EXPECT_EQ(width(frame.treeWindow), 200);
    EXPECT_EQ(test::rectInParent(frame.splitterWindow).left, 200);
    EXPECT_EQ(test::rectInParent(frame.clientWindow).left, 204);
    RECT page;
    GetClientRect(frame.rootNode->pane->hwnd, &page);
    RECT client;
    GetClientRect(frame.clientWindow, &client);
    EXPECT_EQ(page.right, client.right) << "the shown page fills the client area";
    EXPECT_EQ(page.bottom, client.bottom);
}

TEST_F(MainFrameTest, ExitCommandEndsTheMessageLoop) {
    SendMessageA(frame.mainWindow, WM_COMMAND, IDM_EXIT, 0);
    EXPECT_FALSE(IsWindow(frame.mainWindow));
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(SendMessageA(frame.mainWindow, WM_COMMAND, 12345, 0), 0) << "a gone window answers nothing";
}

TEST_F(MainFrameTest, DeviceThatCannotOpenAddsNothingAndSaysWhy) {
    frame.startDevice(99, 4800, true, true, 98, 4800);
    EXPECT_EQ(reportedErrors, std::vector<int>{DEVICE_ERROR_OPEN_PORT});
    EXPECT_EQ(deviceErrorText(reportedErrors.at(0)), "Cannot open port.");
    EXPECT_EQ(frame.nodes.size(), 1u);
    EXPECT_EQ(frame.currentNode, frame.rootNode);
}

TEST_F(MainFrameTest, StartedDeviceGetsItsNodeSelectedWithItsPage) {
    frame.startDevice(5, 4800, false, true, 99, 4800); // the echo port cannot open: said, and not added
    EXPECT_EQ(reportedErrors, std::vector<int>{DEVICE_ERROR_OPEN_PORT});
    ASSERT_EQ(frame.nodes.size(), 2u);
    TreeNode& node = *frame.nodes[1];
    EXPECT_EQ(node.kind, NODE_DEVICE);
    EXPECT_EQ(node.live, 1);
    EXPECT_EQ(node.parentNode, frame.rootNode);
    EXPECT_EQ(itemText(frame.treeWindow, node.item), "COM5: Live GPS");
    EXPECT_EQ(reinterpret_cast<HTREEITEM>(SendMessageA(frame.treeWindow, TVM_GETNEXTITEM, TVGN_CARET, 0)), node.item);
    EXPECT_EQ(frame.currentNode, &node);
    EXPECT_TRUE(IsWindowVisible(node.pane->hwnd));
    EXPECT_FALSE(IsWindowVisible(frame.rootNode->pane->hwnd));
    EXPECT_EQ(nodeImage(node), 1);

    std::vector<std::string> names;
    std::vector<Port*> ports;
    std::vector<ByteQueue*> queues;
    EXPECT_EQ(node.device->copyOutputs(names, ports, queues), 0);
    test::saveScreenshot("device_page");

    // Back to the start page through the tree.
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(frame.rootNode->item));
    EXPECT_EQ(frame.currentNode, frame.rootNode);
    EXPECT_FALSE(IsWindowVisible(node.pane->hwnd));
}

TEST_F(MainFrameTest, ClosingTheWindowDeliversWhatTheDevicesStillHold) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 2u);
    GpsDevice& device = *frame.nodes[1]->device;
    const std::string log = test::temporaryPath("closing.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    ASSERT_TRUE(device.addEchoPort(std::make_unique<SerialPort>(7, 4800))) << "its far end, COM17, never reads";

    std::string stream;
    for (int i = 0; i < 2000; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "$GPGGA,%02d%02d%02d,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",
                      i / 3600, i / 60 % 60, i % 60);
        stream += line;
    }
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(stream));
    // Once the last line is decoded the tee has handed every byte to the log's queue too; whether the
    // log's writer has written them yet is open, and closing must not lose them.
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.parser->linesDecoded() == 2000; }));
    const ULONGLONG started = GetTickCount64();
    test::expectToEnd([&] { SendMessageA(frame.mainWindow, WM_COMMAND, IDM_EXIT, 0); });
    std::printf("closed in %llu ms with an echo nobody reads\n", GetTickCount64() - started);
    EXPECT_TRUE(test::readFile(log) == stream) << "the log is complete";
    SerialPort again(5, 4800);
    again.initialize();
    EXPECT_TRUE(again.open(true, nullptr)) << "the device's port is free again";
}

TEST_F(MainFrameTest, NodeImagesFollowKindAndLiveness) {
    TreeNode node;
    const struct {
        std::int32_t kind;
        std::int32_t live;
        int image;
    } cases[] = {{NODE_START, 0, 0}, {NODE_DEVICE, 1, 1}, {NODE_DEVICE, 0, 2}, {NODE_VIEW, 1, 3}, {7, 0, -1}};
    for (const auto& c : cases) {
        node.kind = c.kind;
        node.live = c.live;
        EXPECT_EQ(nodeImage(node), c.image) << c.kind << "/" << c.live;
    }
}

} // namespace
} // namespace veltaro
