#pragma once

#include "ui/framework/drawing_resources.h"
#include "ui/framework/pane.h"

#include <cstdint>
#include <string_view>
#include <vector>

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

// A piece of a view's picture: where it lies, and a digest of what it shows there. A part whose place and
// look are as last time has the same pixels, so a refresh repaints only the parts that differ.
struct PicturePart {
    RECT place;
    std::uint64_t look;

    bool operator<(const PicturePart& other) const;
    bool operator==(const PicturePart& other) const;
};

// Builds a part's look from the values that decide its pixels (FNV-1a).
class LookDigest {
public:
    LookDigest& add(std::int64_t value);
    LookDigest& add(std::string_view text);
    std::uint64_t value() const { return digest; }

private:
    std::uint64_t digest = 14695981039346656037ull;
};

// A leaf pane that draws: its window procedure only obtains a device context and hands it to draw, so
// a view's picture can be painted into any context, a bitmap in memory as well as the window.
class LeafView : public Pane {
public:
    bool create(HWND parentWindow) override;

    // The view's whole picture at the given size, into dc.
    virtual void draw(HDC dc, int w, int h) = 0;
    // Invalidates the parts of the picture that changed since the last refresh; the whole view when it does
    // not describe its parts. A hidden view paints in full when shown, so it is left alone.
    void refresh() override;

    const SharedGdi& gdi;

protected:
    LeafView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const ViewWindow& window);

    // The parts of the picture the current data gives at the given size, text measured with dc; false
    // when the view does not describe its parts. Every pixel draw sets must lie in a part that depends on it.
    virtual bool describe(HDC, int, int, std::vector<PicturePart>&) const { return false; }

    virtual LRESULT onKeyDown(WPARAM) { return 0; }
    virtual LRESULT onMouseWheel(WPARAM) { return 0; }
    virtual LRESULT onVScroll(WPARAM) { return 0; }

    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void paint();

    ViewWindow spec;
    std::vector<PicturePart> described; // sorted; empty until a refresh of the shown view
};

// Adds the rectangle of text drawn at (x, y) with dc's font and TA_LEFT | TA_TOP to parts.
void addTextPart(HDC dc, int x, int y, std::string_view text, std::vector<PicturePart>& parts);

} // namespace veltaro
