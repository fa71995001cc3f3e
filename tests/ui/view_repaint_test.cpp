// What a refresh of each view repaints: only the parts whose picture changed, and always enough that the
// window ends up as a whole paint would draw it.
#include "gps/gps_state.h"
#include "gps/nmea.h"
#include "support/canvas.h"
#include "support/captures.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/views/course_view.h"
#include "ui/views/fix_readout.h"
#include "ui/views/sat_signal_view.h"
#include "ui/views/sat_tracking_view.h"
#include "ui/views/speed_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace veltaro {
namespace {

enum class Kind { signalRows, signalColumns, tracking, readout, course, speed };

struct ViewSize {
    int w;
    int h;
};

ViewSize sizeOf(Kind kind) {
    switch (kind) {
    case Kind::signalRows:
        return {150, 300};
    case Kind::signalColumns:
        return {400, 100};
    case Kind::tracking:
        return {300, 300};
    case Kind::readout:
        return {150, 300};
    case Kind::course:
        return {150, 150};
    case Kind::speed:
        return {150, 30};
    }
    return {0, 0};
}

std::unique_ptr<LeafView> makeView(Kind kind) {
    const SharedGdi& gdi = sharedGdi();
    switch (kind) {
    case Kind::signalRows:
    case Kind::signalColumns:
        return std::make_unique<SatSignalView>(nullptr, false, gdi);
    case Kind::tracking:
        return std::make_unique<SatTrackingView>(nullptr, false, gdi);
    case Kind::readout:
        return std::make_unique<FixReadout>(nullptr, false, gdi);
    case Kind::course:
        return std::make_unique<CourseView>(nullptr, false, gdi);
    case Kind::speed:
        return std::make_unique<SpeedView>(nullptr, false, gdi);
    }
    return nullptr;
}

// A receiver with a fix from four satellites, two of them used.
GpsState fixedState() {
    GpsState state;
    state.active = 1;
    state.fixType = 3;
    state.received = RECEIVED_FIX | RECEIVED_GSV | RECEIVED_TIME;
    state.fixLatitude = state.latitude = 4812.5;
    state.fixLongitude = state.longitude = 1130.25;
    state.rmcValid = 1;
    state.speedKnots = 1.5;
    state.course = 90;
    const int satellites[][4] = {{3, 60, 40, 40}, {7, 30, 120, 35}, {12, 15, 250, 20}, {19, 45, 300, 0}};
    for (const auto& s : satellites) {
        const int i = state.satellites.inView++;
        state.satellites.prn[i] = s[0];
        state.satellites.elevation[i] = s[1];
        state.satellites.azimuth[i] = s[2];
        state.satellites.snr[i] = s[3];
    }
    state.usedPrn[0] = 3;
    state.usedPrn[1] = 7;
    return state;
}

// A view in a window of its own, shown, over a state the test changes.
class ShownView {
public:
    explicit ShownView(Kind kind, const GpsState& initial)
        : size(sizeOf(kind)), window(size.w, size.h), state(initial), view(makeView(kind)) {
        view->data = &state;
        view->width = size.w;
        view->height = size.h;
        view->create(window.get());
        MoveWindow(view->hwnd, 0, 0, size.w, size.h, FALSE);
        view->refresh();
        UpdateWindow(view->hwnd);
    }

    // The smallest rectangle holding what a refresh after change invalidated; empty when nothing.
    RECT invalidatedBy(const std::function<void(GpsState&)>& change) {
        change(state);
        view->refresh();
        RECT box{};
        GetUpdateRect(view->hwnd, &box, FALSE);
        UpdateWindow(view->hwnd);
        return box;
    }

    // Whether the window shows exactly what a whole paint of the current state draws.
    bool showsWholePaint() const {
        test::Canvas shown(size.w, size.h);
        HDC dc = GetDC(view->hwnd);
        BitBlt(shown.dc(), 0, 0, size.w, size.h, dc, 0, 0, SRCCOPY);
        ReleaseDC(view->hwnd, dc);
        test::Canvas whole(size.w, size.h);
        view->draw(whole.dc(), size.w, size.h);
        return shown.sameAs(whole);
    }

    ViewSize size;
    test::TestWindow window;
    GpsState state;
    std::unique_ptr<LeafView> view;
};

long area(const RECT& r) {
    return (r.right - r.left) * (r.bottom - r.top);
}

class ViewRepaintTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }
};

TEST_F(ViewRepaintTest, RefreshInvalidatesOnlyWhatTheChangeRedraws) {
    enum Expect { NOTHING, PART, WHOLE };
    const int pitch = sharedGdi().lineHeight() + 2;
    // Satellite i's row of bars; its text may run a little below.
    auto row = [pitch](int i) { return RECT{0, 2 + i * pitch, 150, 2 + (i + 2) * pitch}; };
    const struct {
        const char* what;
        Kind kind;
        std::function<void(GpsState&)> change;
        Expect expect;
        RECT within; // for a part: the band the invalidated area lies in
    } cases[] = {
        {"bars, nothing changed", Kind::signalRows, [](GpsState&) {}, NOTHING, {}},
        {"bars, one SNR", Kind::signalRows, [](GpsState& s) { s.satellites.snr[2] = 31; }, PART, row(2)},
        {"bars, one satellite leaves the fix", Kind::signalRows, [](GpsState& s) { s.usedPrn[1] = 0; }, PART, row(1)},
        {"bars, a satellite more", Kind::signalRows,
         [](GpsState& s) {
             s.satellites.prn[4] = 22;
             s.satellites.snr[4] = 18;
             s.satellites.inView = 5;
         },
         PART, row(4)},
        {"bars, receiver inactive", Kind::signalRows, [](GpsState& s) { s.active = 0; }, WHOLE, {}},
        {"columns, one SNR",
         Kind::signalColumns,
         [](GpsState& s) { s.satellites.snr[0] = 44; },
         PART,
         {0, 0, 110, 100}},
        {"sky, nothing changed", Kind::tracking, [](GpsState&) {}, NOTHING, {}},
        {"sky, an SNR that keeps the colour",
         Kind::tracking,
         [](GpsState& s) { s.satellites.snr[0] = 45; },
         NOTHING,
         {}},
        {"sky, a satellite moves",
         Kind::tracking,
         [](GpsState& s) { s.satellites.azimuth[1] = 125; },
         PART,
         {150, 100, 300, 250}},
        {"sky, a satellite is used", Kind::tracking, [](GpsState& s) { s.usedPrn[2] = 12; }, PART, {0, 100, 150, 250}},
        {"sky, the age caption shows", Kind::tracking, [](GpsState& s) { s.quietSeconds = 7; }, PART, {0, 0, 150, 30}},
        {"readout, nothing changed", Kind::readout, [](GpsState&) {}, NOTHING, {}},
        {"readout, the latitude", Kind::readout, [](GpsState& s) { s.fixLatitude += 0.01; }, PART, {0, 0, 150, 60}},
        {"dial, the course", Kind::course, [](GpsState& s) { s.course = 100; }, PART, {70, 70, 150, 95}},
        {"dial, no course", Kind::course, [](GpsState& s) { s.course = std::nan(""); }, PART, {70, 70, 150, 80}},
        {"speed, the same speed", Kind::speed, [](GpsState& s) { s.speedKnots = 1.5; }, NOTHING, {}},
        {"speed, another speed", Kind::speed, [](GpsState& s) { s.speedKnots = 2; }, WHOLE, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ShownView shown(c.kind, fixedState());
        const RECT box = shown.invalidatedBy(c.change);
        switch (c.expect) {
        case NOTHING:
            EXPECT_TRUE(IsRectEmpty(&box));
            break;
        case PART: {
            ASSERT_FALSE(IsRectEmpty(&box));
            RECT inside{};
            IntersectRect(&inside, &box, &c.within);
            EXPECT_TRUE(EqualRect(&inside, &box))
                << box.left << "," << box.top << " " << box.right << "," << box.bottom;
            EXPECT_LE(area(box) * 2, shown.size.w * shown.size.h);
            break;
        }
        case WHOLE:
            EXPECT_EQ(area(box), shown.size.w * shown.size.h);
            break;
        }
        EXPECT_TRUE(shown.showsWholePaint());
    }
}

TEST_F(ViewRepaintTest, EveryViewFollowingARecordingShowsWhatAWholePaintDraws) {
    const std::string capture = test::readFile(VELTARO_NMEA_DIR "/telit-he910.nmea");
    std::vector<test::Burst> bursts = test::burstsOf(capture);
    ASSERT_GT(bursts.size(), 80u);
    bursts.resize(80);
    for (Kind kind :
         {Kind::signalRows, Kind::signalColumns, Kind::tracking, Kind::readout, Kind::course, Kind::speed}) {
        SCOPED_TRACE(static_cast<int>(kind));
        GpsState idle;
        ShownView shown(kind, idle);
        SatelliteTable working;
        int partial = 0;
        for (std::size_t b = 0; b < bursts.size(); ++b) {
            const RECT box = shown.invalidatedBy([&](GpsState& state) {
                state.active = 1;
                for (std::string line : bursts[b].lines) {
                    decodeSentence(state, working, line.data(), static_cast<int>(line.size()));
                }
                // Now and then the receiver is quiet for a while.
                state.quietSeconds = b % 10 == 9 ? static_cast<std::int32_t>(b) : 0;
            });
            partial += area(box) < shown.size.w * shown.size.h ? 1 : 0;
            ASSERT_TRUE(shown.showsWholePaint()) << "after burst " << b;
        }
        // A receiver on a slow walk changes a few values a cycle: most refreshes leave most of a view alone.
        if (kind != Kind::speed) {
            EXPECT_GT(partial, 40);
        }
    }
}

} // namespace
} // namespace veltaro
