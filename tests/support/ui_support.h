#pragma once

#include "ui/framework/pane.h"
#include "ui/main/main_frame.h"

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

namespace veltaro::test {

// A visible top-level window with a plain client area of the given size.
class TestWindow {
public:
    TestWindow(int width, int height, int x = 0, int y = 0);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND get() const { return window; }

private:
    HWND window;
};

// A leaf pane over a plain window that routes what every pane routes.
class TestPane : public Pane {
public:
    explicit TestPane(ContainerPane* parent, std::int32_t dockSide = DOCK_NONE);
    bool create(HWND parentWindow) override;

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// The frame's nodes of a kind in the order added, found by what they are; views also by their title.
std::vector<TreeNode*> nodesOf(const MainFrame& frame, NodeKind kind, const char* title = nullptr);

// The first pane of type P on a node's page, or null.
template <typename P>
P* paneOf(const TreeNode& node) {
    for (const std::unique_ptr<Pane>& pane : node.panes) {
        if (auto* found = dynamic_cast<P*>(pane.get())) {
            return found;
        }
    }
    return nullptr;
}

// A window's rectangle in its parent's client coordinates.
RECT rectInParent(HWND window);

// The rectangle at (x, y) of size cx by cy.
RECT box(int x, int y, int cx, int cy);

// Checks a window's rectangle in its parent, edge by edge.
void expectRect(HWND window, const RECT& expected);

// The text of a tree view item.
std::string itemText(HWND tree, HTREEITEM item);

// Saves what the X display shows as PNG under the build folder's screenshots/, for people to look at.
void saveScreenshot(const std::string& name);

} // namespace veltaro::test

namespace veltaro::test {

// Runs action once on the dialog (a message box too) titled title, as soon as it shows up while this
// thread runs a message loop (a modal dialog's own loop included). Returns the timer to cancel with KillTimer.
UINT_PTR whenWindowAppears(const char* title, void (*action)(HWND window));

// Right-clicks at a point of the screen, as the mouse does.
void rightClickAt(POINT at);

// Presses a key as the keyboard does, with a modifier (VK_SHIFT, VK_CONTROL) held if one is given.
void pressKey(WORD code, WORD modifier = 0);

} // namespace veltaro::test
