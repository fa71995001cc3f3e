#include "ui/pages/device_page.h"

#include "res/resource.h"
#include "support/scripted_port.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/main/shared_gdi.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace veltaro {
namespace {

std::string rowText(HWND list, int row) {
    char text[MAX_PATH] = "";
    LVITEMA item;
    ZeroMemory(&item, sizeof item);
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int rowCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

class DevicePageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    DevicePageTest()
        : window(600, 400), device(std::make_unique<test::ScriptedPort>("COM3")), root(nullptr), page(&device, &root) {
        device.start(nullptr);
        root.create(window.get());
        page.dock = DOCK_FILL;
        page.create(root.hwnd);
        MoveWindow(root.hwnd, 0, 0, 400, 300, TRUE);
    }

    HWND list() const { return GetDlgItem(page.hwnd, IDC_DEVICE_OUTPUT_LIST); }

    test::TestWindow window;
    GpsDevice device;
    ContainerPane root;
    DevicePage page;
};

TEST_F(DevicePageTest, ShowsTheSourcePortAndAnEmptyFileList) {
    ASSERT_NE(page.hwnd, nullptr) << "the dialog resource did not load";
    char status[128] = "";
    GetDlgItemTextA(page.hwnd, IDC_DEVICE_STATUS, status, sizeof status);
    EXPECT_STREQ(status, "Status:\n  Port COM3\n");
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
    EXPECT_EQ(page.data, &device.snapshot);
}

TEST_F(DevicePageTest, TimerRebuildsTheListNewestFirstWhileHidden) {
    ShowWindow(root.hwnd, SW_HIDE);
    const std::string log = test::temporaryPath("page.gpsl");
    ASSERT_TRUE(device.addEchoPort(std::make_unique<test::ScriptedPort>("COM5")));
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    // Nothing tells the page: its 2-second timer finds the outputs.
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return rowCount(list()) == 2; }));
    EXPECT_EQ(rowText(list(), 0), log);
    EXPECT_EQ(rowText(list(), 1), "COM5");
}

TEST_F(DevicePageTest, ControlsStackAndTheListTakesTheRest) {
    const int c = textLineHeight();
    const RECT listRect = test::rectInParent(list());
    EXPECT_EQ(listRect.left, 4);
    EXPECT_EQ(listRect.top, 6 * c + 20);
    EXPECT_EQ(listRect.right, 396);
    EXPECT_EQ(listRect.bottom, 292);
    const RECT status = test::rectInParent(GetDlgItem(page.hwnd, IDC_DEVICE_STATUS));
    EXPECT_EQ(status.top, c + 12);
    EXPECT_EQ(status.bottom - status.top, 4 * c);
}

} // namespace
} // namespace veltaro
