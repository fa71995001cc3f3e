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
    int pitch = gdi.lineHeight() + 2;
    // Every system's satellites may be more than the rows fit: then the rows close up, with a font to
    // match, so every satellite stays in view.
    const bool closeUp = satellites.labelsSystems() && n > 0 && 2 + n * pitch > h;
    LOGFONTA smallFont = gdi.guiLogFont;
    if (closeUp) {
        pitch = std::max(4, (h - 2) / n);
        smallFont.lfHeight = -(pitch - 1);
        smallFont.lfWidth = 0;
    }
    GdiObject<HFONT> small(closeUp ? CreateFontIndirectA(&smallFont) : nullptr);
    SelectedObject font(dc, small.get() != nullptr ? small.get() : gdi.guiFont);
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SIZE extent{};
    // Labels with a system letter need room for it.
    const char* widest = satellites.labelsSystems() ? "W00" : "Cy";
    GetTextExtentPointA(dc, widest, static_cast<int>(std::strlen(widest)), &extent);
    const int cx = extent.cx;
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    int y = 2;
    for (int i = 0; i < n; ++i) {
        char text[30];
        satellites.label(i, text, sizeof text);
        SetTextAlign(dc, TA_RIGHT);
        drawText(dc, cx + 2, y, text);
        std::snprintf(text, sizeof text, "%i", satellites.snr(i));
        SetTextAlign(dc, TA_LEFT);
        drawText(dc, cx + 6, y, text);
        const int left = 2 * cx + 12;
        const RECT bar{left, y, clampPixel(static_cast<long long>(left) + satellites.snr(i)), y + pitch - 2};
        FillRect(dc, &bar, red.get());
        if (satellites.used(i)) {
            FrameRect(dc, &bar, gdi.blackBrush);
        }
        y += pitch;
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
        drawText(dc, left + 2, 0, text);
        std::snprintf(text, sizeof text, "%i", satellites.snr(i));
        drawText(dc, left + 2, 15, text);
        // The bar hangs from y = 30 and ends at SNR + 15: an SNR of 15 or less shows none.
        const RECT bar{left + 2, 30, right - 2, clampPixel(static_cast<long long>(satellites.snr(i)) + 15)};
        if (bar.bottom >= 30) {
            FillRect(dc, &bar, red.get());
        }
    }
}

} // namespace veltaro
