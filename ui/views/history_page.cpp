#include "ui/views/history_page.h"

#include "ui/framework/gdi_owners.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

namespace veltaro {

namespace {

constexpr int MARGIN = 6;
constexpr int AXIS_WIDTH = 40; // the values' labels left of the charts
constexpr int SPAN_ID = 100;
constexpr std::int64_t SPANS[] = {600, 3600, 6 * 3600};
constexpr const char* SPAN_NAMES[] = {"Last 10 minutes", "Last hour", "Last 6 hours"};
// A tick every so many seconds for each span, and a label on every second tick of the shortest.
constexpr std::int64_t TICKS[] = {60, 600, 3600};
constexpr std::int64_t DAY = 86400;
// The fix kinds' colours, worst first: none, 2D, 3D, DGPS, RTK float, RTK fixed.
constexpr COLORREF FIX_COLOURS[] = {RGB(200, 200, 200), RGB(240, 200, 0), RGB(0, 170, 0),
                                    RGB(0, 170, 220),   RGB(230, 120, 0), RGB(0, 90, 0)};
constexpr const char* FIX_NAMES[] = {"none", "2D", "3D", "DGPS", "RTK float", "RTK fixed"};

void text(HDC dc, int x, int y, const std::string& line) {
    TextOutA(dc, x, y, line.c_str(), static_cast<int>(line.size()));
}

// The least of 1, 2 and 5 times a power of ten at or above value.
double niceMax(double value) {
    for (double decade = 1;; decade *= 10) {
        for (double step : {1.0, 2.0, 5.0}) {
            if (value <= decade * step) {
                return decade * step;
            }
        }
    }
}

// Where the samples of a span start: the first at or after begin.
std::int64_t firstFrom(const History& history, std::int64_t begin) {
    std::int64_t low = 0;
    std::int64_t high = history.size();
    while (low < high) {
        const std::int64_t middle = (low + high) / 2;
        if (history.at(middle).second < begin) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return low;
}

// The charts' shared time axis: the pixel column of a second.
struct TimeAxis {
    std::int64_t begin;
    std::int64_t span;
    int left;
    int width;
    int x(std::int64_t second) const { return left + static_cast<int>((second - begin) * width / span); }
};

// A series as lines broken where seconds lack it, each pixel column drawn as the stroke from its least to its
// greatest value: a paint costs what the width costs, not the number of samples.
template <typename Value>
void drawSeries(HDC dc, const History& history, std::int64_t first, const TimeAxis& axis, const RECT& band, double most,
                Value value) {
    std::vector<POINT> run;
    const auto flush = [&] {
        if (run.size() == 1) {
            run.push_back({run[0].x + 1, run[0].y}); // a lone second still shows
        }
        if (!run.empty()) {
            Polyline(dc, run.data(), static_cast<int>(run.size()));
        }
        run.clear();
    };
    const int height = band.bottom - band.top - 1;
    std::int64_t previous = std::numeric_limits<std::int64_t>::min();
    for (std::int64_t i = first; i < history.size(); ++i) {
        const HistorySample& sample = history.at(i);
        const double v = value(sample);
        if (std::isnan(v)) {
            flush();
            continue;
        }
        if (sample.second - previous > 2) {
            flush(); // a gap: no data came
        }
        previous = sample.second;
        const POINT point{axis.x(sample.second),
                          band.bottom - 1 - static_cast<int>(std::lround(std::clamp(v / most, 0.0, 1.0) * height))};
        // Within a column only a new least or greatest value adds a point.
        if (run.size() >= 2 && run.back().x == point.x && run[run.size() - 2].x == point.x) {
            const LONG low = std::max(run.back().y, run[run.size() - 2].y);
            const LONG high = std::min(run.back().y, run[run.size() - 2].y);
            if (point.y <= low && point.y >= high) {
                continue;
            }
        }
        run.push_back(point);
    }
    flush();
}

} // namespace

HistoryPage::HistoryPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi, const History& history)
    : LeafView(parent, ownedByParent, gdi, {0, "", false, true, 0}), history(history) {}

bool HistoryPage::create(HWND parentWindow) {
    if (!createWindow(0, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, parentWindow)) {
        return false;
    }
    spanBox = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST,
                              gdi.scaled(MARGIN), gdi.scaled(MARGIN), gdi.scaled(160), gdi.scaled(200), hwnd,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(SPAN_ID)), gdi.appInstance, nullptr);
    if (spanBox == nullptr) {
        return false;
    }
    SendMessageA(spanBox, WM_SETFONT, reinterpret_cast<WPARAM>(gdi.guiFont), FALSE);
    for (const char* name : SPAN_NAMES) {
        SendMessageA(spanBox, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    SendMessageA(spanBox, CB_SETCURSEL, 0, 0);
    return true;
}

LRESULT HistoryPage::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND && LOWORD(wParam) == SPAN_ID && HIWORD(wParam) == CBN_SELCHANGE) {
        showSpan(static_cast<int>(SendMessageA(spanBox, CB_GETCURSEL, 0, 0)));
        return 0;
    }
    return LeafView::onMessage(message, wParam, lParam);
}

void HistoryPage::showSpan(int span) {
    const int chosen = std::clamp(span, 0, static_cast<int>(std::size(SPANS)) - 1);
    SendMessageA(spanBox, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    spanSeconds = SPANS[chosen];
    InvalidateRect(hwnd, nullptr, FALSE);
}

void HistoryPage::refresh() {
    if (hwnd == nullptr || !IsWindowVisible(hwnd) || history.recorded() == shownRecorded) {
        return;
    }
    shownRecorded = history.recorded();
    InvalidateRect(hwnd, nullptr, FALSE);
}

void HistoryPage::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    SelectedObject font(dc, gdi.guiFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    const int line = gdi.lineHeight();
    const int top = line + gdi.scaled(8) + 2 * gdi.scaled(MARGIN);
    if (history.size() == 0) {
        text(dc, gdi.scaled(MARGIN), top, "No data yet.");
        return;
    }
    const std::int64_t end = history.at(history.size() - 1).second + 1;
    const TimeAxis axis{end - spanSeconds, spanSeconds, gdi.scaled(AXIS_WIDTH) + gdi.scaled(MARGIN),
                        std::max(1, w - gdi.scaled(AXIS_WIDTH) - 2 * gdi.scaled(MARGIN))};
    const std::int64_t first = firstFrom(history, axis.begin);

    // The bands: satellites, C/N0 and HDOP charts, each under its title, and the fix band under them.
    const int fixHeight = line + gdi.scaled(6);
    const int chartsHeight =
        std::max(gdi.scaled(30), h - top - 4 * line - fixHeight - 3 * gdi.scaled(MARGIN) - line - gdi.scaled(4));
    const int heights[] = {chartsHeight * 2 / 5, chartsHeight * 3 / 10, chartsHeight - chartsHeight * 7 / 10};
    double mostSatellites = 10;
    double mostHdop = 2;
    for (std::int64_t i = first; i < history.size(); ++i) {
        const HistorySample& s = history.at(i);
        mostSatellites = std::max({mostSatellites, static_cast<double>(s.used), static_cast<double>(s.inView)});
        if (!std::isnan(s.hdop)) {
            mostHdop = std::max(mostHdop, static_cast<double>(s.hdop));
        }
    }
    struct Series {
        COLORREF colour;
        double (*value)(const HistorySample&);
    };
    const struct {
        const char* title;
        double most;
        std::vector<Series> series;
    } charts[] = {
        {"Satellites: used (blue), in view (grey)",
         niceMax(mostSatellites),
         {{RGB(150, 150, 150),
           [](const HistorySample& s) {
               return s.inView < 0 ? std::numeric_limits<double>::quiet_NaN() : s.inView + 0.0;
           }},
          {RGB(0, 0, 220),
           [](const HistorySample& s) {
               return s.used < 0 ? std::numeric_limits<double>::quiet_NaN() : s.used + 0.0;
           }}}},
        {"C/N0 of the strongest four, dB-Hz",
         60,
         {{RGB(200, 0, 0), [](const HistorySample& s) { return static_cast<double>(s.cn0); }}}},
        {"HDOP",
         niceMax(mostHdop),
         {{RGB(120, 0, 160), [](const HistorySample& s) { return static_cast<double>(s.hdop); }}}},
    };
    int y = top;
    std::vector<RECT> bands;
    for (std::size_t c = 0; c < std::size(charts); ++c) {
        text(dc, axis.left, y, charts[c].title);
        y += line;
        const RECT band{axis.left, y, axis.left + axis.width, y + std::max(gdi.scaled(10), heights[c])};
        bands.push_back(band);
        FillRect(dc, &band, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        {
            SelectedObject pen(dc, gdi.lightGrayPen);
            SelectedObject noFill(dc, GetStockObject(NULL_BRUSH));
            Rectangle(dc, band.left, band.top, band.right, band.bottom);
            const int middle = (band.top + band.bottom) / 2;
            MoveToEx(dc, band.left, middle, nullptr);
            LineTo(dc, band.right, middle);
        }
        SetTextAlign(dc, TA_RIGHT | TA_TOP);
        char label[32];
        std::snprintf(label, sizeof label, "%g", charts[c].most);
        text(dc, axis.left - gdi.scaled(4), band.top - line / 2, label);
        std::snprintf(label, sizeof label, "%g", charts[c].most / 2);
        text(dc, axis.left - gdi.scaled(4), (band.top + band.bottom) / 2 - line / 2, label);
        text(dc, axis.left - gdi.scaled(4), band.bottom - line / 2, "0");
        SetTextAlign(dc, TA_LEFT | TA_TOP);
        for (const Series& series : charts[c].series) {
            GdiObject<HPEN> pen(CreatePen(PS_SOLID, gdi.scaled(2), series.colour));
            SelectedObject selected(dc, pen.get());
            drawSeries(dc, history, first, axis, band, charts[c].most, series.value);
        }
        y = band.bottom + gdi.scaled(MARGIN);
    }

    // The fix band: a run of seconds of one kind is one rectangle.
    text(dc, axis.left, y, "Fix");
    int legendX = axis.left + gdi.scaled(40);
    for (std::size_t k = 0; k < std::size(FIX_NAMES); ++k) {
        const RECT swatch{legendX, y + gdi.scaled(2), legendX + gdi.scaled(10), y + line - gdi.scaled(2)};
        GdiObject<HBRUSH> brush(CreateSolidBrush(FIX_COLOURS[k]));
        FillRect(dc, &swatch, brush.get());
        text(dc, legendX + gdi.scaled(14), y, FIX_NAMES[k]);
        SIZE size{};
        GetTextExtentPoint32A(dc, FIX_NAMES[k], static_cast<int>(std::strlen(FIX_NAMES[k])), &size);
        legendX += gdi.scaled(24) + size.cx;
    }
    y += line;
    const RECT fixBand{axis.left, y, axis.left + axis.width, y + fixHeight};
    FillRect(dc, &fixBand, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    for (std::int64_t i = first; i < history.size();) {
        const HistorySample& start = history.at(i);
        std::int64_t j = i + 1;
        while (j < history.size() && history.at(j).fix == start.fix &&
               history.at(j).second - history.at(j - 1).second <= 2) {
            ++j;
        }
        const RECT run{std::max(axis.x(start.second), axis.left), fixBand.top,
                       std::max(axis.x(history.at(j - 1).second + 1), axis.x(start.second) + 1), fixBand.bottom};
        GdiObject<HBRUSH> brush(CreateSolidBrush(FIX_COLOURS[start.fix]));
        FillRect(dc, &run, brush.get());
        i = j;
    }
    bands.push_back(fixBand);

    // The time of day at each tick, under the fix band, with a faint line through every band.
    const std::size_t span = spanSeconds == SPANS[0] ? 0 : spanSeconds == SPANS[1] ? 1 : 2;
    const std::int64_t tick = TICKS[span];
    SetTextAlign(dc, TA_CENTER | TA_TOP);
    SelectedObject pen(dc, gdi.lightGrayPen);
    for (std::int64_t t = (axis.begin / tick + 1) * tick; t < end; t += tick) {
        const int x = axis.x(t);
        for (const RECT& band : bands) {
            MoveToEx(dc, x, band.top, nullptr);
            LineTo(dc, x, band.bottom);
        }
        if (span != 0 || (t / tick) % 2 == 0) {
            char label[16];
            std::snprintf(label, sizeof label, "%02d:%02d", static_cast<int>(t % DAY / 3600),
                          static_cast<int>(t % 3600 / 60));
            text(dc, x, fixBand.bottom + gdi.scaled(2), label);
        }
    }
}

} // namespace veltaro
