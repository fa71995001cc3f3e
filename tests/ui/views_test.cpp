#include "gps/gps_state.h"
#include "support/canvas.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/views/course_view.h"
#include "ui/views/fix_readout.h"
#include "ui/views/sat_signal_view.h"
#include "ui/views/sat_tracking_view.h"
#include "ui/views/speed_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace veltaro {
namespace {

using test::BLACK;
using test::BLUE;
using test::Canvas;
using test::GREEN;
using test::RED;
using test::WHITE;

const COLORREF LIGHT_GRAY = RGB(207, 207, 207);

COLORREF face() {
    return GetSysColor(COLOR_BTNFACE);
}

struct Satellite {
    int prn;
    int elevation;
    int azimuth;
    int snr;
};

GpsState activeState(std::initializer_list<Satellite> satellites) {
    GpsState state;
    state.active = 1;
    for (const Satellite& s : satellites) {
        const int i = state.satellites.inView++;
        state.satellites.prn[i] = s.prn;
        state.satellites.elevation[i] = s.elevation;
        state.satellites.azimuth[i] = s.azimuth;
        state.satellites.snr[i] = s.snr;
    }
    return state;
}

// A real fix at the position, as the decoder keeps it.
void fixAt(GpsState& state, double latitude, double longitude) {
    state.fixLatitude = latitude;
    state.fixLongitude = longitude;
    state.received |= RECEIVED_FIX;
}

// Marks prn as used in a valid fix.
void useInFix(GpsState& state, int prn) {
    state.rmcValid = 1;
    state.usedPrn[0] = prn;
}

// The smallest rectangle holding every pixel that is not the background.
RECT inkBox(const Canvas& canvas, COLORREF background) {
    RECT box{canvas.width(), canvas.height(), -1, -1};
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x) {
            if (canvas.pixel(x, y) != background) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
        }
    }
    return box;
}

// Whether any pixel within one pixel of (x, y) has the colour.
bool inkNear(const Canvas& canvas, int x, int y, COLORREF colour) {
    return canvas.count(colour, x - 1, y - 1, x + 2, y + 2) > 0;
}

class ViewTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }

    // Paints a view of the given kind over state into a fresh canvas.
    template <typename View>
    std::unique_ptr<Canvas> paint(GpsState* state, int w, int h) {
        View view(nullptr, false, sharedGdi());
        view.data = state;
        auto canvas = std::make_unique<Canvas>(w, h);
        view.draw(canvas->dc(), w, h);
        return canvas;
    }
};

TEST_F(ViewTest, SignalViewSaysInactiveUpwardsInRowsAndLevelInColumns) {
    GpsState inactive;
    const struct {
        int w;
        int h;
        bool upwards;
    } cases[] = {{150, 300, true}, {150, 150, true}, {151, 150, false}, {300, 100, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        for (GpsState* state : {&inactive, static_cast<GpsState*>(nullptr)}) {
            auto canvas = paint<SatSignalView>(state, c.w, c.h);
            const RECT ink = inkBox(*canvas, face());
            ASSERT_LT(ink.left, ink.right) << "no text";
            EXPECT_EQ(ink.bottom - ink.top > ink.right - ink.left, c.upwards);
            EXPECT_NEAR((ink.left + ink.right) / 2.0, c.w / 2.0, 4);
        }
    }
}

TEST_F(ViewTest, SignalRowsShowOneBarAsLongAsTheSnrFramedWhenUsedInAValidFix) {
    const struct {
        int snr;
        bool used;
        bool rmcValid;
    } cases[] = {{40, true, true}, {40, false, true}, {40, true, false}, {0, false, true}, {99, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "snr " << c.snr << " used " << c.used << " valid " << c.rmcValid);
        GpsState state = activeState({{7, 40, 100, c.snr}, {9, 20, 200, 30}});
        state.rmcValid = c.rmcValid ? 1 : 0;
        state.usedPrn[0] = c.used ? 7 : 8;
        auto canvas = paint<SatSignalView>(&state, 150, 300);

        // Bars start after the PRN and SNR columns, which are laid out from the width of "Cy".
        HDC dc = canvas->dc();
        HGDIOBJ old = SelectObject(dc, sharedGdi().guiFont);
        SIZE cy{};
        GetTextExtentPointA(dc, "Cy", 2, &cy);
        SelectObject(dc, old);
        const int left = 2 * static_cast<int>(cy.cx) + 12;
        const int pitch = sharedGdi().lineHeight() + 2;
        const int middle = 2 + (pitch - 2) / 2;
        const bool framed = c.used && c.rmcValid && c.snr > 0;

        EXPECT_EQ(canvas->count(RED, left, middle, 150, middle + 1), framed ? c.snr - 2 : c.snr);
        EXPECT_EQ(canvas->count(BLACK, left, 2, 150, 2 + pitch - 2) > 0, framed);
        // The second satellite's bar, one pitch lower, is never framed here.
        EXPECT_EQ(canvas->count(RED, left, middle + pitch, 150, middle + pitch + 1), 30);
    }
}

TEST_F(ViewTest, SignalColumnsTileTheWidthAndHangBarsFrom30ToSnrPlus15) {
    GpsState state = activeState({{1, 10, 10, 45}, {2, 10, 10, 15}, {3, 10, 10, 16}, {4, 10, 10, 0}});
    useInFix(state, 1);
    auto canvas = paint<SatSignalView>(&state, 320, 100);
    const int expected[] = {(80 - 4) * 30, 0, (80 - 4) * 1, 0};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(canvas->count(RED, i * 80, 0, i * 80 + 80, 100), expected[i]) << "column " << i;
    }
    EXPECT_EQ(canvas->count(BLACK, 0, 30, 80, 100), 0) << "no frame in columns";

    // More than 32 satellites: the first 32, each 10 pixels wide.
    GpsState many;
    many.active = 1;
    many.satellites.inView = 40;
    for (int i = 0; i < MAX_SATELLITES; ++i) {
        many.satellites.prn[i] = i + 1;
        many.satellites.snr[i] = 25;
    }
    auto crowded = paint<SatSignalView>(&many, 320, 100);
    EXPECT_EQ(crowded->count(RED, 310, 30, 320, 100), 6 * 10);
}

TEST_F(ViewTest, SignalViewWithNoSatellitesShowsTheBackgroundOnly) {
    for (int inView : {0, -5}) {
        GpsState state = activeState({});
        state.satellites.inView = inView;
        for (const SIZE size : {SIZE{150, 300}, SIZE{300, 100}}) {
            auto canvas = paint<SatSignalView>(&state, size.cx, size.cy);
            EXPECT_EQ(canvas->count(face()), size.cx * size.cy);
        }
    }
}

TEST_F(ViewTest, TrackingViewPlacesCrossesBySkyPosition) {
    // A 201-pixel disc: the centre is (100, 100), the radius 100.
    const struct {
        Satellite satellite;
        bool drawn;
        int x;
        int y;
    } cases[] = {
        {{5, 90, 0, 30}, true, 100, 100},  // zenith
        {{5, 0, 120, 30}, true, 100, 100}, // on the horizon with an azimuth: the centre
        {{5, -4, 300, 30}, true, 100, 100}, {{5, 45, 90, 30}, true, 150, 100}, // east, half way out
        {{5, 45, 180, 30}, true, 100, 150},                                    // south
        {{5, 45, 270, 30}, true, 50, 100},                                     // west
        {{5, 5, 0, 30}, true, 100, 5},                                         // just above the northern horizon
        {{5, 0, 0, 30}, false, 100, 100},                                      // no position sent
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "elevation " << c.satellite.elevation << " azimuth " << c.satellite.azimuth);
        GpsState state = activeState({c.satellite});
        auto canvas = paint<SatTrackingView>(&state, 201, 201);
        // The left and upper arms of the cross: the label covers the lower right.
        for (int d = 1; d <= 3; ++d) {
            EXPECT_EQ(canvas->pixel(c.x - d, c.y) == BLACK, c.drawn) << "left arm " << d;
            EXPECT_EQ(canvas->pixel(c.x, c.y - d) == BLACK, c.drawn) << "upper arm " << d;
        }
        EXPECT_EQ(canvas->count(GREEN) > 0, c.drawn) << "label";
    }
}

TEST_F(ViewTest, TrackingLabelsAreBlueInTheFixRedWithoutSignalGreenOtherwise) {
    const struct {
        int snr;
        bool used;
        COLORREF colour;
    } cases[] = {{30, true, BLUE}, {-1, true, BLUE}, {-1, false, RED}, {0, false, GREEN}, {30, false, GREEN}};
    for (const auto& c : cases) {
        GpsState state = activeState({{12, 45, 45, c.snr}});
        if (c.used) {
            useInFix(state, 12);
        }
        auto canvas = paint<SatTrackingView>(&state, 201, 201);
        for (COLORREF colour : {BLUE, RED, GREEN}) {
            EXPECT_EQ(canvas->count(colour) > 0, colour == c.colour) << "snr " << c.snr << " used " << c.used;
        }
    }
}

TEST_F(ViewTest, TrackingGridHasAxesAndTropicsAndThePositionOnlyWithAFix) {
    for (int fixType : {0, 1, 2, 3}) {
        SCOPED_TRACE(fixType);
        GpsState state = activeState({});
        state.fixType = fixType;
        fixAt(state, 0, 0);
        auto canvas = paint<SatTrackingView>(&state, 201, 201);
        EXPECT_EQ(canvas->pixel(100, 20), LIGHT_GRAY); // meridian
        EXPECT_EQ(canvas->pixel(20, 100), LIGHT_GRAY); // equator
        // Tropics at y = trunc(100 x 0.73888...) = 73 and 201 - 73, reaching cos 23.5° of the radius.
        EXPECT_EQ(canvas->pixel(60, 73), LIGHT_GRAY);
        EXPECT_EQ(canvas->pixel(60, 128), LIGHT_GRAY);
        EXPECT_EQ(canvas->pixel(60, 74), WHITE);
        EXPECT_EQ(canvas->pixel(20, 20), face()); // outside the disc
        // Latitude and longitude 0 put the receiver in a circle at the centre.
        EXPECT_EQ(canvas->pixel(97, 100) == BLACK, fixType > 1);
    }
}

TEST_F(ViewTest, TrackingViewInactiveKeepsThePositionOfTheLastFix) {
    GpsState state;
    state.fixType = 3;
    fixAt(state, 4500, 0); // 45° north: a quarter of the way down from the top
    auto canvas = paint<SatTrackingView>(&state, 201, 201);
    EXPECT_EQ(canvas->count(WHITE, 0, 0, 201, 201) < 60, true) << "no disc while inactive";
    EXPECT_EQ(canvas->pixel(100, 47), BLACK) << "position circle's top";
    const RECT text = inkBox(*canvas, face());
    EXPECT_LT(text.left, 90) << "GPS INACTIVE spans the middle";
    EXPECT_GT(text.right, 110);
}

TEST_F(ViewTest, ViewsDrawAbsurdReceiverValuesWithoutFailing) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {1e23, -1e308, nan, inf, -inf};
    for (double value : values) {
        GpsState state = activeState(
            {{1, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), std::numeric_limits<int>::max()},
             {2, std::numeric_limits<int>::max(), -7, std::numeric_limits<int>::min()}});
        state.satellites.inView = 28;
        state.fixType = 3;
        state.latitude = value;
        state.longitude = -value;
        fixAt(state, value, -value);
        state.speedKnots = value;
        state.course = value;
        useInFix(state, 1);
        for (const SIZE size : {SIZE{150, 300}, SIZE{300, 150}}) {
            paint<SatSignalView>(&state, size.cx, size.cy);
            paint<SatTrackingView>(&state, size.cx, size.cy);
            paint<SpeedView>(&state, size.cx, size.cy);
            auto course = paint<CourseView>(&state, size.cx, size.cy);
            // No course a receiver can mean (NaN) draws no needle; any other starts at the centre.
            EXPECT_EQ(course->pixel(size.cx / 2, size.cy / 2), std::isnan(value) ? WHITE : BLACK);
        }
    }
}

TEST_F(ViewTest, SpeedViewShowsKilometresPerHourCentred) {
    const struct {
        double knots;
        int active;
        const char* text;
    } cases[] = {{0, 1, " 0.00 km/h"}, {10, 1, "18.52 km/h"}, {1000, 0, "1852.00 km/h"}, {0.5, 0, " 0.93 km/h"}};
    const int h = sharedGdi().lineHeight() + 20;
    for (const auto& c : cases) {
        GpsState state;
        state.active = c.active;
        state.speedKnots = c.knots;
        auto canvas = paint<SpeedView>(&state, 150, h);
        // The text's ink has the size the bold font gives it anywhere, and is centred both ways.
        Canvas alone(300, 60);
        alone.clear(face());
        HGDIOBJ old = SelectObject(alone.dc(), sharedGdi().boldFont);
        SetBkMode(alone.dc(), TRANSPARENT);
        TextOutA(alone.dc(), 10, 10, c.text, static_cast<int>(std::strlen(c.text)));
        SelectObject(alone.dc(), old);
        const RECT expected = inkBox(alone, face());
        const RECT ink = inkBox(*canvas, face());
        EXPECT_EQ(ink.right - ink.left, expected.right - expected.left) << c.text;
        EXPECT_EQ(ink.bottom - ink.top, expected.bottom - expected.top) << c.text;
        EXPECT_NEAR((ink.left + ink.right) / 2.0, 75, 2) << c.text;
        EXPECT_NEAR((ink.top + ink.bottom) / 2.0, h / 2.0, 3) << c.text;
    }
}

TEST_F(ViewTest, CourseNeedlePointsAlongTheCourseClockwiseFromNorth) {
    const struct {
        double course;
        int w;
        int h;
        int tipX; // a point on the needle near its tip, and one opposite that must stay white
        int tipY;
        int backX;
        int backY;
    } cases[] = {
        {0, 150, 150, 75, 10, 75, 140},   {90, 150, 150, 140, 75, 10, 75},  {180, 150, 150, 75, 140, 75, 10},
        {270, 150, 150, 10, 75, 140, 75}, {360, 150, 150, 75, 10, 75, 140}, {90, 300, 150, 290, 75, 10, 75},
        {45, 300, 150, 242, 29, 58, 121}, {-90, 150, 150, 10, 75, 140, 75},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "course " << c.course << " in " << c.w << "x" << c.h);
        GpsState state;
        state.course = c.course;
        auto canvas = paint<CourseView>(&state, c.w, c.h);
        EXPECT_TRUE(inkNear(*canvas, c.tipX, c.tipY, BLACK));
        EXPECT_EQ(canvas->pixel(c.backX, c.backY), WHITE);
        EXPECT_EQ(canvas->pixel(0, 0), face()); // outside the dial
    }
}

// A lost fix leaves the circle at the last real position; old data gets a caption over the picture,
// which is otherwise the live one.
TEST_F(ViewTest, SkyPlotKeepsTheLastFixAndMarksOldData) {
    GpsState state = activeState({{3, 40, 40, 30}});
    state.fixType = 3;
    fixAt(state, 4500, 0);
    state.latitude = 0; // what a GGA without a fix wrote
    auto live = paint<SatTrackingView>(&state, 201, 201);
    EXPECT_EQ(live->pixel(100, 47), BLACK) << "the circle at 45 degrees north";
    EXPECT_NE(live->pixel(97, 100), BLACK) << "none at 0, 0";
    for (const auto& [quiet, lost] : {std::pair{12, 0}, std::pair{30, 1}}) {
        state.quietSeconds = quiet;
        state.sourceLost = lost;
        auto old = paint<SatTrackingView>(&state, 201, 201);
        const int lineBelow = sharedGdi().lineHeight() + 8;
        int inCaption = 0;
        int differing = 0;
        for (int y = 0; y < 201; ++y) {
            for (int x = 0; x < 201; ++x) {
                const bool changed = old->pixel(x, y) != live->pixel(x, y);
                (y < lineBelow && x < 120 ? inCaption : differing) += changed ? 1 : 0;
            }
        }
        EXPECT_GT(inCaption, 50) << "a caption in the top-left corner";
        EXPECT_EQ(differing, 0) << "only the caption is added";
    }
}

// Every system read: fifty satellites fit the signal view of the default window, each a bar of its own,
// and labels carry the system's letter.
TEST_F(ViewTest, EverySystemsSatellitesFitWithTheirSystemLetters) {
    GpsState state = activeState({});
    state.everySystem = 1;
    state.rmcValid = 1;
    const char systems[] = "GRECJ";
    for (int i = 0; i < 50; ++i) {
        SystemSatellites& all = state.allSystems;
        all.system[i] = systems[i / 10];
        all.prn[i] = 1 + i % 10;
        all.elevation[i] = 10 + i;
        all.azimuth[i] = 7 * i;
        all.snr[i] = 45 + i % 10; // every bar reaches past the column looked along
        all.used[i] = i % 2 == 0 ? 1 : 0;
    }
    state.allSystems.count = 50;
    const int height = 470; // the page below the default window's menu
    auto canvas = paint<SatSignalView>(&state, 150, height);
    // Bars start after the label and SNR columns: look along a column inside every bar.
    int bars = 0;
    int framed = 0;
    bool inBar = false;
    int lastRow = 0;
    for (int y = 0; y < height; ++y) {
        const bool red = canvas->count(RED, 60, y, 80, y + 1) > 0;
        const bool black = canvas->count(BLACK, 60, y, 80, y + 1) > 10;
        if ((red || black) && !inBar) {
            ++bars;
            framed += black ? 1 : 0;
        }
        inBar = red || black;
        lastRow = red || black ? y : lastRow;
    }
    EXPECT_EQ(bars, 50);
    EXPECT_EQ(framed, 25) << "the used satellites";
    EXPECT_LT(lastRow, height);

    // The sky plot labels "G1" where the single-system views label "1": more ink for the same satellites.
    state.allSystems.count = MAX_SATELLITES;
    auto letters = paint<SatTrackingView>(&state, 301, 301);
    state.everySystem = 0;
    state.satellites.inView = MAX_SATELLITES;
    for (int i = 0; i < MAX_SATELLITES; ++i) {
        state.satellites.prn[i] = state.allSystems.prn[i];
        state.satellites.elevation[i] = state.allSystems.elevation[i];
        state.satellites.azimuth[i] = state.allSystems.azimuth[i];
    }
    auto numbers = paint<SatTrackingView>(&state, 301, 301);
    EXPECT_GT(letters->count(GREEN) + letters->count(BLUE), numbers->count(GREEN) + numbers->count(BLUE));
}

// Paints every view through its window many times: what a paint makes, it releases.
TEST_F(ViewTest, RepaintingKeepsNoGdiObjects) {
    test::TestWindow parent(400, 300);
    GpsState state = activeState({{3, 40, 40, 30}, {8, 60, 200, -2}});
    useInFix(state, 3);
    state.fixType = 3;
    std::vector<std::unique_ptr<LeafView>> views;
    views.push_back(std::make_unique<SatSignalView>(nullptr, false, sharedGdi()));
    views.push_back(std::make_unique<SatTrackingView>(nullptr, false, sharedGdi()));
    views.push_back(std::make_unique<SpeedView>(nullptr, false, sharedGdi()));
    views.push_back(std::make_unique<CourseView>(nullptr, false, sharedGdi()));
    views.push_back(std::make_unique<FixReadout>(nullptr, false, sharedGdi()));
    for (auto& view : views) {
        view->data = &state;
        ASSERT_TRUE(view->create(parent.get()));
        MoveWindow(view->hwnd, 0, 0, 200, 150, FALSE);
    }
    // The first paint of a window may make what the system keeps for it.
    for (auto& view : views) {
        InvalidateRect(view->hwnd, nullptr, FALSE);
        UpdateWindow(view->hwnd);
    }
    const int before = test::freeGdiHandles();
    ASSERT_GT(before, 1000);
    for (int round = 0; round < 300; ++round) {
        for (auto& view : views) {
            InvalidateRect(view->hwnd, nullptr, FALSE);
            UpdateWindow(view->hwnd);
        }
    }
    EXPECT_EQ(test::freeGdiHandles(), before);
}

} // namespace
} // namespace veltaro
