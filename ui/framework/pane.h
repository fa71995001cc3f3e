#pragma once

#include "ui/framework/window.h"

#include <cstdint>
#include <mutex>
#include <vector>

namespace veltaro {

// Where a pane sits inside its container.
enum DockSide : std::int32_t {
    DOCK_NONE = 0, // never placed by the layout
    DOCK_TOP = 1,
    DOCK_LEFT = 2,
    DOCK_BOTTOM = 3,
    DOCK_RIGHT = 4,
    DOCK_FILL = 5,
};

// Destroy your window now. Sent, never posted, so DestroyWindow runs on the window's own thread.
constexpr UINT WM_PANEDESTROY = WM_USER + 12;

class ContainerPane;

// An object bound one-to-one to a window, receiving its move, size, focus and hit-test messages.
// All operations run on the user-interface thread, except close(), which any thread may call.
class Pane : public Window {
public:
    Pane(ContainerPane* parent, bool ownedByParent);
    ~Pane() override;

    virtual bool create(HWND parentWindow) = 0;
    virtual void refresh();
    virtual LRESULT close();
    virtual void setSize(int cx, int cy);
    virtual LRESULT destroyWindow();
    virtual LRESULT onMove(LPARAM lParam);
    virtual LRESULT onSize(WPARAM wParam, LPARAM lParam);
    virtual LRESULT hitTest(WPARAM wParam, LPARAM lParam);
    virtual LRESULT onSetFocus(WPARAM wParam);
    virtual LRESULT onKillFocus(WPARAM wParam);

    std::int32_t dock = DOCK_NONE;
    std::int32_t posY = 0; // order among top and bottom siblings; follows the window's y
    std::int32_t posX = 0; // order among left and right siblings; follows the window's x
    std::int32_t width = 100;
    std::int32_t height = 100;
    bool isContainer = false;
    ContainerPane* parent;
    void* data = nullptr; // context handed down the tree, taken from the parent at construction
    bool ownedByParent;

protected:
    // Every pane's window tells it where it is and how large.
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

// A pane that docks child panes: stacked along the top or bottom, side by side along the left or right,
// and one child filling the rest. It does not own its children.
class ContainerPane : public Pane {
public:
    explicit ContainerPane(ContainerPane* parent);
    ~ContainerPane() override;

    bool create(HWND parentWindow) override;
    void refresh() override;
    LRESULT destroyWindow() override;
    LRESULT onSize(WPARAM wParam, LPARAM lParam) override;

    void addChild(Pane* child);
    void removeChild(Pane* child);
    // Places the children in one deferred batch, then lays out the child containers.
    void layout();

    HWND focusedWindow = nullptr; // the descendant's window that has the keyboard focus
    std::recursive_mutex lock;    // guards children in addChild, removeChild, refresh and destroyWindow
    std::vector<Pane*> children;  // in the order added; removeChild moves the last into the gap

protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
};

} // namespace veltaro
