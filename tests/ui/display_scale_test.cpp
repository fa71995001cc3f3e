#include "res/resource.h"
#include "support/captures.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/pages/device_page.h"
#include "ui/pages/start_page.h"
#include "ui/views/course_view.h"
#include "ui/views/sat_signal_view.h"
#include "ui/views/speed_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace veltaro {
namespace {

int widthOf(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.right - rect.left;
}

int heightOf(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    return rect.bottom - rect.top;
}

// Where the layout stands, each figure with what the rules at 96 DPI make of it at the display's scale.
struct Figure {
    const char* what;
    int shown;
    int rule; // at 96 DPI
};

std::vector<Figure> layoutFigures(MainFrame& frame) {
    const SharedGdi& gdi = sharedGdi();
    TreeNode& device = *test::nodesOf(frame, NODE_DEVICE).at(0);
    TreeNode& satStats = *test::nodesOf(frame, NODE_VIEW, "Sat stats").at(0);
    TreeNode& route = *test::nodesOf(frame, NODE_VIEW, "Current route").at(0);
    // Shown, so its column of views is laid out.
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(route.item));
    HWND status = GetDlgItem(test::paneOf<DevicePage>(device)->hwnd, IDC_DEVICE_STATUS);
    HWND portList = GetDlgItem(test::paneOf<StartPage>(*frame.rootNode)->hwnd, IDC_START_PORT_LIST);
    return {
        {"the tree's width", widthOf(frame.treeWindow), 150},
        {"the bar's width", widthOf(frame.splitterWindow), 4},
        {"the signal bars' width", widthOf(test::paneOf<SatSignalView>(satStats)->hwnd), 150},
        {"the course dial's width", widthOf(test::paneOf<CourseView>(route)->hwnd), 150},
        {"the course dial's height", heightOf(test::paneOf<CourseView>(route)->hwnd), 150},
        {"the speed strip's height less a line", heightOf(test::paneOf<SpeedView>(route)->hwnd) - gdi.lineHeight(), 20},
        {"the device status's left edge", test::rectInParent(status).left, 4},
        {"the device status's top less a line", test::rectInParent(status).top - gdi.lineHeight(), 12},
        {"the port list's left edge", test::rectInParent(portList).left, 8},
        {"the GUI font's line", gdi.lineHeight(), 11},
    };
}

void expectScaled(const std::vector<Figure>& figures, int dpi) {
    for (const Figure& figure : figures) {
        EXPECT_EQ(figure.shown, MulDiv(figure.rule, dpi, 96)) << figure.what << " at " << dpi << " DPI";
    }
}

class DisplayScaleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    DisplayScaleTest() : frame(SW_SHOWNORMAL) {
        EXPECT_TRUE(frame.startRecordedDevice(std::string(VELTARO_NMEA_DIR) + "/isync.nmea"));
    }

    MainFrame frame;
};

// At the display's own scale (96 DPI here, 144 or 192 in the prefixes set to them) every layout figure is the
// rule at 96 DPI scaled, the fonts too, and each page is photographed to check that nothing is cut.
TEST_F(DisplayScaleTest, LayoutFollowsTheDisplaysScale) {
    const int dpi = sharedGdi().dpi;
    EXPECT_EQ(dpi, windowDpi(frame.mainWindow.hwnd));
    expectScaled(layoutFigures(frame), dpi);
    RECT window;
    RECT work;
    GetWindowRect(frame.mainWindow.hwnd, &window);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(window.right, work.right) << "the window stays on the screen";
    EXPECT_LE(window.bottom, work.bottom);
    const std::string prefix = "dpi" + std::to_string(dpi) + "_";
    for (TreeNode* node : {frame.rootNode, test::nodesOf(frame, NODE_DEVICE).at(0)}) {
        SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node->item));
        test::saveScreenshot(prefix + (node == frame.rootNode ? "start_page" : "device_page"));
    }
    for (const char* page : {"Sat stats", "Current route", "Sentences", "Signals", "Accuracy", "History"}) {
        SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(test::nodesOf(frame, NODE_VIEW, page).at(0)->item));
        std::string name = prefix + page;
        std::replace(name.begin(), name.end(), ' ', '_');
        test::saveScreenshot(name);
    }
}

// Moved to a monitor of another scale, the window lays itself out anew at it, and back.
TEST_F(DisplayScaleTest, MovingToAMonitorOfAnotherScaleScalesEverything) {
    const int home = sharedGdi().dpi;
    const std::vector<Figure> before = layoutFigures(frame);
    for (const int dpi : {home * 3 / 2, home}) {
        RECT window;
        GetWindowRect(frame.mainWindow.hwnd, &window);
        RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, dpi, sharedGdi().dpi),
                       window.top + MulDiv(window.bottom - window.top, dpi, sharedGdi().dpi)};
        SendMessageA(frame.mainWindow.hwnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        EXPECT_EQ(sharedGdi().dpi, dpi);
        const std::vector<Figure> after = layoutFigures(frame);
        for (std::size_t i = 0; i + 1 < after.size(); ++i) { // the font's line: rounded by the font
            EXPECT_EQ(after[i].shown, MulDiv(before[i].shown, dpi, home)) << after[i].what << " at " << dpi;
        }
        EXPECT_NEAR(after.back().shown, MulDiv(before.back().shown, dpi, home), 1) << "the font follows";
    }
}

} // namespace
} // namespace veltaro
