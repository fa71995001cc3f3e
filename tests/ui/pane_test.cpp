#include "ui/framework/pane.h"

#include "support/ui_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace veltaro {
namespace {

using test::TestPane;

using test::box;
using test::expectRect;

// A root container in a window of its own, and a way to add children and lay them out at a size.
class Layout {
public:
    Layout() : window(800, 600), root(nullptr) { root.create(window.get()); }

    TestPane& add(std::int32_t dock, int cx = 100, int cy = 100, int posY = 0, int posX = 0) {
        panes.push_back(std::make_unique<TestPane>(&root, dock));
        TestPane& pane = *panes.back();
        pane.setSize(cx, cy);
        pane.posY = posY;
        pane.posX = posX;
        pane.create(root.hwnd);
        return pane;
    }

    // Sizing the container's window runs its layout, as the main frame does.
    void resize(int w, int h) { MoveWindow(root.hwnd, 0, 0, w, h, TRUE); }

    test::TestWindow window;
    ContainerPane root;
    std::vector<std::unique_ptr<TestPane>> panes;
};

TEST(PaneTest, TopChildrenStackByPosYAcrossTheFullWidth) {
    Layout layout;
    TestPane& third = layout.add(DOCK_TOP, 100, 30, 30);
    TestPane& first = layout.add(DOCK_TOP, 100, 10, 10);
    TestPane& second = layout.add(DOCK_TOP, 100, 20, 20);
    layout.resize(300, 200);
    expectRect(first.hwnd, box(0, 0, 300, 10));
    expectRect(second.hwnd, box(0, 10, 300, 20));
    expectRect(third.hwnd, box(0, 30, 300, 30));
    // The placed y became each child's key, so a second layout keeps the arrangement.
    EXPECT_EQ(third.posY, 30);
    layout.root.layout();
    expectRect(first.hwnd, box(0, 0, 300, 10));
    expectRect(third.hwnd, box(0, 30, 300, 30));
}

TEST(PaneTest, BottomStackReadsTopToBottomInPosYOrder) {
    Layout layout;
    TestPane& lowest = layout.add(DOCK_BOTTOM, 100, 20, 50);
    TestPane& above = layout.add(DOCK_BOTTOM, 100, 30, 5);
    layout.resize(300, 200);
    expectRect(lowest.hwnd, box(0, 180, 300, 20));
    expectRect(above.hwnd, box(0, 150, 300, 30));
}

TEST(PaneTest, SidesAndFillShareTheMiddleBand) {
    Layout layout;
    layout.add(DOCK_TOP, 100, 40, 0);
    layout.add(DOCK_TOP, 100, 30, 1);
    layout.add(DOCK_BOTTOM, 100, 20);
    TestPane& left = layout.add(DOCK_LEFT, 100, 10);
    TestPane& fill = layout.add(DOCK_FILL);
    TestPane& secondFill = layout.add(DOCK_FILL);
    TestPane& none = layout.add(DOCK_NONE);
    TestPane& unknown = layout.add(7);
    layout.resize(300, 200);
    expectRect(left.hwnd, box(0, 70, 100, 110));
    expectRect(fill.hwnd, box(100, 70, 200, 110));
    expectRect(secondFill.hwnd, box(0, 0, 0, 0));
    expectRect(none.hwnd, box(0, 0, 0, 0));
    expectRect(unknown.hwnd, box(0, 0, 0, 0));
}

TEST(PaneTest, LeftAndRightChildrenOrderByPosX) {
    Layout layout;
    TestPane& outerRight = layout.add(DOCK_RIGHT, 30, 100, 0, 90);
    TestPane& innerRight = layout.add(DOCK_RIGHT, 20, 100, 0, 80);
    TestPane& innerLeft = layout.add(DOCK_LEFT, 50, 100, 0, 20);
    TestPane& outerLeft = layout.add(DOCK_LEFT, 40, 100, 0, 10);
    layout.resize(300, 200);
    expectRect(outerLeft.hwnd, box(0, 0, 40, 200));
    expectRect(innerLeft.hwnd, box(40, 0, 50, 200));
    expectRect(innerRight.hwnd, box(250, 0, 20, 200));
    expectRect(outerRight.hwnd, box(270, 0, 30, 200));
}

TEST(PaneTest, OverfullTopStackPushesTheBandPastTheBottom) {
    Layout layout;
    layout.add(DOCK_TOP, 100, 150);
    layout.add(DOCK_TOP, 100, 100);
    TestPane& left = layout.add(DOCK_LEFT, 60, 100);
    layout.resize(300, 200);
    // The band runs from 250 to 200: its negative height is passed on, not clamped to the window.
    EXPECT_EQ(test::rectInParent(left.hwnd).top, 250);
    EXPECT_EQ(left.posY, 250);
}

TEST(PaneTest, NestedContainersAreLaidOutToo) {
    Layout layout;
    ContainerPane inner(&layout.root);
    inner.dock = DOCK_FILL;
    inner.create(layout.root.hwnd);
    TestPane leaf(&inner, DOCK_BOTTOM);
    leaf.setSize(10, 25);
    leaf.create(inner.hwnd);
    layout.resize(300, 200);
    expectRect(leaf.hwnd, box(0, 175, 300, 25));
}

TEST(PaneTest, EmptyContainerLaysOutWithoutChildren) {
    Layout layout;
    layout.resize(300, 200);
    EXPECT_EQ(layout.root.width, 300);
    EXPECT_EQ(layout.root.height, 200);
}

TEST(PaneTest, RemoveChildMovesTheLastIntoTheGapAndListsGrowBy16) {
    ContainerPane root(nullptr);
    std::vector<std::unique_ptr<TestPane>> panes;
    for (int i = 0; i < 3; ++i) {
        panes.push_back(std::make_unique<TestPane>(&root));
    }
    root.removeChild(panes[0].get());
    EXPECT_EQ(root.children, (std::vector<Pane*>{panes[2].get(), panes[1].get()}));
    root.addChild(panes[0].get());

    for (int i = 3; i < 17; ++i) {
        panes.push_back(std::make_unique<TestPane>(&root));
    }
    ASSERT_EQ(root.children.size(), 17u);
    EXPECT_EQ(root.children.capacity(), 32u);
    EXPECT_EQ(root.children[0], panes[2].get());
    EXPECT_EQ(root.children[16], panes[16].get());

    panes.pop_back(); // a destroyed pane leaves its parent's list
    EXPECT_EQ(root.children.size(), 16u);
}

TEST(PaneTest, ChildrenTakeTheParentsDataAndFocusWalksUpTheChain) {
    int context = 0;
    ContainerPane root(nullptr);
    root.data = &context;
    ContainerPane middle(&root);
    TestPane leaf(&middle);
    EXPECT_EQ(leaf.data, &context);
    leaf.hwnd = reinterpret_cast<HWND>(0x1234);
    leaf.onSetFocus(0);
    EXPECT_EQ(middle.focusedWindow, leaf.hwnd);
    EXPECT_EQ(root.focusedWindow, leaf.hwnd);
    leaf.onKillFocus(0);
    EXPECT_EQ(root.focusedWindow, nullptr);
    leaf.hwnd = nullptr;
}

TEST(PaneTest, HitTestIncludesEveryEdge) {
    Layout layout;
    TestPane& pane = layout.add(DOCK_FILL);
    layout.resize(300, 200);
    RECT rect;
    GetWindowRect(pane.hwnd, &rect);
    struct Case {
        int x;
        int y;
        LRESULT expected;
    };
    const Case cases[] = {
        {rect.left, rect.top, HTCLIENT},          {rect.right, rect.bottom, HTCLIENT},
        {rect.right + 1, rect.bottom, HTNOWHERE}, {rect.right, rect.bottom + 1, HTNOWHERE},
        {rect.left - 1, rect.top, HTNOWHERE},     {-5, rect.top, HTNOWHERE},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pane.hitTest(0, MAKELPARAM(c.x, c.y)), c.expected) << c.x << ", " << c.y;
    }
}

TEST(PaneTest, CloseDestroysTheContainersWindowsDepthFirst) {
    Layout layout;
    ContainerPane inner(&layout.root);
    inner.create(layout.root.hwnd);
    TestPane leaf(&inner);
    leaf.create(inner.hwnd);
    layout.root.close();
    EXPECT_FALSE(IsWindow(layout.root.hwnd));
    EXPECT_FALSE(IsWindow(inner.hwnd));
    EXPECT_FALSE(IsWindow(leaf.hwnd));
}

// A pane that keeps the messages its window sent it.
class RecordingPane : public TestPane {
public:
    using TestPane::TestPane;
    std::vector<UINT> messages;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        messages.push_back(message);
        return TestPane::onMessage(message, wParam, lParam);
    }
};

TEST(PaneTest, WindowIsBoundFromItsFirstMessageToTheObjectsEnd) {
    Layout layout;
    auto pane = std::make_unique<RecordingPane>(&layout.root);
    ASSERT_TRUE(pane->create(layout.root.hwnd));
    ASSERT_FALSE(pane->messages.empty());
    EXPECT_EQ(pane->messages.front(), static_cast<UINT>(WM_NCCREATE));
    EXPECT_NE(std::find(pane->messages.begin(), pane->messages.end(), static_cast<UINT>(WM_CREATE)),
              pane->messages.end());

    const HWND window = pane->hwnd;
    pane.reset();
    EXPECT_FALSE(IsWindow(window)) << "the window goes with its pane";

    // A window that cannot be made is told as such, and leaves no handle behind.
    const HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    RecordingPane orphan(nullptr);
    EXPECT_FALSE(orphan.create(gone));
    EXPECT_EQ(orphan.hwnd, nullptr);
}

} // namespace
} // namespace veltaro
