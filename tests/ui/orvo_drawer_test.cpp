#include "ui/views/orvo_drawer.h"

#include "support/canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

// Out-of-memory on demand: when failNothrowAllocationAt is n > 0, the n-th next non-throwing allocation of
// the process fails. Only the drawer's tests set it, with no other thread allocating.
namespace {
int failNothrowAllocationAt = 0;

bool failThisAllocation() {
    return failNothrowAllocationAt > 0 && --failNothrowAllocationAt == 0;
}
} // namespace

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (failThisAllocation()) {
        return nullptr;
    }
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failThisAllocation()) {
        return nullptr;
    }
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace veltaro {
namespace {

using test::BLACK;
using test::Canvas;
using test::RED;
using test::WHITE;

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();
constexpr int FURTHEST = 67108864; // 2^26, the furthest a point is drawn from the centre

DrawContext contextFor(const Canvas& canvas, double scale, double originLatitude = 0, double originLongitude = 0) {
    return DrawContext{canvas.dc(), canvas.width(), canvas.height(), originLatitude, originLongitude, scale};
}

// What drawing every point gives: MoveToEx, LineTo to each further point, the end pixel.
void drawEveryPoint(const std::vector<GeoPoint>& points, const DrawContext& context, COLORREF endColor = BLACK) {
    if (points.empty()) {
        return;
    }
    POINT p = project(points[0], context);
    MoveToEx(context.hdc, p.x, p.y, nullptr);
    for (std::size_t i = 1; i < points.size(); ++i) {
        p = project(points[i], context);
        LineTo(context.hdc, p.x, p.y);
    }
    SetPixel(context.hdc, p.x, p.y, endColor);
}

void fill(Polyline& polyline, const std::vector<GeoPoint>& points) {
    for (const GeoPoint& point : points) {
        ASSERT_TRUE(addPoint(polyline, point.latitude, point.longitude));
    }
}

// The debugger messages the process writes while one of these lives. OutputDebugStringA raises an exception
// for the debugger; a handler that sees it first can read the text and let it go on.
class DebuggerMessages {
public:
    DebuggerMessages() : handler(AddVectoredExceptionHandler(1, capture)) { texts().clear(); }
    ~DebuggerMessages() { RemoveVectoredExceptionHandler(handler); }
    DebuggerMessages(const DebuggerMessages&) = delete;
    DebuggerMessages& operator=(const DebuggerMessages&) = delete;

    static std::vector<std::string>& texts() {
        static std::vector<std::string> seen;
        return seen;
    }

private:
    static LONG CALLBACK capture(EXCEPTION_POINTERS* exception) {
        const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_C && record.NumberParameters >= 2) {
            texts().emplace_back(reinterpret_cast<const char*>(record.ExceptionInformation[1]),
                                 static_cast<std::size_t>(record.ExceptionInformation[0]) - 1);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }

    void* handler;
};

TEST(OrvoDrawerTest, ProjectsEastRightNorthUpTruncatingTowardZero) {
    struct Case {
        GeoPoint point;
        POINT pixel;
    };
    // Centre (50, 40); 1/1024 of a hundredth is 1.95 pixels at scale 2000, 3/256 is 23.4 and 1/128 is 15.6.
    const Case cases[] = {
        {{0, 0}, {50, 40}},          {{0, 1.0 / 1024}, {51, 40}},         {{0, -1.0 / 1024}, {49, 40}},
        {{1.0 / 1024, 0}, {50, 39}}, {{-3.0 / 256, 1.0 / 128}, {65, 63}},
    };
    Canvas canvas(101, 81);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pixel.x * 1000 + c.pixel.y);
        canvas.clear(WHITE);
        Polyline single;
        fill(single, {c.point});
        drawPolyline(single, contextFor(canvas, 2000.0));
        EXPECT_EQ(canvas.pixel(c.pixel.x, c.pixel.y), BLACK);
        EXPECT_EQ(canvas.count(BLACK), 1);
    }
}

TEST(OrvoDrawerTest, AbsurdCoordinatesLandOnDefinedPixels) {
    struct Case {
        DrawContext context;
        GeoPoint point;
        POINT pixel;
    };
    const Case cases[] = {
        {{nullptr, 100, 80, 0, 0, 2000}, {1e23, 0}, {50, 40 - FURTHEST}},
        {{nullptr, 100, 80, 0, 0, 2000}, {0, -1e308}, {50 - FURTHEST, 40}},
        {{nullptr, 100, 80, 0, 0, 2000}, {-INF, INF}, {50 + FURTHEST, 40 + FURTHEST}},
        {{nullptr, 100, 80, 0, 0, 2000}, {NaN, NaN}, {50, 40}},
        {{nullptr, 100, 80, 0, 0, -2000}, {1e23, 0}, {50, 40 + FURTHEST}},
        {{nullptr, 100, 80, 0, 0, 0}, {INF, -INF}, {50, 40}},                       // infinity times 0
        {{nullptr, 100, 80, INF, -1e308, 2000}, {INF, 1e308}, {50 + FURTHEST, 40}}, // infinity minus infinity
        {{nullptr, 100, 80, NaN, 0, NaN}, {1, 1}, {50, 40}},
    };
    for (const Case& c : cases) {
        const POINT pixel = project(c.point, c.context);
        EXPECT_EQ(pixel.x, c.pixel.x);
        EXPECT_EQ(pixel.y, c.pixel.y);
    }
}

TEST(OrvoDrawerTest, LastPixelTakesTheEndColourAndAnEmptyPolylineDrawsNothing) {
    Canvas canvas(101, 81);
    canvas.clear(WHITE);
    Polyline empty;
    empty.endColor = RED;
    drawPolyline(empty, contextFor(canvas, 2000.0));
    EXPECT_EQ(canvas.count(WHITE), 101 * 81);

    Polyline line;
    line.endColor = RED;
    fill(line, {{0, 0}, {0, 10.0 / 1024}}); // ten pixels right, the end pixel left out by LineTo
    drawPolyline(line, contextFor(canvas, 1024.0));
    EXPECT_EQ(canvas.count(BLACK, 50, 40, 60, 41), 10);
    EXPECT_EQ(canvas.pixel(60, 40), RED);
    EXPECT_EQ(canvas.count(WHITE), 101 * 81 - 11);
}

TEST(OrvoDrawerTest, ListDrawsGroupsInPlaceAndReportsUnknownTypes) {
    // Each polyline ends on the centre in its end colour; which colour is left there shows the order.
    auto polylineEndingIn = [](COLORREF colour, double fromLongitude) {
        auto* polyline = new Polyline;
        polyline->endColor = colour;
        addPoint(*polyline, 0, fromLongitude);
        addPoint(*polyline, 0, 0);
        return polyline;
    };
    Polyline stranger; // content of an unknown type: the list must not touch it
    addPoint(stranger, 1, 1);
    auto* inner = new DrawList;
    inner->objects.push_back(new DrawObject{DRAW_POLYLINE, polylineEndingIn(RED, -1)});
    auto* group = new DrawList;
    group->objects.push_back(new DrawObject{DRAW_GROUP, inner});
    DrawList list;
    list.objects.push_back(new DrawObject{DRAW_POLYLINE, polylineEndingIn(RGB(0, 0, 255), 1)});
    list.objects.push_back(new DrawObject{3, &stranger});
    list.objects.push_back(new DrawObject{DRAW_INERT, new InertObject});
    list.objects.push_back(new DrawObject{DRAW_GROUP, group});
    list.objects.push_back(new DrawObject{-1, nullptr});

    Canvas canvas(101, 81);
    DebuggerMessages messages;
    for (int drawing = 0; drawing < 2; ++drawing) {
        canvas.clear(WHITE);
        drawList(list, contextFor(canvas, 10.0));
        // Drawing went on past the unknown object: the nested group drew last, over the first polyline's end.
        EXPECT_EQ(canvas.pixel(50, 40), RED);
        EXPECT_EQ(canvas.count(BLACK, 40, 40, 50, 41), 10);
        EXPECT_EQ(canvas.count(BLACK, 51, 40, 61, 41), 10);
    }
    const std::vector<std::string> expected(4, "OrvoDrawer: unknown object type, cannot draw!\n");
    EXPECT_EQ(DebuggerMessages::texts(), expected);

    clearList(list);
    EXPECT_TRUE(list.objects.empty());
    ASSERT_EQ(stranger.count, 1);
    EXPECT_EQ(stranger.point(0).latitude, 1);
}

// Tracks that leave the picture and come back, over more than one chunk of points.
std::vector<GeoPoint> wander(unsigned seed, int count, double step, double pull) {
    std::mt19937 random(seed);
    std::normal_distribution<double> turn(0.0, 0.3);
    std::vector<GeoPoint> points;
    double latitude = 0;
    double longitude = 0;
    double heading = 0;
    for (int i = 0; i < count; ++i) {
        heading += turn(random);
        // A weak pull towards the start brings the walk back across the picture now and then.
        latitude += step * std::sin(heading) - pull * latitude;
        longitude += step * std::cos(heading) - pull * longitude;
        points.push_back({latitude, longitude});
    }
    return points;
}

TEST(OrvoDrawerTest, SkippingLinesOffThePictureDrawsWhatEveryPointDraws) {
    std::vector<GeoPoint> parked(3 * CHUNK_POINTS, GeoPoint{0.01, -0.02});
    std::vector<GeoPoint> creeping; // north across the picture, 50 points a pixel: blocks on one pixel or two
    std::vector<GeoPoint> bobbing;  // a pixel north and back inside every block
    for (int i = 0; i < 20000; ++i) {
        creeping.push_back({i * 1e-5 - 0.1, 0.0001});
        bobbing.push_back({i % 32 == 10 ? 0.0007 : 0, 0.0001});
    }
    std::vector<GeoPoint> crossing; // far off on alternate sides: every line crosses the picture
    for (int i = 0; i < 300; ++i) {
        crossing.push_back({i % 2 == 0 ? -5.0 : 5.0, (i % 3) * 0.001});
    }
    std::vector<GeoPoint> absurd = wander(7, 5000, 0.004, 0.001);
    const GeoPoint odd[] = {{1e23, 0}, {0, -1e308}, {NaN, 0.01}, {0.02, NaN}, {INF, -INF}, {NaN, NaN}, {0, 0}};
    for (int i = 0; i < 7; ++i) {
        absurd[static_cast<std::size_t>(700 * i + 13)] = odd[i];
    }
    struct Case {
        const char* name;
        std::vector<GeoPoint> points;
        double scale;
        int width;    // of the context; the canvas may be larger
        int penStyle; // selected into both canvases
        RECT clip;    // of both canvases
    };
    const RECT whole{0, 0, 200, 150};
    const Case cases[] = {
        {"drive", wander(1, 20000, 0.004, 0.0005), 2000, 200, PS_SOLID, whole},
        {"drive zoomed out", wander(2, 20000, 0.004, 0.0005), 300, 200, PS_SOLID, whole},
        {"drive mirrored", wander(3, 20000, 0.004, 0.0005), -2000, 200, PS_SOLID, whole},
        {"drive at scale 0", wander(4, 300, 0.004, 0.0005), 0, 200, PS_SOLID, whole},
        {"context narrower than the canvas", wander(5, 20000, 0.004, 0.0005), 2000, 90, PS_SOLID, whole},
        {"canvas clipped", wander(6, 20000, 0.004, 0.0005), 2000, 200, PS_SOLID, {60, 30, 150, 100}},
        {"dashed pen", wander(8, 20000, 0.004, 0.0005), 2000, 200, PS_DASH, whole},
        {"parked", parked, 2000, 200, PS_SOLID, whole},
        {"creeping", creeping, 2000, 200, PS_SOLID, whole},
        {"bobbing", bobbing, 2000, 200, PS_SOLID, whole},
        {"crossing", crossing, 2000, 200, PS_SOLID, whole},
        {"absurd values", absurd, 2000, 200, PS_SOLID, whole},
    };
    Canvas fast(200, 150);
    Canvas every(200, 150);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Polyline track;
        fill(track, c.points);
        const HPEN pen = CreatePen(c.penStyle, 1, BLACK);
        const HGDIOBJ fastPen = SelectObject(fast.dc(), pen);
        const HGDIOBJ everyPen = SelectObject(every.dc(), pen);
        IntersectClipRect(fast.dc(), c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
        IntersectClipRect(every.dc(), c.clip.left, c.clip.top, c.clip.right, c.clip.bottom);
        const GeoPoint& last = c.points.back();
        // Centred on the end, then further north: off to the south, whole chunks can be passed over.
        const double originLatitudes[] = {last.latitude, last.latitude + 0.05, 0.3};
        for (const double originLatitude : originLatitudes) {
            fast.clear(WHITE);
            every.clear(WHITE);
            DrawContext context = contextFor(fast, c.scale, originLatitude, last.longitude);
            context.width = c.width;
            drawPolyline(track, context);
            context.hdc = every.dc();
            drawEveryPoint(c.points, context);
            EXPECT_TRUE(fast.sameAs(every));
            if (originLatitude == last.latitude) {
                EXPECT_EQ(fast.pixel(c.width / 2, fast.height() / 2), BLACK);
            }
        }
        SelectClipRgn(fast.dc(), nullptr);
        SelectClipRgn(every.dc(), nullptr);
        SelectObject(fast.dc(), fastPen);
        SelectObject(every.dc(), everyPen);
        DeleteObject(pen);
    }
}

TEST(OrvoDrawerTest, CountsTheLinesThatCanShowAndDrawsOnlyBelowALimit) {
    // 40 one-pixel steps east of the centre at scale 1024.
    std::vector<GeoPoint> steps;
    for (int i = 0; i <= 40; ++i) {
        steps.push_back({0, i / 1024.0});
    }
    std::vector<GeoPoint> fromTheNorth(500, GeoPoint{1, 0}); // lines among them are off the top
    fromTheNorth.insert(fromTheNorth.end(), steps.begin(), steps.end());
    std::vector<GeoPoint> fromOnePixel; // within a pixel of the centre: no line among them shows
    for (int i = 0; i < 3000; ++i) {
        fromOnePixel.push_back({(i % 7) * 1e-4, -(i % 9) * 1e-4});
    }
    fromOnePixel.insert(fromOnePixel.end(), steps.begin(), steps.end());
    struct Case {
        const char* name;
        std::vector<GeoPoint> points;
        std::int64_t showing;
    };
    const Case cases[] = {
        {"steps", steps, 40}, {"from the north", fromTheNorth, 41}, {"from one pixel", fromOnePixel, 40}};
    Canvas canvas(101, 81);
    Canvas every(101, 81);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Polyline track;
        fill(track, c.points);
        EXPECT_EQ(countLinesShowing(track, contextFor(canvas, 1024.0), 1000), c.showing);
        canvas.clear(WHITE);
        EXPECT_FALSE(drawPolylineIfFewLines(track, contextFor(canvas, 1024.0), c.showing));
        EXPECT_EQ(canvas.count(WHITE), 101 * 81);
        EXPECT_TRUE(drawPolylineIfFewLines(track, contextFor(canvas, 1024.0), c.showing + 1));
        every.clear(WHITE);
        drawEveryPoint(c.points, contextFor(every, 1024.0));
        EXPECT_TRUE(canvas.sameAs(every));
    }
}

TEST(OrvoDrawerTest, LinesFromAPointOnCompleteTheLinesBefore) {
    const std::vector<GeoPoint> points = wander(11, 3 * CHUNK_POINTS, 0.004, 0.0005);
    Canvas every(200, 150);
    every.clear(WHITE);
    drawEveryPoint(points, contextFor(every, 2000.0));
    for (const std::int64_t split : {std::int64_t{1}, std::int64_t{777}, CHUNK_POINTS + 1}) {
        SCOPED_TRACE(split);
        Polyline track;
        fill(track, std::vector<GeoPoint>(points.begin(), points.begin() + split));
        Canvas parts(200, 150);
        parts.clear(WHITE);
        drawLinesFrom(track, contextFor(parts, 2000.0), 0);
        fill(track, std::vector<GeoPoint>(points.begin() + split, points.end()));
        drawLinesFrom(track, contextFor(parts, 2000.0), split);
        drawEndPixel(track, contextFor(parts, 2000.0));
        EXPECT_TRUE(parts.sameAs(every));
    }
}

TEST(OrvoDrawerTest, APointWithoutMemoryIsDroppedWhole) {
    // The first point of a chunk needs a larger directory (first allocation) and the chunk (second).
    for (const std::int64_t before : {std::int64_t{0}, 16 * CHUNK_POINTS}) {
        for (const int failing : {1, 2}) {
            Polyline track;
            for (std::int64_t i = 0; i < before; ++i) {
                addPoint(track, 0, static_cast<double>(i % 100) / 1000);
            }
            failNothrowAllocationAt = failing;
            EXPECT_FALSE(addPoint(track, 0.001, 0.001));
            failNothrowAllocationAt = 0;
            EXPECT_EQ(track.count, before);

            Canvas canvas(101, 81);
            canvas.clear(WHITE);
            EXPECT_TRUE(addPoint(track, 0, 0));
            drawPolyline(track, contextFor(canvas, 1000.0));
            EXPECT_EQ(track.count, before + 1);
            EXPECT_EQ(canvas.pixel(50, 40), BLACK);
            EXPECT_EQ(canvas.pixel(51, 39), WHITE); // the dropped point left no line towards it
        }
    }
}

TEST(OrvoDrawerTest, ClearedPolylineIsEmptyAndUsable) {
    Polyline track;
    fill(track, wander(9, 5000, 0.004, 0.001));
    clearPolyline(track);
    EXPECT_EQ(track.count, 0);
    EXPECT_EQ(track.capacity, 0);
    Canvas canvas(101, 81);
    canvas.clear(WHITE);
    drawPolyline(track, contextFor(canvas, 2000.0));
    EXPECT_EQ(canvas.count(WHITE), 101 * 81);
    EXPECT_TRUE(addPoint(track, 0, 0));
    drawPolyline(track, contextFor(canvas, 2000.0));
    EXPECT_EQ(canvas.pixel(50, 40), BLACK);
}

} // namespace
} // namespace veltaro
