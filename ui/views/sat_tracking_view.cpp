#include "ui/views/sat_tracking_view.h"

#include "gps/gps_state.h"
#include "ui/framework/gdi_owners.h"
#include "ui/views/age_caption.h"
#include "ui/views/pixel.h"
#include "ui/views/satellite_list.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace veltaro {

namespace {

constexpr double RADIANS_PER_DEGREE = 0.017453292519943295;
constexpr double PER_ZENITH_DEGREE = 0.011111111111111112;              // 1/90
constexpr double RADIANS_PER_HUNDREDTH = 0.00017453292519943296;        // position and tropics
constexpr double QUARTER_CIRCLE_PER_HUNDREDTH = 0.00011111111111111112; // 1/9000
constexpr double TROPIC_LATITUDE = 2350;                                // hundredths of a degree
constexpr double NORTHERN_TROPIC_HEIGHT = 0.7388888888888889;           // 1 - 2350/9000

void line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

// Where satellite i stands on the sky plot; false when the receiver sent no position for it.
bool skyPoint(const SatelliteList& satellites, int i, int w, int h, POINT& at) {
    const int elevation = satellites.elevation(i);
    const int azimuth = satellites.azimuth(i);
    if (elevation == 0 && azimuth == 0) {
        return false;
    }
    const int cx = w / 2;
    const int cy = h / 2;
    at = {cx, cy};
    if (elevation > 0) {
        const double d = (90.0 - elevation) * PER_ZENITH_DEGREE;
        const double a = azimuth * RADIANS_PER_DEGREE;
        at = {toPixel(cx * (1 + std::sin(a) * d)), toPixel(cy * (1 - std::cos(a) * d))};
    }
    return true;
}

COLORREF satelliteColour(const SatelliteList& satellites, int i) {
    if (satellites.used(i)) {
        return RGB(0, 0, 255);
    }
    return satellites.snr(i) < 0 ? RGB(255, 0, 0) : RGB(0, 255, 0);
}

// The receiver's position on the globe, also while inactive: the copy keeps the last fix. A lost fix leaves
// the circle where the last real one put it.
bool globePoint(const GpsState& state, int w, int h, POINT& at) {
    if (state.fixType <= 1 || (state.received & RECEIVED_FIX) == 0) {
        return false;
    }
    const int cx = w / 2;
    const int cy = h / 2;
    const double k = RADIANS_PER_HUNDREDTH;
    const double latitude = state.fixLatitude;
    at = {toPixel(std::sin(state.fixLongitude * k) * std::cos(latitude * k) * cx) + cx,
          toPixel((1 - latitude * QUARTER_CIRCLE_PER_HUNDREDTH) * cy)};
    return true;
}

} // namespace

SatTrackingView::SatTrackingView(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "Sat tracking", true, true, 0}) {}

void SatTrackingView::draw(HDC dc, int w, int h) {
    SelectedObject font(dc, gdi.guiFont);
    SetBkMode(dc, TRANSPARENT);
    const auto* state = static_cast<const GpsState*>(data);
    if (state == nullptr || state->active == 0) {
        const RECT client{0, 0, w, h};
        FillRect(dc, &client, gdi.faceBrush);
        SetTextAlign(dc, TA_CENTER | TA_BASELINE);
        TextOutA(dc, w / 2, h / 2, "GPS INACTIVE", 12);
    } else {
        drawSky(dc, w, h);
    }

    POINT globe{};
    if (state != nullptr && globePoint(*state, w, h, globe)) {
        const int r = gdi.scaled(3);
        Ellipse(dc, globe.x - r, globe.y - r, globe.x + r + 1, globe.y + r + 1);
    }
    if (state != nullptr) {
        drawAgeCaption(dc, gdi, *state);
    }
}

void SatTrackingView::drawSky(HDC dc, int w, int h) {
    const auto& state = *static_cast<const GpsState*>(data);
    const int cx = w / 2;
    const int cy = h / 2;
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    Ellipse(dc, 0, 0, w, h); // with the context's own pen and brush: black outline, white inside

    {
        SelectedObject pen(dc, gdi.lightGrayPen);
        line(dc, cx, 1, cx, h - 1); // meridian of longitude 0, north-south axis
        line(dc, 1, cy, w - 1, cy); // equator, east-west axis
        const int dx = static_cast<int>(std::cos(TROPIC_LATITUDE * RADIANS_PER_HUNDREDTH) * cx);
        const int ty = static_cast<int>(cy * NORTHERN_TROPIC_HEIGHT);
        line(dc, cx - dx, ty, cx + dx, ty);
        line(dc, cx - dx, h - ty, cx + dx, h - ty);
    }

    SelectedObject pen(dc, gdi.blackPen);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    const SatelliteList satellites(state);
    const int n = satellites.count();
    const int arm = gdi.scaled(3); // of a satellite's cross, at 96 DPI 3 pixels
    for (int i = 0; i < n; ++i) {
        POINT at{};
        if (!skyPoint(satellites, i, w, h, at)) {
            continue;
        }
        line(dc, at.x - arm, at.y, at.x + arm + 1, at.y);
        line(dc, at.x, at.y - arm, at.x, at.y + arm + 1);
        SetTextColor(dc, satelliteColour(satellites, i));
        char text[30];
        satellites.label(i, text, sizeof text);
        TextOutA(dc, at.x, at.y, text, static_cast<int>(std::strlen(text)));
    }
}

bool SatTrackingView::describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const {
    const auto* state = static_cast<const GpsState*>(data);
    const bool active = state != nullptr && state->active != 0;
    parts.push_back({{0, 0, w, h}, LookDigest().add(active ? 1 : 0).value()}); // the disc or the inactive face
    if (state == nullptr) {
        return true;
    }
    SelectedObject font(dc, gdi.guiFont);
    if (active) {
        const SatelliteList satellites(*state);
        for (int i = 0; i < satellites.count(); ++i) {
            POINT at{};
            if (!skyPoint(satellites, i, w, h, at)) {
                continue;
            }
            char text[30];
            satellites.label(i, text, sizeof text);
            addTextPart(dc, at.x, at.y, text, parts);
            parts.back().look = LookDigest().add(text).add(satelliteColour(satellites, i)).value();
            const int arm = gdi.scaled(3);
            parts.push_back({{at.x - arm, at.y - arm, at.x + arm + 1, at.y + arm + 1}, 0}); // the cross
        }
    }
    POINT globe{};
    if (globePoint(*state, w, h, globe)) {
        const int r = gdi.scaled(3);
        parts.push_back({{globe.x - r, globe.y - r, globe.x + r + 1, globe.y + r + 1}, 1});
    }
    addAgeCaptionPart(dc, gdi, *state, parts);
    return true;
}

} // namespace veltaro
