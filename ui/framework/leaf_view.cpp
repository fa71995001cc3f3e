#include "ui/framework/leaf_view.h"

#include "ui/framework/gdi_owners.h"

#include <algorithm>
#include <iterator>
#include <tuple>

namespace veltaro {

namespace {

auto key(const PicturePart& part) {
    return std::tie(part.place.left, part.place.top, part.place.right, part.place.bottom, part.look);
}

// A memory context to measure text in, made once for the process and kept, as the shared fonts are.
HDC measuringDc() {
    static const HDC dc = CreateCompatibleDC(nullptr);
    return dc;
}

} // namespace

bool PicturePart::operator<(const PicturePart& other) const {
    return key(*this) < key(other);
}

bool PicturePart::operator==(const PicturePart& other) const {
    return key(*this) == key(other);
}

LookDigest& LookDigest::add(std::int64_t value) {
    for (int i = 0; i < 8; ++i) {
        digest = (digest ^ (static_cast<std::uint64_t>(value) >> (8 * i) & 0xff)) * 1099511628211ull;
    }
    return *this;
}

LookDigest& LookDigest::add(std::string_view text) {
    add(static_cast<std::int64_t>(text.size()));
    for (const char c : text) {
        digest = (digest ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return *this;
}

void addTextPart(HDC dc, int x, int y, std::string_view text, std::vector<PicturePart>& parts) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, text.data(), static_cast<int>(text.size()), &extent);
    // Glyphs may overhang their advance by a pixel or two: the part takes a margin.
    parts.push_back({{x - 2, y, x + extent.cx + 2, y + extent.cy}, LookDigest().add(text).value()});
}

LeafView::LeafView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const ViewWindow& window)
    : Pane(parent, ownedByParent), gdi(gdi), spec(window) {}

bool LeafView::create(HWND parentWindow) {
    // A view that takes keys is a tab stop, so the keyboard reaches it as well as a click.
    const DWORD style = WS_CHILD | WS_VISIBLE | ((spec.input & VIEW_KEYS) != 0 ? WS_TABSTOP : 0);
    const RECT place = spec.placed ? RECT{posX, posY, posX + width, posY + height} : RECT{};
    return createWindow(spec.exStyle, spec.text, style, parentWindow, nullptr, place);
}

void LeafView::refresh() {
    if (hwnd == nullptr) {
        return;
    }
    if (!IsWindowVisible(hwnd)) {
        described.clear();
        return;
    }
    std::vector<PicturePart> parts;
    const HDC dc = measuringDc();
    const int saved = SaveDC(dc);
    const bool describes = describe(dc, width, height, parts); // the client size, as WM_SIZE told it
    RestoreDC(dc, saved);
    if (!describes || described.empty()) {
        // What was shown before this view's first refresh is not known: all of it is repainted once.
        InvalidateRect(hwnd, nullptr, FALSE);
        std::sort(parts.begin(), parts.end());
        described = std::move(parts);
        return;
    }
    std::sort(parts.begin(), parts.end());
    std::vector<PicturePart> changed;
    std::set_symmetric_difference(described.begin(), described.end(), parts.begin(), parts.end(),
                                  std::back_inserter(changed));
    described = std::move(parts);
    if (changed.empty()) {
        return;
    }
    // One region, so the window is invalidated in one call however many parts changed.
    GdiObject<HRGN> region(CreateRectRgn(0, 0, 0, 0));
    for (const PicturePart& part : changed) {
        GdiObject<HRGN> piece(CreateRectRgnIndirect(&part.place));
        CombineRgn(region.get(), region.get(), piece.get(), RGN_OR);
    }
    InvalidateRgn(hwnd, region.get(), FALSE);
}

void LeafView::paint() {
    RECT client;
    GetClientRect(hwnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    PaintScope paint(hwnd);
    if (spec.buffered) {
        DoubleBuffer buffer(paint.get(), w, h);
        draw(buffer.get(), w, h);
    } else {
        draw(paint.get(), w, h);
    }
}

LRESULT LeafView::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paint();
        return 0;
    }
    if ((spec.input & VIEW_FOCUS) != 0) {
        switch (message) {
        case WM_SETFOCUS:
            return onSetFocus(wParam);
        case WM_KILLFOCUS:
            return onKillFocus(wParam);
        case WM_NCHITTEST:
            return hitTest(wParam, lParam);
        default:
            break;
        }
    }
    if ((spec.input & VIEW_KEYS) != 0) {
        switch (message) {
        case WM_KEYDOWN:
            return onKeyDown(wParam);
        case WM_KEYUP:
            return 0;
        case WM_MOUSEWHEEL:
            return onMouseWheel(wParam);
        case WM_VSCROLL:
            return onVScroll(wParam);
        case WM_LBUTTONDOWN:
            // Keys and the wheel go to the focus: a click is how the user says which view they mean.
            SetFocus(hwnd);
            return 0;
        case WM_GETDLGCODE:
            return DLGC_WANTARROWS;
        default:
            break;
        }
    }
    return Pane::onMessage(message, wParam, lParam);
}

} // namespace veltaro
