#include "ui/views/route_view.h"

#include "gps/gps_state.h"
#include "support/canvas.h"
#include "support/ui_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace veltaro {
namespace {

using test::BLACK;
using test::Canvas;

constexpr int WIDTH = 201;
constexpr int HEIGHT = 151;

const SharedGdi& testGdi() {
    static const SharedGdi gdi = [] {
        SharedGdi made{};
        made.appInstance = GetModuleHandleA(nullptr);
        return made;
    }();
    return gdi;
}

// A route view of 201 x 151 in a window of its own, reading state.
struct RouteFixture {
    RouteFixture() : window(300, 200), view(nullptr, false, testGdi()) {
        view.data = &state;
        view.setSize(201, 151);
        view.create(window.get());
        state.active = 1;
        state.fixType = 3;
    }

    bool waitsForPaint() const { return GetUpdateRect(view.hwnd, nullptr, FALSE) != 0; }

    // Sends a message as the system would and says whether the view then asked to be repainted.
    bool send(UINT message, WPARAM wParam) {
        ValidateRect(view.hwnd, nullptr);
        EXPECT_EQ(SendMessageA(view.hwnd, message, wParam, 0), 0);
        return waitsForPaint();
    }

    test::TestWindow window;
    GpsState state;
    RouteView view;
};

TEST(RouteViewTest, RefreshRecordsThePositionOnlyWithAFix) {
    struct Case {
        std::int32_t active;
        std::int32_t fixType;
        bool records;
    };
    const Case cases[] = {{0, 3, false}, {1, 0, false}, {1, 1, false}, {1, 2, true}, {1, 3, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.active * 10 + c.fixType);
        RouteFixture f;
        f.state = GpsState{};
        f.state.active = c.active;
        f.state.fixType = c.fixType;
        f.state.latitude = 12.5;
        f.state.longitude = -3.25;
        ValidateRect(f.view.hwnd, nullptr);
        f.view.refresh();
        f.view.refresh(); // an unchanged position is recorded again
        EXPECT_EQ(f.view.track.count, c.records ? 2 : 0);
        EXPECT_EQ(f.waitsForPaint(), c.records);
        EXPECT_EQ(f.view.context.originLatitude, c.records ? 12.5 : 0.0);
        EXPECT_EQ(f.view.context.originLongitude, c.records ? -3.25 : 0.0);
    }
}

// However many steps the wheel, the scroll requests or the keypad send, the scale stays finite and
// positive, and the opposite step undoes the last one.
TEST(RouteViewTest, ZoomAlwaysComesBack) {
    struct Input {
        const char* what;
        UINT message;
        WPARAM in;
        WPARAM out;
    };
    const Input inputs[] = {
        {"wheel", WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKEWPARAM(0, WHEEL_DELTA)},
        {"scroll", WM_VSCROLL, SB_LINEUP, SB_LINEDOWN},
        {"keypad", WM_KEYDOWN, VK_ADD, VK_SUBTRACT},
    };
    for (const Input& input : inputs) {
        for (bool inwards : {true, false}) {
            SCOPED_TRACE(std::string(input.what) + (inwards ? " in" : " out"));
            RouteFixture f;
            const WPARAM towards = inwards ? input.in : input.out;
            const WPARAM back = inwards ? input.out : input.in;
            for (int i = 0; i < 10000; ++i) {
                f.send(input.message, towards);
            }
            const double reached = f.view.context.scale;
            EXPECT_TRUE(std::isfinite(reached) && reached > 0) << reached;
            f.send(input.message, back);
            EXPECT_NE(f.view.context.scale, reached) << "the way back is open";
            f.send(input.message, towards);
            EXPECT_NEAR(f.view.context.scale, reached, reached * 1e-12) << "and one step undoes it";
            // The picture still shows the latest position at the centre.
            f.state.latitude = 4812.5;
            f.view.refresh();
            Canvas canvas(201, 151);
            f.view.draw(canvas.dc(), 201, 151);
            EXPECT_EQ(canvas.pixel(100, 75), BLACK);
        }
    }
}

// Old data is captioned even when no position comes, and the caption goes with the next live refresh.
TEST(RouteViewTest, OldDataIsCaptionedUntilLinesFlowAgain) {
    RouteFixture f;
    f.state.fixType = 1; // no fix: only the caption can ask for a paint
    std::vector<TrackFix> none;
    f.view.fixes = &none;
    Canvas plain(201, 151);
    f.view.draw(plain.dc(), 201, 151);
    const struct {
        std::int32_t quiet;
        std::int32_t lost;
        bool repaints;
        bool captioned;
    } steps[] = {
        {0, 0, false, false}, {7, 0, true, true}, {7, 0, false, true}, {8, 1, true, true}, {0, 0, true, false}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.quiet * 10 + step.lost);
        f.state.quietSeconds = step.quiet;
        f.state.sourceLost = step.lost;
        ValidateRect(f.view.hwnd, nullptr);
        f.view.refresh();
        EXPECT_EQ(f.waitsForPaint(), step.repaints);
        Canvas canvas(201, 151);
        f.view.draw(canvas.dc(), 201, 151);
        int differing = 0;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 120; ++x) {
                differing += canvas.pixel(x, y) != plain.pixel(x, y) ? 1 : 0;
            }
        }
        EXPECT_EQ(differing > 50, step.captioned);
        EXPECT_TRUE(canvas.sameAs(plain) || step.captioned);
    }
}

TEST(RouteViewTest, LatestPositionShowsAtTheCentreAtAnySizeAndForAbsurdValues) {
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double INF = std::numeric_limits<double>::infinity();
    RouteFixture f;
    const GeoPoint positions[] = {{4812.5, 1130.25}, {4812.5, 1130.2}, {1e23, 0},        {0, -1e308},
                                  {NaN, 5},          {INF, -INF},      {4812.5, 1130.25}};
    const SIZE sizes[] = {{201, 151}, {80, 61}, {7, 3}};
    for (const GeoPoint& position : positions) {
        f.state.latitude = position.latitude;
        f.state.longitude = position.longitude;
        f.view.refresh();
        for (const SIZE& size : sizes) {
            Canvas canvas(size.cx, size.cy);
            f.view.draw(canvas.dc(), size.cx, size.cy);
            EXPECT_EQ(canvas.pixel(size.cx / 2, size.cy / 2), BLACK);
        }
    }
    // The first fix alone: one black pixel on the window background.
    RouteFixture first;
    first.state.latitude = 4812.5;
    first.view.refresh();
    Canvas canvas(201, 151);
    first.view.draw(canvas.dc(), 201, 151);
    EXPECT_EQ(canvas.count(BLACK), 1);
    EXPECT_EQ(canvas.pixel(100, 75), BLACK);
    EXPECT_EQ(canvas.count(GetSysColor(COLOR_WINDOW)), 201 * 151 - 1);
}

// A receiver on a desk from (4812.5, 1130.25) on: a few metres of jitter, about 4 pixels at scale 2000.
std::vector<GeoPoint> parkedAt(unsigned seed, int count, double eastwards = 0) {
    std::mt19937 random(seed);
    std::normal_distribution<double> jitter(0.0, 0.002);
    std::vector<GeoPoint> points;
    for (int i = 0; i < count; ++i) {
        points.push_back({4812.5 + jitter(random), 1130.25 + eastwards + jitter(random)});
    }
    return points;
}

// A route view without a window, fed positions as a device with a fix feeds it.
struct FedView {
    FedView() : view(nullptr, false, testGdi()) {
        state.active = 1;
        state.fixType = 3;
        view.data = &state;
    }

    void record(const GeoPoint* points, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            state.latitude = points[i].latitude;
            state.longitude = points[i].longitude;
            view.refresh();
        }
    }

    GpsState state;
    RouteView view;
};

// The track with a line to every point, the end pixel set; returns the end pixel.
POINT drawEveryPoint(const Polyline& track, const DrawContext& context) {
    POINT p = project(track.point(0), context);
    MoveToEx(context.hdc, p.x, p.y, nullptr);
    for (std::int64_t i = 1; i < track.count; ++i) {
        p = project(track.point(i), context);
        LineTo(context.hdc, p.x, p.y);
    }
    SetPixel(context.hdc, p.x, p.y, track.endColor);
    return p;
}

// Lines that can show: to another pixel, and not with both ends off one side of the picture.
int linesShowing(const Polyline& track, const DrawContext& context) {
    int shown = 0;
    for (std::int64_t i = 1; i < track.count; ++i) {
        const POINT a = project(track.point(i - 1), context);
        const POINT b = project(track.point(i), context);
        const bool off = std::max(a.x, b.x) < 0 || std::min(a.x, b.x) >= context.width || std::max(a.y, b.y) < 0 ||
                         std::min(a.y, b.y) >= context.height;
        shown += (a.x != b.x || a.y != b.y) && !off ? 1 : 0;
    }
    return shown;
}

// Whether every black pixel of a has a black pixel of b at most one pixel away on either axis.
bool blackNear(const Canvas& a, const Canvas& b) {
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) == BLACK && b.count(BLACK, x - 1, y - 1, x + 2, y + 2) == 0) {
                return false;
            }
        }
    }
    return true;
}

// The view's picture against a line to every point: identical while fewer than 10,000 lines can show, every
// track pixel within one of the other picture's beyond, the latest position exact in both.
TEST(RouteViewTest, PicturesMatchALineToEveryPoint) {
    std::vector<GeoPoint> parked = parkedAt(1, 30500);
    parked[30000].latitude += 0.015; // a jump 30 pixels north while the picture comes from the bitmap
    const std::vector<GeoPoint> briefly = parkedAt(2, 2500);
    std::vector<GeoPoint> comingBack = parkedAt(3, 15402);
    for (int i = 1; i <= 400; ++i) { // a thousand pixels east and back
        comingBack[15000 + static_cast<std::size_t>(i)].longitude += 0.0025 * (i <= 200 ? i : 400 - i);
    }
    std::vector<GeoPoint> driving;
    for (int i = 0; i < 30500; ++i) {
        driving.push_back({4812.5 + 0.3 * std::sin(i * 1e-3), 1130.25 + 0.003 * i});
    }
    const struct {
        const char* name;
        const std::vector<GeoPoint>& points;
        std::size_t recorded; // before the first picture
    } tracks[] = {{"parked", parked, 30000},
                  {"parked briefly", briefly, 2000},
                  {"driving", driving, 30000},
                  {"leaving and coming back", comingBack, 15000}};
    const struct {
        const char* name;
        double zoom;           // before the new points
        int panWest;           // pixels, before the new points
        std::size_t newPoints; // the way out and the way back on the last track
        int width;
    } steps[] = {{"as recorded", 1, 0, 0, WIDTH},  {"a new point", 1, 0, 1, WIDTH},
                 {"200 points", 1, 0, 200, WIDTH}, {"200 more", 1, 0, 200, WIDTH},
                 {"zoomed in", 1.1, 0, 0, WIDTH},  {"zoomed out", 1 / 1.331, 0, 0, WIDTH},
                 {"panned", 1, 50, 1, WIDTH},      {"narrower", 1, 0, 0, WIDTH - 30}};
    for (const auto& track : tracks) {
        FedView fed;
        RouteView& view = fed.view;
        fed.record(track.points.data(), track.recorded);
        std::size_t next = track.recorded;
        for (const auto& step : steps) {
            SCOPED_TRACE(std::string(track.name) + ", " + step.name);
            view.zoomTo(view.context.scale * step.zoom);
            view.lonOffset += step.panWest / view.context.scale;
            fed.record(&track.points[next], step.newPoints);
            next += step.newPoints;
            Canvas fast(step.width, HEIGHT);
            view.draw(fast.dc(), step.width, HEIGHT);
            Canvas every(step.width, HEIGHT);
            every.clear(GetSysColor(COLOR_WINDOW));
            DrawContext context = view.context;
            context.hdc = every.dc();
            const POINT latest = drawEveryPoint(view.track, context);
            EXPECT_EQ(fast.pixel(latest.x, latest.y), BLACK);
            if (linesShowing(view.track, context) < 10000) {
                EXPECT_TRUE(fast.sameAs(every));
            } else {
                EXPECT_TRUE(blackNear(fast, every) && blackNear(every, fast));
            }
        }
    }
}

// A long track's lines are kept in one bitmap, drawn anew in place when the view changes, and released when
// few lines show again and with the view.
TEST(RouteViewTest, ALongTrackKeepsOneBitmapWhileManyLinesShow) {
    Canvas canvas(WIDTH, HEIGHT);
    const int before = test::freeGdiHandles();
    {
        FedView fed;
        const auto record = [&](const std::vector<GeoPoint>& points, int width) {
            fed.record(points.data(), points.size());
            fed.view.draw(canvas.dc(), width, HEIGHT);
            return test::freeGdiHandles();
        };
        EXPECT_EQ(record(parkedAt(1, 9000), WIDTH), before);
        const int holding = record(parkedAt(2, 3000), WIDTH);
        EXPECT_LT(holding, before);
        // Zoomed, narrower (half a view is 100 pixels) and 80 pixels west: drawn anew around that centre.
        fed.view.zoomTo(2200);
        EXPECT_EQ(record(parkedAt(3, 1, -80 / 2200.0), WIDTH - 1), holding);
        // 50 pixels further west the parked points are off the picture, the centre still inside the margins.
        EXPECT_EQ(record(parkedAt(4, 1, -130 / 2200.0), WIDTH - 1), before);
        EXPECT_EQ(record(parkedAt(5, 1), WIDTH - 1), holding);
    }
    EXPECT_EQ(test::freeGdiHandles(), before);
}

TEST(RouteViewTest, KeysWheelAndScrollZoomAndPan) {
    struct Case {
        UINT message;
        WPARAM wParam;
        double scale;
        double lonOffset;
        bool repaints;
    };
    const WPARAM wheelAway = MAKEWPARAM(0, WHEEL_DELTA);
    const WPARAM wheelTowards = MAKEWPARAM(0, static_cast<WORD>(-2 * WHEEL_DELTA));
    const Case cases[] = {
        {WM_KEYDOWN, VK_ADD, 2010, 0, true},
        {WM_KEYDOWN, VK_SUBTRACT, 1990, 0, true},
        {WM_KEYDOWN, VK_LEFT, 2000, 0.5 * 199 / 2000, true}, // half the client width, inside the edge
        {WM_KEYDOWN, VK_RIGHT, 2000, -0.5 * 199 / 2000, true},
        {WM_KEYDOWN, 'A', 2000, 0, false},
        {WM_KEYUP, VK_ADD, 2000, 0, false},
        {WM_MOUSEWHEEL, wheelTowards, 2200, 0, true},
        {WM_MOUSEWHEEL, wheelAway, 2000 / 1.1, 0, true},
        {WM_MOUSEWHEEL, 0, 2000, 0, false},
        {WM_VSCROLL, SB_LINEUP, 2200, 0, true},
        {WM_VSCROLL, SB_LINEDOWN, 2000 / 1.1, 0, true},
        {WM_VSCROLL, SB_PAGEUP, 2000, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message * 1000 + c.wParam);
        RouteFixture f;
        EXPECT_EQ(f.send(c.message, c.wParam), c.repaints);
        EXPECT_DOUBLE_EQ(f.view.context.scale, c.scale);
        EXPECT_DOUBLE_EQ(f.view.lonOffset, c.lonOffset);
    }
}

TEST(RouteViewTest, KeypadMinusStopsAboveZero) {
    RouteFixture f;
    for (int press = 0; press < 250; ++press) {
        f.send(WM_KEYDOWN, VK_SUBTRACT);
        EXPECT_GT(f.view.context.scale, 0);
    }
    EXPECT_EQ(f.view.context.scale, 10.0);
    f.send(WM_KEYDOWN, VK_ADD);
    EXPECT_EQ(f.view.context.scale, 20.0);
}

TEST(RouteViewTest, PanMovesTheNextRecordedPositionHalfTheViewRight) {
    RouteFixture f;
    RECT client;
    GetClientRect(f.view.hwnd, &client);
    const int w = client.right;
    const int h = client.bottom;
    f.view.context.scale = 4.0;
    f.state.latitude = 1;
    f.state.longitude = 1;
    f.view.refresh();
    Canvas canvas(w, h);
    f.send(WM_KEYDOWN, VK_LEFT);
    f.view.draw(canvas.dc(), w, h);
    EXPECT_EQ(canvas.pixel(w / 2, h / 2), BLACK) << "not before the next position";
    f.view.refresh();
    f.view.draw(canvas.dc(), w, h);
    EXPECT_EQ(canvas.pixel(w / 2 + w / 2, h / 2), BLACK);
    EXPECT_EQ(canvas.count(BLACK), 1);
}

TEST(RouteViewTest, WindowPaintsReleaseWhatTheyCreateAndShowThePicture) {
    RouteFixture f;
    for (int i = 0; i < 100; ++i) {
        f.state.latitude = 0.0005 * i;
        f.state.longitude = 0.001 * (i % 7);
        f.view.refresh();
    }
    UpdateWindow(f.view.hwnd); // whatever the first paint sets up for good
    const int before = test::freeGdiHandles();
    for (int paint = 0; paint < 300; ++paint) {
        InvalidateRect(f.view.hwnd, nullptr, TRUE);
        UpdateWindow(f.view.hwnd);
    }
    EXPECT_EQ(test::freeGdiHandles(), before);

    RECT client;
    GetClientRect(f.view.hwnd, &client);
    Canvas expected(client.right, client.bottom);
    f.view.draw(expected.dc(), client.right, client.bottom);
    Canvas shown(client.right, client.bottom);
    HDC window = GetDC(f.view.hwnd);
    BitBlt(shown.dc(), 0, 0, client.right, client.bottom, window, 0, 0, SRCCOPY);
    ReleaseDC(f.view.hwnd, window);
    EXPECT_TRUE(shown.sameAs(expected));
    EXPECT_GT(shown.count(BLACK), 100);
}

TEST(RouteViewTest, AClickGivesTheKeyboardFocus) {
    RouteFixture f;
    SetFocus(f.window.get());
    ASSERT_NE(GetFocus(), f.view.hwnd);
    SendMessageA(f.view.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(GetFocus(), f.view.hwnd);
}

} // namespace
} // namespace veltaro
