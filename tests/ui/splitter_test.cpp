#include "ui/framework/splitter.h"
#include "ui/framework/window.h"

#include "support/ui_support.h"

#include <gtest/gtest.h>

#include <vector>

namespace veltaro {
namespace {

// The parent of a splitter: records the notifications and may refuse the steps.
struct Parent : Window {
    static constexpr int WIDTH = 400;
    static constexpr int HEIGHT = 300;

    // Away from the screen's edge, so the cursor can go left of the parent.
    explicit Parent(int barWidth) {
        EXPECT_TRUE(createWindow(0, "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, nullptr, nullptr,
                                 RECT{100, 100, 100 + WIDTH, 100 + HEIGHT}));
        left =
            CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 150, HEIGHT, hwnd, nullptr, nullptr, nullptr);
        right = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 154, 0, WIDTH - 154, HEIGHT, hwnd, nullptr,
                                nullptr, nullptr);
        SplitterInfo info{left, right, 150, barWidth};
        bar =
            CreateWindowExA(0, "SPLITTER", "", WS_CHILD | WS_VISIBLE, 150, 0, 4, HEIGHT, hwnd, nullptr, nullptr, &info);
    }

    SplitterInfo& info() const { return *reinterpret_cast<SplitterInfo*>(GetWindowLongPtrA(bar, 0)); }

    // One drag step with the real cursor at x in the parent's client area.
    void dragTo(int x) {
        POINT point{x, HEIGHT / 2};
        ClientToScreen(hwnd, &point);
        SetCursorPos(point.x, point.y);
        SendMessageA(bar, WM_MOUSEMOVE, MK_LBUTTON, 0);
    }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == SPN_POSCHANGING || message == SPN_POSCHANGED) {
            notifications.push_back(message);
            positions.push_back(reinterpret_cast<const SplitterInfo*>(lParam)->position);
            EXPECT_EQ(reinterpret_cast<HWND>(wParam), bar);
            return message == SPN_POSCHANGING && refuse ? 1 : 0;
        }
        return Window::onMessage(message, wParam, lParam);
    }
    HWND left;
    HWND right;
    HWND bar;
    bool refuse = false;
    std::vector<UINT> notifications;
    std::vector<int> positions;
};

using test::box;
using test::expectRect;

class SplitterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { registerSplitterClass(); }
};

TEST_F(SplitterTest, ZeroBarWidthBecomesFour) {
    Parent parent(0);
    EXPECT_EQ(parent.info().barWidth, 4);
    EXPECT_EQ(parent.info().leftWindow, parent.left);
    EXPECT_EQ(parent.info().position, 150);
}

TEST_F(SplitterTest, DragStepCentresTheBarOnTheCursorAndMovesBothNeighbours) {
    struct Case {
        int barWidth;
        int cursorX;
        int position;
    };
    for (const Case& c : {Case{4, 10, 8}, Case{5, 10, 8}, Case{4, 250, 248}}) {
        SCOPED_TRACE(c.barWidth);
        Parent parent(c.barWidth);
        parent.dragTo(c.cursorX);
        EXPECT_EQ(parent.info().position, c.position);
        expectRect(parent.left, box(0, 0, c.position, Parent::HEIGHT));
        expectRect(parent.bar, box(c.position, 0, c.barWidth, Parent::HEIGHT));
        expectRect(parent.right,
                   box(c.position + c.barWidth, 0, Parent::WIDTH - c.position - c.barWidth, Parent::HEIGHT));
        EXPECT_EQ(parent.notifications, (std::vector<UINT>{SPN_POSCHANGING, SPN_POSCHANGED}));
        EXPECT_EQ(parent.positions, (std::vector<int>{c.position, c.position}));
    }
}

TEST_F(SplitterTest, DraggingLeftOfTheParentIsNotClamped) {
    Parent parent(4);
    parent.dragTo(-20);
    EXPECT_EQ(parent.info().position, -22);
    expectRect(parent.right, box(-18, 0, Parent::WIDTH + 18, Parent::HEIGHT));
}

TEST_F(SplitterTest, RefusedStepMovesNothingButIsStillReported) {
    Parent parent(4);
    parent.refuse = true;
    parent.dragTo(60);
    EXPECT_EQ(parent.info().position, 150);
    expectRect(parent.left, box(0, 0, 150, Parent::HEIGHT));
    expectRect(parent.bar, box(150, 0, 4, Parent::HEIGHT));
    EXPECT_EQ(parent.notifications, (std::vector<UINT>{SPN_POSCHANGING, SPN_POSCHANGED}));
    EXPECT_EQ(parent.positions, (std::vector<int>{58, 150}));
}

TEST_F(SplitterTest, MovesWithoutTheButtonAreNotDragSteps) {
    Parent parent(4);
    SendMessageA(parent.bar, WM_MOUSEMOVE, 0, 0);
    EXPECT_TRUE(parent.notifications.empty());
}

TEST_F(SplitterTest, PaintsTwoBumpLinesOnTheButtonFace) {
    Parent parent(4);
    RedrawWindow(parent.bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC dc = GetDC(parent.bar);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const int y = Parent::HEIGHT / 2;
    EXPECT_EQ(GetPixel(dc, 0, y), face);
    EXPECT_NE(GetPixel(dc, 1, y), face) << "first bump line";
    EXPECT_NE(GetPixel(dc, 2, y), face);
    EXPECT_NE(GetPixel(dc, 3, y), face) << "second bump line";
    ReleaseDC(parent.bar, dc);
    test::saveScreenshot("splitter");
}

} // namespace
} // namespace veltaro
