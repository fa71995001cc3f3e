#pragma once

#include <windows.h>

namespace veltaro {

// An object bound to one window from the window's first message: the window's messages go to onMessage,
// and a window the object outlives or lets go of never reaches it again.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Lets go of the window and destroys it, if it is still there; hwnd is null after.
    void destroy();

    HWND hwnd = nullptr;

protected:
    // Makes the window of Veltaro's own class, bound to this object; false when it could not be made.
    bool createWindow(DWORD exStyle, const char* title, DWORD style, HWND parent, HMENU menu = nullptr,
                      const RECT& place = {});
    // Binds a window made elsewhere (a dialog in WM_INITDIALOG) to this object.
    void bind(HWND window);
    static Window* fromWindow(HWND window);

    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // False while the window is being made: its first size and place are not yet the ones its owner gives.
    bool made = false;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

} // namespace veltaro
