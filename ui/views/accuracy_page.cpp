#include "ui/views/accuracy_page.h"

#include "gps/gps_state.h"
#include "gps/reference_text.h"
#include "ui/framework/counts.h"
#include "ui/framework/gdi_owners.h"
#include "ui/framework/utf8_text.h"
#include "ui/views/dot_layer.h"
#include "ui/views/fix_readout.h"
#include "ui/views/pixel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <vector>

namespace veltaro {

namespace {

constexpr int MARGIN = 6;
constexpr int EDIT_WIDTH = 300;
constexpr int BUTTON_WIDTH = 90;
constexpr int TEXT_WIDTH = 280; // the figures' column beside the plot
constexpr int TEXT_LINES = 11;  // and their lines, at most
constexpr int EDIT_ID = 100;
constexpr int SET_ID = 101;
constexpr int MEAN_ID = 102;
constexpr int CLEAR_ID = 103;
constexpr int DOT = 2;                        // a fix's square, in pixels
constexpr std::uint32_t DOT_PIXEL = 0x0000A0; // dark blue, as 0x00RRGGBB in the bitmap
constexpr std::uint32_t WHITE_PIXEL = 0xFFFFFF;
constexpr double DEGREES_PER_RADIAN = 57.29577951308232;

std::string printed(const char* pattern, auto... values) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

std::string metres(double value) {
    return std::isnan(value) ? "--" : printed("%.3f m", value);
}

// "1 h 02 min", "12 min 05 s", "45 s".
std::string duration(std::int64_t ms) {
    const std::int64_t seconds = std::max<std::int64_t>(ms, 0) / 1000;
    if (seconds >= 3600) {
        return printed("%lld h %02lld min", static_cast<long long>(seconds / 3600),
                       static_cast<long long>(seconds / 60 % 60));
    }
    if (seconds >= 60) {
        return printed("%lld min %02lld s", static_cast<long long>(seconds / 60), static_cast<long long>(seconds % 60));
    }
    return printed("%lld s", static_cast<long long>(seconds));
}

void circle(HDC dc, int cx, int cy, int r) {
    Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
}

} // namespace

std::string accuracyText(const ScatterFigures& figures, bool typedReference) {
    std::string text = "Fixes: " + withThousands(figures.count);
    if (figures.count > 1) {
        text += " in " + duration(figures.lastMs - figures.firstMs);
    }
    const bool known = figures.count > 0 && !std::isnan(figures.mean.latitude);
    text += "\r\nMean: ";
    text += known ? angleText(figures.mean.latitude * 100, 8, 2, 'N', 'S') + " " +
                        angleText(figures.mean.longitude * 100, 8, 3, 'E', 'W')
                  : std::string("--");
    if (known && !std::isnan(figures.mean.height)) {
        text += printed("\r\nMean height: %.2f m", figures.mean.height);
    }
    if (typedReference) {
        text += "\r\nFrom the reference: " +
                (std::isnan(figures.offset) ? std::string("--")
                                            : metres(figures.offset) + printed(" at %.1f\xC2\xB0", figures.bearing));
    }
    text += "\r\nCEP50: " + metres(figures.cep50);
    text += "\r\nCEP95: " + metres(figures.cep95);
    text += "\r\n2DRMS: " + metres(figures.drms2);
    text += "\r\nSigma east: " + metres(figures.sigmaEast);
    text += "\r\nSigma north: " + metres(figures.sigmaNorth);
    text += "\r\nSigma up: " + metres(figures.sigmaUp);
    return text;
}

AccuracyPage::AccuracyPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, FixScatter& scatter)
    : LeafView(parent, ownedByParent, gdi, {0, "", false, true, 0}), scatter(scatter) {}

AccuracyPage::~AccuracyPage() = default;

bool AccuracyPage::create(HWND parentWindow) {
    // The strip's controls are children: the page's paint leaves them alone.
    if (!createWindow(0, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, parentWindow)) {
        return false;
    }
    const auto control = [&](const char* windowClass, const char* text, DWORD style, int id) {
        HWND made = CreateWindowExA(windowClass == std::string("EDIT") ? WS_EX_CLIENTEDGE : 0, windowClass, text,
                                    WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, 0, 0, 0, 0, hwnd,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), gdi.appInstance, nullptr);
        if (made != nullptr) {
            SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.guiFont), FALSE);
        }
        return made;
    };
    referenceEdit = control("EDIT", "", ES_AUTOHSCROLL, EDIT_ID);
    setButton = control("BUTTON", "Set reference", BS_PUSHBUTTON, SET_ID);
    meanButton = control("BUTTON", "Use mean", BS_PUSHBUTTON, MEAN_ID);
    clearButton = control("BUTTON", "Clear", BS_PUSHBUTTON, CLEAR_ID);
    if (referenceEdit == nullptr || setButton == nullptr || meanButton == nullptr || clearButton == nullptr) {
        return false;
    }
    RECT client;
    GetClientRect(hwnd, &client);
    layoutStrip(client.right);
    update();
    return true;
}

void AccuracyPage::layoutStrip(int w) {
    const int h = gdi.lineHeight() + gdi.scaled(8);
    // The box gives way to the buttons in a narrow page.
    const int edit = std::clamp(w - 3 * (gdi.scaled(BUTTON_WIDTH) + gdi.scaled(MARGIN)) - 2 * gdi.scaled(MARGIN),
                                gdi.scaled(120), gdi.scaled(EDIT_WIDTH));
    DeferredMoves moves(4);
    int x = gdi.scaled(MARGIN);
    moves.move(referenceEdit, x, gdi.scaled(MARGIN), edit, h);
    x += edit + gdi.scaled(MARGIN);
    for (HWND button : {setButton, meanButton, clearButton}) {
        moves.move(button, x, gdi.scaled(MARGIN), gdi.scaled(BUTTON_WIDTH), h);
        x += gdi.scaled(BUTTON_WIDTH) + gdi.scaled(MARGIN);
    }
}

LRESULT AccuracyPage::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE) {
        layoutStrip(LOWORD(lParam));
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
        case SET_ID: {
            char text[256] = "";
            GetWindowTextA(referenceEdit, text, sizeof text);
            setReference(text);
            return 0;
        }
        case MEAN_ID:
            useMean();
            return 0;
        case CLEAR_ID:
            clear();
            return 0;
        default:
            break;
        }
    }
    return LeafView::onMessage(message, wParam, lParam);
}

bool AccuracyPage::setReference(const std::string& text) {
    TypedReference reference;
    std::string reason;
    const auto* state = static_cast<const GpsState*>(data);
    bool read = readReference(text, reference, reason);
    if (read && reference.ellipsoidHeight) {
        // The fixes' heights are above sea level: an ellipsoid height needs the receiver's geoid separation.
        if (state != nullptr && (state->received & RECEIVED_SEPARATION) != 0) {
            reference.point.height -= state->separation;
        } else {
            read = false;
            reason = "the receiver sends no geoid separation: type the height above sea level";
        }
    }
    why = read ? "" : "Not a position: " + reason + ".";
    if (read) {
        scatter.setReference(reference.point);
    }
    shownCount = -1; // the figures and the picture follow at once
    refresh();
    return read;
}

void AccuracyPage::useMean() {
    why.clear();
    scatter.useMean();
    shownCount = -1;
    refresh();
}

void AccuracyPage::clear() {
    scatter.clear();
    dots.reset();
    dotsDrawn = 0;
    shownCount = -1;
    refresh();
}

void AccuracyPage::refresh() {
    if (hwnd == nullptr || !IsWindowVisible(hwnd)) {
        return;
    }
    if (update()) {
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

bool AccuracyPage::update() {
    const std::int64_t count = scatter.size();
    if (count == shownCount) {
        return false;
    }
    shownCount = count;
    figures = scatter.figures();
    std::string text = accuracyText(figures, scatter.hasReference());
    if (!why.empty()) {
        text += "\r\n" + why;
    }
    SetWindowTextA(hwnd, text.c_str());
    return true;
}

AccuracyPage::Plot AccuracyPage::plotPlace(int w, int h) const {
    Plot plot;
    plot.left = gdi.scaled(MARGIN);
    plot.top = gdi.lineHeight() + gdi.scaled(8) + 2 * gdi.scaled(MARGIN);
    // The figures beside the plot, or under it where that leaves the plot larger.
    const int beside = std::min(w - gdi.scaled(TEXT_WIDTH) - 3 * gdi.scaled(MARGIN), h - plot.top - gdi.scaled(MARGIN));
    const int under =
        std::min(w - 2 * gdi.scaled(MARGIN), h - plot.top - TEXT_LINES * gdi.lineHeight() - 2 * gdi.scaled(MARGIN));
    plot.side = std::max({0, beside, under});
    plot.textBeside = beside >= under;
    return plot;
}

void AccuracyPage::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    const Plot plot = plotPlace(w, h);
    if (plot.side > gdi.scaled(20)) {
        drawPlot(dc, plot);
    }
    SelectedObject font(dc, gdi.guiFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    char text[1024] = "";
    GetWindowTextA(hwnd, text, sizeof text);
    int y = plot.textBeside ? plot.top : plot.top + plot.side + gdi.scaled(MARGIN);
    const int x = plot.textBeside ? plot.left + plot.side + 2 * gdi.scaled(MARGIN) : plot.left;
    for (const char* line = text; *line != '\0';) {
        const char* end = std::strstr(line, "\r\n");
        const int n = end != nullptr ? static_cast<int>(end - line) : static_cast<int>(std::strlen(line));
        textOut(dc, x, y, std::string_view(line, static_cast<std::size_t>(n)));
        y += gdi.lineHeight();
        line += n + (end != nullptr ? 2 : 0);
    }
}

void AccuracyPage::drawPlot(HDC dc, const Plot& plot) {
    const EarthPoint centre = scatter.centre();
    const std::int64_t count = scatter.size();
    const int half = plot.side / 2;
    double east = 0;
    double north = 0;
    // Where the dots' anchor lies from the centre now: the mean moves with every fix.
    double shiftEast = 0;
    double shiftNorth = 0;
    if (dots) {
        double up = 0;
        TangentPlane(dots->anchor).offsets(centre, shiftEast, shiftNorth, up);
        shiftEast = -shiftEast;
        shiftNorth = -shiftNorth;
    }
    const auto catchUp = [&](std::int64_t from) {
        for (std::int64_t i = from; i < count; ++i) {
            scatter.offsetOf(i, east, north);
            dots->dot(east - shiftEast, north - shiftNorth, DOT_PIXEL);
            dots->farthest = std::max(dots->farthest, std::hypot(east, north));
        }
        dotsDrawn = count;
    };
    const bool redraw = !dots || dots->side != plot.side || dotsDrawn > count ||
                        std::hypot(shiftEast, shiftNorth) * dots->pixelsPerMetre >= 0.5;
    if (!redraw && dotsDrawn < count) {
        catchUp(dotsDrawn);
    }
    if (redraw || (dots && outerRing(dots->farthest) != dots->ring)) {
        // Drawn anew around the centre, at the ring that holds the farthest fix.
        double farthest = 0;
        for (std::int64_t i = 0; i < count; ++i) {
            scatter.offsetOf(i, east, north);
            farthest = std::max(farthest, std::hypot(east, north));
        }
        if (!dots || dots->side != plot.side) {
            dots = DotLayer::make(plot.side);
        }
        if (dots) {
            dots->clear();
            dots->anchor = centre;
            dots->ring = outerRing(farthest);
            dots->pixelsPerMetre = (half - gdi.scaled(4)) / dots->ring;
            shiftEast = 0;
            shiftNorth = 0;
            catchUp(0);
        }
    }
    if (!dots) {
        return; // no bitmap to be had: the figures still show
    }
    dots->paint(dc, plot.left, plot.top);
    ringMetres = dots->ring;
    const int cx = plot.left + half;
    const int cy = plot.top + half;
    const double scale = dots->pixelsPerMetre;
    const auto at = [&](double e, double n, int& x, int& y) {
        x = cx + clampPixel(std::llround((e - shiftEast) * scale));
        y = cy - clampPixel(std::llround((n - shiftNorth) * scale));
    };
    drawRings(dc, gdi, plot.left, plot.top, plot.side, ringMetres, scale);
    SelectedObject noFill(dc, GetStockObject(NULL_BRUSH));
    // Half and 95% of the fixes lie within these of the centre.
    const std::pair<double, COLORREF> ceps[] = {{figures.cep50, RGB(0, 160, 0)}, {figures.cep95, RGB(230, 120, 0)}};
    for (const auto& [radius, colour] : ceps) {
        if (!std::isnan(radius)) {
            GdiObject<HPEN> pen(CreatePen(PS_SOLID, gdi.scaled(2), colour));
            SelectedObject selected(dc, pen.get());
            circle(dc, cx, cy, static_cast<int>(std::lround(radius * scale)));
        }
    }
    drawReferenceMark(dc, gdi, cx, cy);
    if (count > 0) {
        // The mean: a blue diagonal cross; with a typed reference it lies off the centre.
        double mx = 0;
        double my = 0;
        double up = 0;
        TangentPlane(centre).offsets(figures.mean, mx, my, up);
        int x = 0;
        int y = 0;
        at(mx, my, x, y);
        drawMeanMark(dc, gdi, x, y, RGB(0, 0, 255));
        // The latest fix: a red disc.
        scatter.offsetOf(count - 1, east, north);
        at(east, north, x, y);
        GdiObject<HBRUSH> red(CreateSolidBrush(RGB(230, 0, 0)));
        SelectedObject brush(dc, red.get());
        SelectedObject outline(dc, GetStockObject(NULL_PEN));
        const int r = gdi.scaled(4);
        Ellipse(dc, x - r, y - r, x + r + 1, y + r + 1);
    }
}

} // namespace veltaro
