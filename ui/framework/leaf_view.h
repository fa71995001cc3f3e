#pragma once

#include "ui/framework/drawing_resources.h"
#include "ui/framework/pane.h"

namespace veltaro {

// The messages a view takes beyond move, size and paint.
enum ViewInput : unsigned {
    VIEW_FOCUS = 1, // focus changes and hit tests
    VIEW_KEYS = 2,  // keys, the mouse wheel, scroll requests and a click that takes the focus
};

// How a view's window is made.
struct ViewWindow {
    DWORD exStyle;
    const char* text;
    bool placed;   // created at the pane's position and size; otherwise at zero, for the parent's layout
    bool buffered; // painted off-screen and copied in one piece
    unsigned input;
};

// A leaf pane that draws: its window procedure only obtains a device context and hands it to draw, so
// a view's picture can be painted into any context, a bitmap in memory as well as the window.
class LeafView : public Pane {
public:
    bool create(HWND parentWindow) override;

    // The view's whole picture at the given size, into dc.
    virtual void draw(HDC dc, int w, int h) = 0;

    const SharedGdi& gdi;

protected:
    LeafView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const ViewWindow& window);

    virtual LRESULT onKeyDown(WPARAM) { return 0; }
    virtual LRESULT onMouseWheel(WPARAM) { return 0; }
    virtual LRESULT onVScroll(WPARAM) { return 0; }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void paint();

    ViewWindow spec;
};

} // namespace veltaro
