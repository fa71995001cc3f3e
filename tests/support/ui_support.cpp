#include "support/ui_support.h"

#include "support/windows_support.h"

#include <commctrl.h>

#include <gtest/gtest.h>

namespace veltaro::test {

TestWindow::TestWindow(int width, int height, int x, int y) {
    window = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width, height, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
}

TestWindow::~TestWindow() {
    DestroyWindow(window);
}

TestPane::TestPane(ContainerPane* parent, std::int32_t dockSide) : Pane(parent, true) {
    dock = dockSide;
}

bool TestPane::create(HWND parentWindow) {
    return createWindow(0, "", WS_CHILD | WS_VISIBLE, parentWindow);
}

LRESULT TestPane::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return message == WM_NCHITTEST ? hitTest(wParam, lParam) : Pane::onMessage(message, wParam, lParam);
}

std::vector<TreeNode*> nodesOf(const MainFrame& frame, NodeKind kind, const char* title) {
    std::vector<TreeNode*> found;
    for (const std::unique_ptr<TreeNode>& node : frame.nodes) {
        char text[100] = "";
        GetWindowTextA(node->pane->hwnd, text, sizeof text);
        if (node->kind == kind && (title == nullptr || std::string(text) == title)) {
            found.push_back(node.get());
        }
    }
    return found;
}

RECT rectInParent(HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

RECT box(int x, int y, int cx, int cy) {
    return RECT{x, y, x + cx, y + cy};
}

void expectRect(HWND window, const RECT& expected) {
    const RECT actual = rectInParent(window);
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
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

void saveScreenshot(const std::string& name) {
    // Paint whatever waits to be painted, so the picture shows what a user would see.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    GdiFlush();
    runUnixCommand("mkdir -p " VELTARO_SCREENSHOT_DIR " && import -window root " VELTARO_SCREENSHOT_DIR "/" + name +
                   ".png");
}

} // namespace veltaro::test

namespace veltaro::test {

namespace {

struct PendingAction {
    const char* title = nullptr;
    void (*action)(HWND) = nullptr;
    UINT_PTR timer = 0;
};
PendingAction pending;

void CALLBACK lookForWindow(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = FindWindowA("#32770", pending.title); // not the main window, which has the program's title too
    if (window != nullptr && IsWindowVisible(window)) {
        KillTimer(nullptr, pending.timer);
        pending.action(window);
    }
}

} // namespace

UINT_PTR whenWindowAppears(const char* title, void (*action)(HWND window)) {
    pending.title = title;
    pending.action = action;
    pending.timer = SetTimer(nullptr, 0, 20, lookForWindow);
    return pending.timer;
}

// Right-clicks at a point of the screen, as the mouse does.
void rightClickAt(POINT at) {
    INPUT inputs[3];
    ZeroMemory(inputs, sizeof inputs);
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    for (INPUT& input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = MulDiv(at.x, 65536, cx);
        input.mi.dy = MulDiv(at.y, 65536, cy);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_ABSOLUTE;
    inputs[2].mi.dwFlags = MOUSEEVENTF_RIGHTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, inputs, sizeof(INPUT));
}

void pressKey(WORD code, WORD modifier) {
    std::vector<INPUT> inputs;
    const auto key = [&](WORD which, DWORD flags) {
        INPUT input;
        ZeroMemory(&input, sizeof input);
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = which;
        input.ki.dwFlags = flags;
        inputs.push_back(input);
    };
    if (modifier != 0) {
        key(modifier, 0);
    }
    key(code, 0);
    key(code, KEYEVENTF_KEYUP);
    if (modifier != 0) {
        key(modifier, KEYEVENTF_KEYUP);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

} // namespace veltaro::test
