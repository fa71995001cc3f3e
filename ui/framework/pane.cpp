#include "ui/framework/pane.h"

#include "ui/framework/gdi_owners.h"

#include <windowsx.h>

#include <array>

namespace veltaro {

Pane::Pane(ContainerPane* parent, bool ownedByParent) : parent(parent), ownedByParent(ownedByParent) {
    if (parent != nullptr) {
        data = parent->data;
        if (ownedByParent) {
            parent->addChild(this);
        }
    }
}

Pane::~Pane() {
    if (parent != nullptr && ownedByParent) {
        parent->removeChild(this);
    }
}

void Pane::refresh() {
    if (hwnd != nullptr) {
        InvalidateRect(hwnd, nullptr, FALSE); // the views paint their whole area themselves
    }
}

LRESULT Pane::close() {
    return SendMessageA(hwnd, WM_PANEDESTROY, 0, 0);
}

void Pane::setSize(int cx, int cy) {
    width = cx;
    height = cy;
}

LRESULT Pane::destroyWindow() {
    DestroyWindow(hwnd);
    return 0;
}

LRESULT Pane::onMove(LPARAM lParam) {
    if (!made) {
        return 0; // a window being made has no place yet: the layout gives it one
    }
    posX = static_cast<std::int16_t>(LOWORD(lParam));
    posY = static_cast<std::int16_t>(HIWORD(lParam));
    return 0;
}

LRESULT Pane::onSize(WPARAM, LPARAM lParam) {
    if (!made) {
        return 0; // nor a size: the creator's extents stand until then
    }
    width = LOWORD(lParam);
    height = HIWORD(lParam);
    return 0;
}

LRESULT Pane::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOVE:
        return onMove(lParam);
    case WM_SIZE:
        return onSize(wParam, lParam);
    default:
        return Window::onMessage(message, wParam, lParam);
    }
}

LRESULT Pane::hitTest(WPARAM, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam); // screen coordinates, negative left of the primary monitor
    const int y = GET_Y_LPARAM(lParam);
    RECT rect;
    GetWindowRect(hwnd, &rect);
    return (x >= rect.left && x <= rect.right && y >= rect.top && y <= rect.bottom) ? HTCLIENT : HTNOWHERE;
}

LRESULT Pane::onSetFocus(WPARAM) {
    for (ContainerPane* ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent) {
        ancestor->focusedWindow = hwnd;
    }
    return 0;
}

LRESULT Pane::onKillFocus(WPARAM) {
    for (ContainerPane* ancestor = parent; ancestor != nullptr; ancestor = ancestor->parent) {
        ancestor->focusedWindow = nullptr;
    }
    return 0;
}

ContainerPane::ContainerPane(ContainerPane* parent) : Pane(parent, true) {
    isContainer = true;
}

ContainerPane::~ContainerPane() {
    if (hwnd != nullptr && IsWindow(hwnd)) {
        close();
    }
}

bool ContainerPane::create(HWND parentWindow) {
    return createWindow(0, "", WS_CHILD | WS_VISIBLE, parentWindow);
}

void ContainerPane::refresh() {
    std::lock_guard guard(lock);
    for (Pane* child : children) {
        child->refresh();
    }
}

LRESULT ContainerPane::destroyWindow() {
    {
        std::lock_guard guard(lock);
        for (Pane* child : children) {
            child->close();
        }
    }
    DestroyWindow(hwnd); // takes the remaining child windows with it
    return 0;
}

LRESULT ContainerPane::onSize(WPARAM wParam, LPARAM lParam) {
    if (made) {
        Pane::onSize(wParam, lParam);
        layout();
    }
    return 0;
}

void ContainerPane::addChild(Pane* child) {
    std::lock_guard guard(lock);
    if (children.size() == children.capacity()) {
        children.reserve(children.size() + 16);
    }
    children.push_back(child);
}

void ContainerPane::removeChild(Pane* child) {
    std::lock_guard guard(lock);
    for (std::size_t i = 0; i < children.size(); ++i) {
        if (children[i] == child) {
            children[i] = children.back();
            children.pop_back();
        }
    }
}

namespace {

// Ascending by key; entries with equal keys are never exchanged.
void sortByKey(std::vector<Pane*>& list, std::int32_t Pane::*key) {
    for (std::size_t i = 0; i < list.size(); ++i) {
        for (std::size_t j = i + 1; j < list.size(); ++j) {
            if (list[j]->*key < list[i]->*key) {
                std::swap(list[i], list[j]);
            }
        }
    }
}

} // namespace

void ContainerPane::layout() {
    std::array<std::vector<Pane*>, 6> sides;
    for (Pane* child : children) {
        if (child->dock >= DOCK_NONE && child->dock <= DOCK_FILL) {
            sides[static_cast<std::size_t>(child->dock)].push_back(child);
        }
    }
    std::vector<Pane*>& top = sides[DOCK_TOP];
    std::vector<Pane*>& left = sides[DOCK_LEFT];
    std::vector<Pane*>& bottom = sides[DOCK_BOTTOM];
    std::vector<Pane*>& right = sides[DOCK_RIGHT];
    std::vector<Pane*>& fill = sides[DOCK_FILL];
    sortByKey(top, &Pane::posY);
    sortByKey(bottom, &Pane::posY);
    sortByKey(left, &Pane::posX);
    sortByKey(right, &Pane::posX);

    // One batch, so all children move together and each window repaints once.
    DeferredMoves batch(static_cast<int>(top.size() + left.size() + bottom.size() + right.size() + 1));
    auto place = [&](Pane* child, int x, int y, int cx, int cy) { batch.move(child->hwnd, x, y, cx, cy); };
    int t = 0;
    for (Pane* child : top) {
        place(child, 0, t, width, child->height);
        t += child->height;
    }
    int b = height;
    for (auto it = bottom.rbegin(); it != bottom.rend(); ++it) {
        b -= (*it)->height;
        place(*it, 0, b, width, (*it)->height);
    }
    // The middle band and the fill area are not clamped: too many docked children give negative extents.
    int l = 0;
    for (Pane* child : left) {
        place(child, l, t, child->width, b - t);
        l += child->width;
    }
    int r = width;
    for (auto it = right.rbegin(); it != right.rend(); ++it) {
        r -= (*it)->width;
        place(*it, r, t, (*it)->width, b - t);
    }
    if (!fill.empty()) {
        place(fill.front(), l, t, r - l, b - t);
    }
    batch.commit();

    for (Pane* child : children) {
        if (child->isContainer) {
            static_cast<ContainerPane*>(child)->layout();
        }
    }
}

LRESULT ContainerPane::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_PANEDESTROY ? destroyWindow() : Pane::onMessage(message, wParam, lParam);
}

} // namespace veltaro
