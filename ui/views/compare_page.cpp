#include "ui/views/compare_page.h"

#include "gps/reference_text.h"
#include "ui/framework/counts.h"
#include "ui/framework/gdi_owners.h"
#include "ui/framework/utf8_text.h"
#include "ui/views/dot_layer.h"
#include "ui/views/pixel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

namespace veltaro {

namespace {

constexpr int MARGIN = 6;
constexpr int BOX_WIDTH = 190;
constexpr int EDIT_WIDTH = 170;
constexpr int BUTTON_WIDTH = 90;
constexpr int BOX_ID = 100;
constexpr int EDIT_ID = 101;
constexpr int SET_ID = 102;
constexpr double DEGREES_PER_RADIAN = 57.29577951308232;
constexpr double NO_VALUE = std::numeric_limits<double>::quiet_NaN();
constexpr COLORREF PALETTE[] = {RGB(0, 0, 200),   RGB(220, 0, 0),   RGB(0, 150, 0),   RGB(230, 120, 0),
                                RGB(130, 0, 170), RGB(0, 150, 150), RGB(120, 70, 20), RGB(220, 0, 180)};
// The table's columns: title and left edge.
constexpr struct {
    const char* title;
    int x;
} COLUMNS[] = {{"Receiver", 0}, {"Fixes", 125},  {"Fix %", 170},   {"CEP50", 208}, {"CEP95", 250},
               {"2DRMS", 292},  {"Offset", 334}, {"Bearing", 386}, {"Used", 434},  {"C/N0", 466}};

COLORREF colourOf(std::size_t device) {
    return PALETTE[device % std::size(PALETTE)];
}

// A GDI colour as the dot layer's 0x00RRGGBB.
std::uint32_t pixelOf(COLORREF colour) {
    return static_cast<std::uint32_t>(GetRValue(colour)) << 16 | static_cast<std::uint32_t>(GetGValue(colour)) << 8 |
           GetBValue(colour);
}

std::string number(double value, const char* pattern) {
    if (std::isnan(value)) {
        return "--";
    }
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

// A distance in few characters: to the millimetre below a kilometre, then in kilometres.
std::string distance(double metres) {
    if (metres < 1000 || std::isnan(metres)) {
        return number(metres, "%.3f m");
    }
    return number(metres / 1000, metres < 1e6 ? "%.1f km" : "%.0f km");
}

// The cells of a row, in the columns' order.
std::vector<std::string> cellsOf(const CompareRow& row) {
    return {row.name,
            withThousands(row.fixes),
            number(row.fixPercent, "%.0f%%"),
            number(row.cep50, "%.3f"),
            number(row.cep95, "%.3f"),
            number(row.drms2, "%.3f"),
            distance(row.offset),
            number(row.bearing, "%.1f\xC2\xB0"),
            number(row.usedAverage, "%.1f"),
            number(row.cn0Average, "%.0f")};
}

} // namespace

CompareRow compareRow(const std::string& name, GpsDevice& device, const EarthPoint& reference) {
    CompareRow row;
    row.name = name;
    const ScatterFigures figures = device.scatter.figures();
    row.fixes = figures.count;
    row.cep50 = figures.cep50;
    row.cep95 = figures.cep95;
    row.drms2 = figures.drms2;
    row.offset = NO_VALUE;
    row.bearing = NO_VALUE;
    if (figures.count > 0 && !std::isnan(reference.latitude)) {
        double east = 0;
        double north = 0;
        double up = 0;
        TangentPlane(reference).offsets(figures.mean, east, north, up);
        row.offset = std::hypot(east, north);
        row.bearing = std::fmod(std::atan2(east, north) * DEGREES_PER_RADIAN + 360, 360);
    }
    const History& history = device.history;
    std::int64_t withFix = 0;
    double used = 0;
    std::int64_t usedSeconds = 0;
    double cn0 = 0;
    std::int64_t heardSeconds = 0;
    for (std::int64_t i = 0; i < history.size(); ++i) {
        const HistorySample& sample = history.at(i);
        withFix += sample.fix != FIX_NONE ? 1 : 0;
        if (sample.used >= 0) {
            used += sample.used;
            ++usedSeconds;
        }
        if (!std::isnan(sample.cn0)) {
            cn0 += sample.cn0;
            ++heardSeconds;
        }
    }
    const auto average = [](double sum, std::int64_t n) { return n > 0 ? sum / static_cast<double>(n) : NO_VALUE; };
    row.fixPercent = average(100.0 * static_cast<double>(withFix), history.size());
    row.usedAverage = average(used, usedSeconds);
    row.cn0Average = average(cn0, heardSeconds);
    return row;
}

std::string compareText(const std::vector<CompareRow>& rows) {
    std::string text;
    for (const CompareRow& row : rows) {
        const std::vector<std::string> cells = cellsOf(row);
        if (!text.empty()) {
            text += "\r\n";
        }
        text += row.name + ": " + cells[1] + " fixes, " + cells[2] + " of seconds with a fix, CEP50 " + cells[3] +
                " m, CEP95 " + cells[4] + " m, 2DRMS " + cells[5] + " m, mean " + cells[6] + " at " + cells[7] +
                " from the reference, " + cells[8] + " satellites used, C/N0 " + cells[9] + " dB-Hz";
    }
    return text;
}

ComparePage::ComparePage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi,
                         std::function<std::vector<ComparedDevice>()> devices)
    : LeafView(parent, ownedByParent, gdi, {0, "", false, true, 0}), devices(std::move(devices)) {}

ComparePage::~ComparePage() = default;

bool ComparePage::create(HWND parentWindow) {
    if (!createWindow(0, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, parentWindow)) {
        return false;
    }
    const int h = gdi.lineHeight() + gdi.scaled(8);
    const auto control = [&](DWORD exStyle, const char* windowClass, DWORD style, int x, int width, int height,
                             int id) {
        HWND made = CreateWindowExA(exStyle, windowClass, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, x,
                                    gdi.scaled(MARGIN), width, height, hwnd,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), gdi.appInstance, nullptr);
        if (made != nullptr) {
            SendMessageA(made, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.guiFont), FALSE);
        }
        return made;
    };
    referenceBox = control(0, "COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL, gdi.scaled(MARGIN), gdi.scaled(BOX_WIDTH),
                           gdi.scaled(200), BOX_ID);
    referenceEdit = control(WS_EX_CLIENTEDGE, "EDIT", ES_AUTOHSCROLL, 2 * gdi.scaled(MARGIN) + gdi.scaled(BOX_WIDTH),
                            gdi.scaled(EDIT_WIDTH), h, EDIT_ID);
    setButton =
        control(0, "BUTTON", BS_PUSHBUTTON, 3 * gdi.scaled(MARGIN) + gdi.scaled(BOX_WIDTH) + gdi.scaled(EDIT_WIDTH),
                gdi.scaled(BUTTON_WIDTH), h, SET_ID);
    if (referenceBox == nullptr || referenceEdit == nullptr || setButton == nullptr) {
        return false;
    }
    SetWindowTextA(setButton, "Set reference");
    update();
    return true;
}

LRESULT ComparePage::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == BOX_ID && HIWORD(wParam) == CBN_SELCHANGE) {
        const int chosen = static_cast<int>(SendMessageA(referenceBox, CB_GETCURSEL, 0, 0));
        if (chosen < static_cast<int>(shown.size())) {
            useMeanOf(chosen);
        }
        return 0;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == SET_ID && HIWORD(wParam) == BN_CLICKED) {
        char text[256] = "";
        GetWindowTextA(referenceEdit, text, sizeof text);
        setReference(text);
        return 0;
    }
    return LeafView::onMessage(message, wParam, lParam);
}

void ComparePage::useMeanOf(int index) {
    meanOf = index;
    why.clear();
    SendMessageA(referenceBox, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    counts.clear(); // the figures and the picture follow at once
    refresh();
}

bool ComparePage::setReference(const std::string& text) {
    TypedReference read;
    std::string reason;
    const bool ok = readReference(text, read, reason);
    why = ok ? "" : "Not a position: " + reason + ".";
    if (ok) {
        typed = read.point;
        meanOf = -1;
        SendMessageA(referenceBox, CB_SETCURSEL, static_cast<WPARAM>(shown.size()), 0);
    }
    counts.clear();
    refresh();
    return ok;
}

EarthPoint ComparePage::reference() const {
    if (meanOf < 0) {
        return typed;
    }
    if (meanOf < static_cast<int>(shown.size()) && shown[static_cast<std::size_t>(meanOf)].device->scatter.size() > 0) {
        return shown[static_cast<std::size_t>(meanOf)].device->scatter.figures().mean;
    }
    return {NO_VALUE, NO_VALUE, NO_VALUE};
}

void ComparePage::refresh() {
    if (hwnd == nullptr || !IsWindowVisible(hwnd)) {
        return;
    }
    if (update()) {
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

bool ComparePage::update() {
    const std::vector<ComparedDevice> now = devices();
    std::vector<std::int64_t> sizes;
    for (const ComparedDevice& d : now) {
        sizes.push_back(d.device->scatter.size());
        sizes.push_back(d.device->history.recorded());
    }
    if (now.size() == shown.size() && sizes == counts) {
        return false;
    }
    if (now.size() != shown.size()) {
        // A device joined: the list offers its mean too, and the typed point last.
        SendMessageA(referenceBox, CB_RESETCONTENT, 0, 0);
        for (const ComparedDevice& d : now) {
            const std::string entry = "Mean of " + d.name;
            SendMessageA(referenceBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
        }
        SendMessageA(referenceBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("The point typed"));
        SendMessageA(referenceBox, CB_SETCURSEL, static_cast<WPARAM>(meanOf < 0 ? now.size() : meanOf), 0);
    }
    shown = now;
    counts = sizes;
    const EarthPoint point = reference();
    rows.clear();
    for (const ComparedDevice& d : shown) {
        rows.push_back(compareRow(d.name, *d.device, point));
    }
    std::string text = compareText(rows);
    if (!why.empty()) {
        text += "\r\n" + why;
    }
    SetWindowTextA(hwnd, text.c_str());
    return true;
}

void ComparePage::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    const int line = gdi.lineHeight();
    const int top = line + gdi.scaled(8) + 2 * gdi.scaled(MARGIN);
    const int tableHeight = (static_cast<int>(rows.size()) + 2) * line;
    const int side = std::min(w - 2 * gdi.scaled(MARGIN), h - top - tableHeight - 2 * gdi.scaled(MARGIN));
    if (side > gdi.scaled(20)) {
        drawPlot(dc, gdi.scaled(MARGIN), top, side);
    }
    // The table under the plot, each receiver's name after a square of its colour.
    SelectedObject font(dc, gdi.guiFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    int y = top + std::max(side, 0) + gdi.scaled(MARGIN);
    for (const auto& column : COLUMNS) {
        TextOutA(dc, gdi.scaled(MARGIN) + gdi.scaled(column.x), y, column.title,
                 static_cast<int>(std::strlen(column.title)));
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        y += line;
        GdiObject<HBRUSH> brush(CreateSolidBrush(colourOf(r)));
        const RECT swatch{gdi.scaled(MARGIN), y + gdi.scaled(2), gdi.scaled(MARGIN + 10), y + line - gdi.scaled(2)};
        FillRect(dc, &swatch, brush.get());
        const std::vector<std::string> cells = cellsOf(rows[r]);
        // A long name ends in "..." before the next column.
        RECT name{gdi.scaled(MARGIN + 14), y, gdi.scaled(MARGIN + COLUMNS[1].x - 4), y + line};
        const std::wstring shownName = widen(cells[0]);
        DrawTextW(dc, shownName.c_str(), static_cast<int>(shownName.size()), &name,
                  DT_LEFT | DT_TOP | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        for (std::size_t c = 1; c < cells.size(); ++c) {
            textOut(dc, gdi.scaled(MARGIN) + gdi.scaled(COLUMNS[c].x), y, cells[c]);
        }
    }
    if (!why.empty()) {
        textOut(dc, gdi.scaled(MARGIN), y + line, why);
    }
}

void ComparePage::drawPlot(HDC dc, int left, int top, int side) {
    const RECT square{left, top, left + side, top + side};
    FillRect(dc, &square, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    const EarthPoint point = reference();
    if (std::isnan(point.latitude)) {
        return; // no reference yet: the device chosen has no fix
    }
    // Where the reference lies from the dots' anchor: a device's mean moves with its fixes.
    double anchorEast = 0;
    double anchorNorth = 0;
    double up = 0;
    if (dots) {
        TangentPlane(dots->anchor).offsets(point, anchorEast, anchorNorth, up);
    }
    bool redraw = !dots || dots->side != side || drawn.size() > shown.size() ||
                  std::hypot(anchorEast, anchorNorth) * dots->pixelsPerMetre >= 0.5;
    for (std::size_t d = 0; d < drawn.size() && !redraw; ++d) {
        redraw = drawn[d] > shown[d].device->scatter.size(); // cleared on its own page
    }
    // Each device's fixes from its dot on: where they lie from the reference is where they lie from its centre,
    // and its centre from the reference.
    const auto catchUp = [&](bool draw) {
        drawn.resize(shown.size(), 0);
        for (std::size_t d = 0; d < shown.size(); ++d) {
            FixScatter& scatter = shown[d].device->scatter;
            double centreEast = 0;
            double centreNorth = 0;
            TangentPlane(point).offsets(scatter.centre(), centreEast, centreNorth, up);
            const std::int64_t count = scatter.size();
            for (std::int64_t i = drawn[d]; i < count; ++i) {
                double east = 0;
                double north = 0;
                scatter.offsetOf(i, east, north);
                east += centreEast;
                north += centreNorth;
                dots->farthest = std::max(dots->farthest, std::hypot(east, north));
                if (draw) {
                    dots->dot(east + anchorEast, north + anchorNorth, pixelOf(colourOf(d)));
                }
            }
            drawn[d] = count;
        }
    };
    if (!redraw) {
        catchUp(true);
        redraw = outerRing(dots->farthest) != dots->ring;
    }
    if (redraw) {
        if (!dots || dots->side != side) {
            dots = DotLayer::make(side);
        }
        if (!dots) {
            return;
        }
        // Measured first for the ring that holds every fix, then drawn around the reference.
        dots->clear();
        dots->anchor = point;
        anchorEast = 0;
        anchorNorth = 0;
        drawn.assign(shown.size(), 0);
        catchUp(false);
        dots->ring = outerRing(dots->farthest);
        dots->pixelsPerMetre = (side / 2 - gdi.scaled(4)) / dots->ring;
        drawn.assign(shown.size(), 0);
        catchUp(true);
    }
    dots->paint(dc, left, top);
    drawRings(dc, gdi, left, top, side, dots->ring, dots->pixelsPerMetre);
    const int cx = left + side / 2;
    const int cy = top + side / 2;
    drawReferenceMark(dc, gdi, cx, cy);
    // Each device's mean: a diagonal cross in its colour.
    for (std::size_t d = 0; d < shown.size(); ++d) {
        if (shown[d].device->scatter.size() == 0) {
            continue;
        }
        double east = 0;
        double north = 0;
        TangentPlane(point).offsets(shown[d].device->scatter.figures().mean, east, north, up);
        const int x = cx + clampPixel(std::llround((east + anchorEast) * dots->pixelsPerMetre));
        const int y = cy - clampPixel(std::llround((north + anchorNorth) * dots->pixelsPerMetre));
        drawMeanMark(dc, gdi, x, y, colourOf(d));
    }
}

} // namespace veltaro
