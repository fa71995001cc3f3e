#include "ui/framework/window.h"

namespace veltaro {

namespace {

constexpr const char* WINDOW_CLASS = "VeltaroWindow";

// The class styles of the system's "STATIC" class, which the windows were first made of, so they
// paint and take double clicks exactly as before.
bool registerWindowClass(WNDPROC proc) {
    WNDCLASSA windowClass{};
    if (GetClassInfoA(GetModuleHandleA(nullptr), WINDOW_CLASS, &windowClass)) {
        return true;
    }
    windowClass.style = CS_DBLCLKS | CS_PARENTDC;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = WINDOW_CLASS;
    return RegisterClassA(&windowClass) != 0;
}

} // namespace

Window::~Window() {
    destroy();
}

void Window::destroy() {
    if (hwnd != nullptr && IsWindow(hwnd)) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0); // the object may be going: no message may reach it
        DestroyWindow(hwnd);
    }
    hwnd = nullptr;
}

bool Window::createWindow(DWORD exStyle, const char* title, DWORD style, HWND parent, HMENU menu, const RECT& place) {
    if (!registerWindowClass(windowProc)) {
        return false;
    }
    made = false;
    HWND window = CreateWindowExA(exStyle, WINDOW_CLASS, title, style, place.left, place.top, place.right - place.left,
                                  place.bottom - place.top, parent, menu, GetModuleHandleA(nullptr), this);
    made = window != nullptr;
    if (!made) {
        hwnd = nullptr; // a window refused in WM_NCCREATE or WM_CREATE is gone again
    }
    return made;
}

void Window::bind(HWND window) {
    hwnd = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    made = true;
}

Window* Window::fromWindow(HWND window) {
    return reinterpret_cast<Window*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* object = static_cast<Window*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        object->hwnd = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    }
    Window* object = fromWindow(window);
    return object != nullptr ? object->onMessage(message, wParam, lParam)
                             : DefWindowProcA(window, message, wParam, lParam);
}

} // namespace veltaro
