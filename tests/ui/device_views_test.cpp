#include "support/canvas.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/views/course_view.h"
#include "ui/views/fix_readout.h"
#include "ui/views/route_view.h"
#include "ui/views/sat_signal_view.h"
#include "ui/views/sat_tracking_view.h"
#include "ui/views/speed_view.h"

#include <gtest/gtest.h>

#include <string>

namespace veltaro {
namespace {

void ignoreError(const std::string&) {}

TVITEMA itemOf(HWND tree, HTREEITEM item) {
    TVITEMA query;
    ZeroMemory(&query, sizeof query);
    query.mask = TVIF_IMAGE | TVIF_STATE;
    query.stateMask = TVIS_EXPANDED;
    query.hItem = item;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&query));
    return query;
}

HTREEITEM nextItem(HWND tree, HTREEITEM item, WPARAM relation) {
    return reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

class DeviceViewsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    DeviceViewsTest() : frame(SW_SHOWNORMAL) { frame.showError = ignoreError; }

    // Shows a node's page, as a click on its item does.
    void select(TreeNode& node) {
        SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node.item));
    }

    MainFrame frame;
};

TEST_F(DeviceViewsTest, StartedDeviceGetsItsPagesInOrderUnderItsExpandedItem) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    TreeNode& device = *test::nodesOf(frame, NODE_DEVICE).at(0);
    const HWND tree = frame.treeWindow;
    EXPECT_NE(itemOf(tree, device.item).state & TVIS_EXPANDED, 0u);

    const struct {
        const char* text;
        std::int32_t live;
    } expected[] = {{"Sat stats", 0}, {"Current route", 1}, {"Sentences", 0},
                    {"Signals", 0},   {"Accuracy", 0},      {"History", 0}};
    HTREEITEM item = nextItem(tree, device.item, TVGN_CHILD);
    for (const auto& page : expected) {
        TreeNode& view = *test::nodesOf(frame, NODE_VIEW, page.text).at(0);
        ASSERT_EQ(item, view.item) << page.text;
        EXPECT_EQ(test::itemText(tree, item), page.text);
        EXPECT_EQ(itemOf(tree, item).iImage, 3);
        EXPECT_EQ(view.kind, NODE_VIEW);
        EXPECT_EQ(view.live, page.live);
        EXPECT_EQ(view.parentNode, &device);
        EXPECT_EQ(view.device, nullptr) << "no menu on a view";
        for (const auto& pane : view.panes) {
            EXPECT_EQ(pane->data, &device.device->snapshot);
        }
        item = nextItem(tree, item, TVGN_NEXT);
    }
    EXPECT_EQ(item, nullptr);
    EXPECT_EQ(frame.currentNode, &device) << "the device page stays shown";
}

TEST_F(DeviceViewsTest, PagesLayTheirViewsOutInTheClientArea) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    RECT client;
    GetClientRect(frame.clientWindow.hwnd, &client);
    const int w = client.right;
    const int h = client.bottom;
    const int strip = sharedGdi().lineHeight() + 20;

    TreeNode& stats = *test::nodesOf(frame, NODE_VIEW, "Sat stats").at(0);
    select(stats);
    ASSERT_EQ(stats.panes.size(), 3u);
    test::expectRect(test::paneOf<SatSignalView>(stats)->hwnd, test::box(0, 0, 150, h));
    test::expectRect(test::paneOf<SatTrackingView>(stats)->hwnd, test::box(150, 0, w - 150, h));

    TreeNode& route = *test::nodesOf(frame, NODE_VIEW, "Current route").at(0);
    select(route);
    ASSERT_EQ(route.panes.size(), 6u);
    CourseView* course = test::paneOf<CourseView>(route);
    test::expectRect(course->parent->hwnd, test::box(0, 0, 150, h)); // the left column
    test::expectRect(course->hwnd, test::box(0, 0, 150, 150));
    test::expectRect(test::paneOf<SpeedView>(route)->hwnd, test::box(0, 150, 150, strip));
    test::expectRect(test::paneOf<FixReadout>(route)->hwnd, test::box(0, 150 + strip, 150, h - 150 - strip));
    // The route view's window has a sunken edge; its window rectangle fills the rest.
    test::expectRect(test::paneOf<RouteView>(route)->hwnd, test::box(150, 0, w - 150, h));
    test::saveScreenshot("current_route_empty");
}

TEST_F(DeviceViewsTest, AReceiverStreamShowsSatellitesAndATrack) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    GpsDevice& device = *test::nodesOf(frame, NODE_DEVICE).at(0)->device;
    TreeNode& stats = *test::nodesOf(frame, NODE_VIEW, "Sat stats").at(0);
    TreeNode& routePage = *test::nodesOf(frame, NODE_VIEW, "Current route").at(0);
    RouteView& route = *test::paneOf<RouteView>(routePage);
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(test::readFile(VELTARO_NMEA_DIR "/isync.nmea")));
    // Its last fix is at 13:15:30, with 15 satellites in view.
    ASSERT_TRUE(test::pumpMessagesUntil([&] {
        return device.snapshot.satellites.inView == 15 && device.snapshot.minute == 15 && device.snapshot.second == 30;
    }));
    EXPECT_GT(route.track.count, 1);

    SatSignalView& signal = *test::paneOf<SatSignalView>(stats);
    test::Canvas bars(150, 400);
    signal.draw(bars.dc(), 150, 400);
    EXPECT_GT(bars.count(RGB(255, 0, 0)), 15 * 20) << "a bar per satellite";

    select(stats);
    test::saveScreenshot("sat_stats");
    select(routePage);
    test::saveScreenshot("current_route");
}

TEST_F(DeviceViewsTest, TwoDevicesDrawTheirOwnSnapshots) {
    GpsState first;
    GpsState second;
    std::unique_ptr<TreeNode> a = frame.buildSatStats(&first);
    std::unique_ptr<TreeNode> b = frame.buildSatStats(&second);
    first.active = 1;
    first.satellites.inView = 1;
    first.satellites.snr[0] = 40;
    SatSignalView* signalA = test::paneOf<SatSignalView>(*a);
    SatSignalView* signalB = test::paneOf<SatSignalView>(*b);
    test::Canvas pictureA(150, 200);
    test::Canvas pictureB(150, 200);
    signalA->draw(pictureA.dc(), 150, 200);
    signalB->draw(pictureB.dc(), 150, 200);
    EXPECT_EQ(pictureA.count(RGB(255, 0, 0)), 40 * (sharedGdi().lineHeight()));
    EXPECT_EQ(pictureB.count(RGB(255, 0, 0)), 0) << "the second device is inactive";
}

} // namespace
} // namespace veltaro
