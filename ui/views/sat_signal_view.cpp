#include "ui/views/sat_signal_view.h"

#include "gps/gps_state.h"
#include "ui/framework/gdi_owners.h"
#include "ui/views/pixel.h"
#include "ui/views/satellite_list.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace veltaro {

namespace {

void drawText(HDC dc, int x, int y, const char* text) {
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

// The rows' spacing, and the font they need when every system's satellites close them up.
struct RowLayout {
    int pitch;
    bool closeUp;
    LOGFONTA font;
};

RowLayout rowLayout(const SharedGdi& gdi, const SatelliteList& satellites, int h) {
    const int n = satellites.count();
    RowLayout layout{gdi.lineHeight() + gdi.scaled(2), false, gdi.guiLogFont};
    // Every system's satellites may be more than the rows fit: then the rows close up, with a font to
    // match, so every satellite stays in view.
    layout.closeUp = satellites.labelsSystems() && n > 0 && gdi.scaled(2) + n * layout.pitch > h;
    if (layout.closeUp) {
        layout.pitch = std::max(4, (h - gdi.scaled(2)) / n);
        layout.font.lfHeight = -(layout.pitch - 1);
        layout.font.lfWidth = 0;
    }
    return layout;
}

// Labels with a system letter need room for it.
int labelWidth(HDC dc, const SatelliteList& satellites) {
    const char* widest = satellites.labelsSystems() ? "W00" : "Cy";
    SIZE extent{};
    GetTextExtentPointA(dc, widest, static_cast<int>(std::strlen(widest)), &extent);
    return extent.cx;
}

} // namespace

SatSignalView::SatSignalView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "Sat Signal", true, false, 0}) {}

void SatSignalView::draw(HDC dc, int w, int h) {
    SetBkMode(dc, TRANSPARENT);
    const auto* state = static_cast<const GpsState*>(data);
    const bool columns = w > h; // a square view uses rows
    if (state == nullptr || state->active == 0) {
        SelectedObject font(dc, columns ? gdi.guiFont : gdi.verticalFont);
        const RECT client{0, 0, w, h};
        FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
        SetTextAlign(dc, TA_CENTER | TA_BASELINE);
        drawText(dc, w / 2, h / 2, "GPS INACTIVE");
        return;
    }
    if (columns) {
        drawColumns(dc, w, h);
    } else {
        drawRows(dc, w, h);
    }
}

void SatSignalView::drawRows(HDC dc, int w, int h) {
    const SatelliteList satellites(*static_cast<const GpsState*>(data));
    const int n = satellites.count();
    const RowLayout layout = rowLayout(gdi, satellites, h);
    GdiObject<HFONT> small(layout.closeUp ? CreateFontIndirectA(&layout.font) : nullptr);
    SelectedObject font(dc, small.get() != nullptr ? small.get() : gdi.guiFont);
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const int cx = labelWidth(dc, satellites);
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    // The figures are for 96 DPI; a bar is as many of its pixels long as the SNR says.
    int y = gdi.scaled(2);
    for (int i = 0; i < n; ++i) {
        char text[30];
        satellites.label(i, text, sizeof text);
        SetTextAlign(dc, TA_RIGHT);
        drawText(dc, cx + gdi.scaled(2), y, text);
        std::snprintf(text, sizeof text, "%i", satellites.snr(i));
        SetTextAlign(dc, TA_LEFT);
        drawText(dc, cx + gdi.scaled(6), y, text);
        const int left = 2 * cx + gdi.scaled(12);
        const RECT bar{left, y, clampPixel(static_cast<long long>(left) + gdi.scaled(satellites.snr(i))),
                       y + layout.pitch - gdi.scaled(2)};
        FillRect(dc, &bar, red.get());
        if (satellites.used(i)) {
            FrameRect(dc, &bar, gdi.blackBrush);
        }
        y += layout.pitch;
    }
}

void SatSignalView::drawColumns(HDC dc, int w, int h) {
    const SatelliteList satellites(*static_cast<const GpsState*>(data));
    SelectedObject font(dc, gdi.guiFont);
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    const int n = satellites.count();
    for (int i = 0; i < n; ++i) {
        // Each edge from its own index, so the columns tile the width exactly.
        const int left = i * w / n;
        const int right = (i + 1) * w / n;
        char text[100];
        satellites.label(i, text, sizeof text);
        drawText(dc, left + gdi.scaled(2), 0, text);
        std::snprintf(text, sizeof text, "%i", satellites.snr(i));
        drawText(dc, left + gdi.scaled(2), gdi.scaled(15), text);
        // The bar hangs from y = 30 and ends at SNR + 15 (at 96 DPI): an SNR of 15 or less shows none.
        const RECT bar{left + gdi.scaled(2), gdi.scaled(30), right - gdi.scaled(2),
                       clampPixel(gdi.scaled(static_cast<int>(std::min(satellites.snr(i), 100000)) + 15))};
        if (bar.bottom >= gdi.scaled(30)) {
            FillRect(dc, &bar, red.get());
        }
    }
}

bool SatSignalView::describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const {
    const auto* state = static_cast<const GpsState*>(data);
    const RECT client{0, 0, w, h};
    const bool columns = w > h;
    if (state == nullptr || state->active == 0) {
        parts.push_back({client, LookDigest().add(0).value()});
        return true;
    }
    parts.push_back({client, LookDigest().add(1).value()}); // the face the bars stand on
    const SatelliteList satellites(*state);
    const int n = satellites.count();
    // A bar's row or column, with its label and SNR: what each draws depends on nothing else.
    auto addBar = [&](const RECT& place, int i, std::int64_t layoutLook) {
        char text[30];
        satellites.label(i, text, sizeof text);
        LookDigest look;
        look.add(text).add(satellites.snr(i)).add(satellites.used(i) ? 1 : 0).add(layoutLook);
        parts.push_back({place, look.value()});
    };
    if (columns) {
        SelectedObject font(dc, gdi.guiFont);
        for (int i = 0; i < n; ++i) {
            // Text wider than a narrow column runs on over its neighbour.
            char text[30];
            satellites.label(i, text, sizeof text);
            SIZE label{};
            GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &label);
            std::snprintf(text, sizeof text, "%i", satellites.snr(i));
            SIZE snr{};
            GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &snr);
            const int left = i * w / n;
            const int right = std::max<int>((i + 1) * w / n, left + gdi.scaled(4) + std::max(label.cx, snr.cx));
            addBar({left, 0, right, h}, i, 0);
        }
        return true;
    }
    const RowLayout layout = rowLayout(gdi, satellites, h);
    GdiObject<HFONT> small(layout.closeUp ? CreateFontIndirectA(&layout.font) : nullptr);
    SelectedObject font(dc, small.get() != nullptr ? small.get() : gdi.guiFont);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const int cx = labelWidth(dc, satellites);
    // A row's text may run taller than its pitch when the rows close up.
    const int height = std::max<int>(layout.pitch, metrics.tmHeight);
    for (int i = 0; i < n; ++i) {
        const int y = gdi.scaled(2) + i * layout.pitch;
        addBar({0, y, w, y + height}, i, LookDigest().add(layout.pitch).add(cx).value());
    }
    return true;
}

} // namespace veltaro
