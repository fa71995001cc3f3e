#include "ui/views/fix_readout.h"

#include "gps/nmea.h"
#include "support/canvas.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace veltaro {
namespace {

const std::string MUNICH_GGA = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string MUNICH_RMC = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,191194,003.1,W*6A";
const std::string MUNICH_GSA = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
const std::string GSV_14 = "$GPGSV,1,1,14,01,78,221,47*70";

GpsState decoded(const std::vector<std::string>& lines) {
    GpsState state;
    SatelliteTable working;
    for (std::string line : lines) {
        decodeSentence(state, working, line.data(), static_cast<int>(line.size()));
    }
    return state;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += (text.empty() ? "" : "\r\n") + line;
    }
    return text;
}

TEST(FixReadoutTest, ShowsEachValueAsAReceiverWatcherReadsIt) {
    const std::vector<std::string> munich = {MUNICH_GGA, MUNICH_RMC, MUNICH_GSA, GSV_14};
    struct Case {
        const char* what;
        std::vector<std::string> lines;
        std::function<void(GpsState&)> change;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"the example sentences",
         munich,
         nullptr,
         {"UTC 1994-11-19 12:35:19",
          "Lat 48\xB0"
          "07.0380' N",
          "Lon 011\xB0"
          "31.0000' E",
          "Alt 545.4 m", "Fix 3D (GPS)", "Sats 8 used, 14 in view", "DOP H 1.3 P 2.5 V 2.1"}},
        {"nothing received yet",
         {},
         nullptr,
         {"UTC --", "Lat --", "Lon --", "Alt --", "Fix -- (--)", "Sats -- used, -- in view", "DOP --"}},
        {"south and west in 2024, RTK fixed, minutes rounding to 60",
         {"$GPRMC,000001,A,3359.999996,S,07059.99999,W,0.0,0.0,050324,,*00",
          "$GPGGA,000001,3359.999996,S,07059.99999,W,4,12,0.55,-3.0,M,,M,,*00",
          "$GPGSA,A,2,,,,,,,,,,,,,1.25,0.55,9.9*00"},
         nullptr,
         {"UTC 2024-03-05 00:00:01",
          "Lat 34\xB0"
          "00.0000' S",
          "Lon 071\xB0"
          "00.0000' W",
          "Alt -3.0 m", "Fix 2D (RTK fixed)", "Sats 12 used, -- in view", "DOP H 0.55 P 1.25 V 9.9"}},
        {"a lost fix keeps the last position",
         {MUNICH_GGA, MUNICH_GSA, "$GPGGA,165019.000,,,,,0,00,,,M,0.0,M,,0000*5C", "$GPGSA,A,1,,,,,,,,,,,,,,,*1E"},
         nullptr,
         {"UTC -- 16:50:19",
          "Lat 48\xB0"
          "07.0380' N",
          "Lon 011\xB0"
          "31.0000' E",
          "Alt 545.4 m", "Fix none (invalid)", "Sats 0 used, -- in view", "DOP H 0.0 P 0.0 V 0.0"}},
        {"quality and fix type beyond the names",
         {"$GPGGA,123519,4807.038,N,01131.000,E,9,08,0.9,545.4,M,46.9,M,,*47", "$GPGSA,A,7,*00"},
         nullptr,
         {"UTC -- 12:35:19",
          "Lat 48\xB0"
          "07.0380' N",
          "Lon 011\xB0"
          "31.0000' E",
          "Alt 545.4 m", "Fix 7 (9)", "Sats 8 used, -- in view", "DOP H 0.0 P 0.0 V 0.0"}},
        {"no line for 12 s",
         munich,
         [](GpsState& s) { s.quietSeconds = 12; },
         {"No data for 12 s", "UTC 1994-11-19 12:35:19",
          "Lat 48\xB0"
          "07.0380' N",
          "Lon 011\xB0"
          "31.0000' E",
          "Alt 545.4 m", "Fix 3D (GPS)", "Sats 8 used, 14 in view", "DOP H 1.3 P 2.5 V 2.1"}},
        {"source lost",
         {},
         [](GpsState& s) {
             s.quietSeconds = 30;
             s.sourceLost = 1;
         },
         {"Port lost, reopening", "UTC --", "Lat --", "Lon --", "Alt --", "Fix -- (--)", "Sats -- used, -- in view",
          "DOP --"}},
    };
    for (const Case& c : cases) {
        GpsState state = decoded(c.lines);
        if (c.change) {
            c.change(state);
        }
        EXPECT_EQ(readoutText(state), joined(c.expected)) << c.what;
    }
}

// The window text follows the state at each refresh, and the picture shows one line per value.
TEST(FixReadoutTest, WindowTextAndPictureFollowTheState) {
    createSharedGdi();
    test::TestWindow parent(200, 200);
    GpsState state;
    FixReadout view(nullptr, false, sharedGdi());
    view.data = &state;
    view.setSize(150, 160);
    ASSERT_TRUE(view.create(parent.get()));
    view.refresh();
    char text[512] = "";
    GetWindowTextA(view.hwnd, text, sizeof text);
    EXPECT_EQ(std::string(text), readoutText(state));

    state = decoded({MUNICH_GGA, MUNICH_RMC, MUNICH_GSA, GSV_14});
    view.refresh();
    GetWindowTextA(view.hwnd, text, sizeof text);
    EXPECT_EQ(std::string(text), readoutText(state));

    test::Canvas canvas(150, 160);
    view.draw(canvas.dc(), 150, 160);
    HGDIOBJ old = SelectObject(canvas.dc(), sharedGdi().guiFont);
    TEXTMETRICA metrics{};
    GetTextMetricsA(canvas.dc(), &metrics);
    SelectObject(canvas.dc(), old);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int lastInk = -1;
    for (int y = 0; y < 160; ++y) {
        lastInk = canvas.count(face, 0, y, 150, y + 1) < 150 ? y : lastInk;
    }
    // Seven lines from 4 pixels down, one text height apart: the last one ends in the seventh band.
    EXPECT_GE(lastInk, 4 + 6 * metrics.tmHeight);
    EXPECT_LT(lastInk, 4 + 7 * metrics.tmHeight);
    EXPECT_EQ(canvas.count(face, 0, 0, 4, 160), 4 * 160) << "the left margin";
    EXPECT_EQ(canvas.count(face, 0, 0, 150, 4), 150 * 4) << "the top margin";
}

} // namespace
} // namespace veltaro
