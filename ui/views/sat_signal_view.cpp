#include "ui/views/sat_signal_view.h"

#include "gps/gps_state.h"
#include "ui/framework/gdi_owners.h"
#include "ui/views/pixel.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace veltaro {

namespace {

void drawText(HDC dc, int x, int y, const char* text) {
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
}

// Entries past the table's 32, or a negative count from a broken sentence, are not drawn.
int shownSatellites(const GpsState& state) {
    return std::clamp<int>(state.satellites.inView, 0, MAX_SATELLITES);
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
    const auto& state = *static_cast<const GpsState*>(data);
    SelectedObject font(dc, gdi.guiFont);
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SIZE extent{};
    GetTextExtentPointA(dc, "Cy", 2, &extent);
    const int cx = extent.cx;
    const int pitch = gdi.lineHeight() + 2;
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    const int n = shownSatellites(state);
    int y = 2;
    for (int i = 0; i < n; ++i) {
        char text[30];
        std::snprintf(text, sizeof text, "%i", state.satellites.prn[i]);
        SetTextAlign(dc, TA_RIGHT);
        drawText(dc, cx + 2, y, text);
        std::snprintf(text, sizeof text, "%i", state.satellites.snr[i]);
        SetTextAlign(dc, TA_LEFT);
        drawText(dc, cx + 6, y, text);
        const int left = 2 * cx + 12;
        const RECT bar{left, y, clampPixel(static_cast<long long>(left) + state.satellites.snr[i]), y + pitch - 2};
        FillRect(dc, &bar, red.get());
        if (state.isSatelliteUsed(state.satellites.prn[i])) {
            FrameRect(dc, &bar, gdi.blackBrush);
        }
        y += pitch;
    }
}

void SatSignalView::drawColumns(HDC dc, int w, int h) {
    const auto& state = *static_cast<const GpsState*>(data);
    SelectedObject font(dc, gdi.guiFont);
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    GdiObject<HBRUSH> red(CreateSolidBrush(RGB(255, 0, 0)));
    const int n = shownSatellites(state);
    for (int i = 0; i < n; ++i) {
        // Each edge from its own index, so the columns tile the width exactly.
        const int left = i * w / n;
        const int right = (i + 1) * w / n;
        char text[100];
        std::snprintf(text, sizeof text, "%i", state.satellites.prn[i]);
        drawText(dc, left + 2, 0, text);
        std::snprintf(text, sizeof text, "%i", state.satellites.snr[i]);
        drawText(dc, left + 2, 15, text);
        // The bar hangs from y = 30 and ends at SNR + 15: an SNR of 15 or less shows none.
        const RECT bar{left + 2, 30, right - 2, clampPixel(static_cast<long long>(state.satellites.snr[i]) + 15)};
        if (bar.bottom >= 30) {
            FillRect(dc, &bar, red.get());
        }
    }
}

} // namespace veltaro
