#include "ui/views/fix_readout.h"

#include "gps/sentence_reader.h"
#include "support/canvas.h"
#include "support/captures.h"
#include "support/ui_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/framework/gdi_owners.h"
#include "ui/framework/utf8_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace veltaro {
namespace {

const std::string MUNICH_GGA = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
const std::string MUNICH_RMC = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,191194,003.1,W*6A";
const std::string MUNICH_GSA = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39";
const std::string GSV_14 = "$GPGSV,1,1,14,01,78,221,47*70";

// The lines as a device reads them, each with its checksum made right.
GpsState decoded(const std::vector<std::string>& lines) {
    GpsState state;
    SentenceReader reader;
    for (const std::string& text : lines) {
        std::string line = test::sealed(text);
        reader.read(state, line.data(), static_cast<int>(line.size()), 0);
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
          "Lat 48\xC2\xB0"
          "07.0380' N",
          "Lon 011\xC2\xB0"
          "31.0000' E",
          "Alt 545.4 m MSL", "Fix 3D (GPS)", "Sats 8 used, 14 in view", "DOP H 1.3 P 2.5 V 2.1", "Ellipsoid 592.3 m"}},
        {"nothing received yet",
         {},
         nullptr,
         {"UTC --", "Lat --", "Lon --", "Alt --", "Fix -- (--)", "Sats -- used, -- in view", "DOP --"}},
        {"south and west in 2024, RTK fixed, as many decimals as sent, minutes rounding to 60",
         {"$GPRMC,000001,A,3359.999996,S,07059.9999999999,W,0.0,0.0,050324,,*00",
          "$GPGGA,000001,3359.999996,S,07059.9999999999,W,4,12,0.55,-3.0,M,,M,,*00",
          "$GPGSA,A,2,,,,,,,,,,,,,1.25,0.55,9.9*00"},
         nullptr,
         {"UTC 2024-03-05 00:00:01",
          "Lat 33\xC2\xB0"
          "59.999996' S",
          "Lon 071\xC2\xB0"
          "00.00000000' W",
          "Alt -3.0 m", "Fix 2D (RTK fixed)", "Sats 12 used, -- in view", "DOP H 0.55 P 1.25 V 9.9"}},
        {"a lost fix keeps the last position and says how old it is; empty fields read --",
         {MUNICH_GGA, MUNICH_GSA, "$GPGGA,165019.000,,,,,0,,,,M,0.0,M,,0000*5C", "$GPGSA,A,1,,,,,,,,,,,,,,,*1E"},
         [](GpsState& s) { s.fixAgeSeconds = 42; },
         {"UTC -- 16:50:19",
          "Lat 48\xC2\xB0"
          "07.0380' N",
          "Lon 011\xC2\xB0"
          "31.0000' E",
          "Alt --", "Fix none (invalid)", "Sats -- used, -- in view", "DOP H -- P -- V --", "Last fix 42 s ago"}},
        {"quality and fix type beyond the names",
         {"$GPGGA,123519,4807.038,N,01131.000,E,9,08,0.9,545.4,M,,M,,*47", "$GPGSA,A,7,*00"},
         nullptr,
         {"UTC -- 12:35:19",
          "Lat 48\xC2\xB0"
          "07.0380' N",
          "Lon 011\xC2\xB0"
          "31.0000' E",
          "Alt 545.4 m", "Fix 7 (9)", "Sats 8 used, -- in view", "DOP H -- P -- V --"}},
        {"no line for 12 s",
         munich,
         [](GpsState& s) { s.quietSeconds = 12; },
         {"No data for 12 s", "UTC 1994-11-19 12:35:19",
          "Lat 48\xC2\xB0"
          "07.0380' N",
          "Lon 011\xC2\xB0"
          "31.0000' E",
          "Alt 545.4 m MSL", "Fix 3D (GPS)", "Sats 8 used, 14 in view", "DOP H 1.3 P 2.5 V 2.1", "Ellipsoid 592.3 m"}},
        {"source lost",
         {},
         [](GpsState& s) {
             s.quietSeconds = 30;
             s.sourceLost = 1;
         },
         {"Port lost, reopening", "UTC --", "Lat --", "Lon --", "Alt --", "Fix -- (--)", "Sats -- used, -- in view",
          "DOP --"}},
        {"no RMC: date from ZDA, speed from VTG; no GGA: position from GNS",
         {"$GPGNS,014035.00,4332.69262,S,17235.48549,E,NR,13,0.9,25.63,11.24,,*70", "$GPZDA,081411.000,26,05,2014,,*5D",
          "$GPGST,014035.00,1.5,,,,0.012,0.015,0.031*00"},
         nullptr,
         {"UTC 2014-05-26 08:14:11",
          "Lat 43\xC2\xB0"
          "32.69262' S",
          "Lon 172\xC2\xB0"
          "35.48549' E",
          "Alt 25.63 m MSL", "Fix -- (RTK fixed)", "Sats 13 used, -- in view", "DOP --", "Ellipsoid 36.87 m",
          "Error N1.2 E1.5 U3.1 cm"}},
        {"every system read by itself: used by system, a fix of several systems, errors in metres",
         {"$GNGGA,004024.00,4552.65393,S,17030.00670,E,1,12,0.73,14.8,M,1.8,M,,",
          "$GNGSA,A,3,01,02,03,,,,,,,,,,1.2,0.7,1.0,1", "$GNGSA,A,3,65,66,,,,,,,,,,,1.2,0.7,1.0,2",
          "$GNGST,004024.00,2.3,,,,2.4,3.5,4.2"},
         nullptr,
         {"UTC -- 00:40:24",
          "Lat 45\xC2\xB0"
          "52.65393' S",
          "Lon 170\xC2\xB0"
          "30.00670' E",
          "Alt 14.8 m MSL", "Fix 3D (GNSS)", "Sats 5 used, -- in view", "DOP H 0.7 P 1.2 V 1.0", "Used G3 R2",
          "Ellipsoid 16.6 m", "Error N2.4 E3.5 U4.2 m"}},
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
    // Eight lines from 4 pixels down, one text height apart: the last one ends in the eighth band.
    EXPECT_GE(lastInk, 4 + 7 * metrics.tmHeight);
    EXPECT_LT(lastInk, 4 + 8 * metrics.tmHeight);
    EXPECT_EQ(canvas.count(face, 0, 0, 4, 160), 4 * 160) << "the left margin";
    EXPECT_EQ(canvas.count(face, 0, 0, 150, 4), 150 * 4) << "the top margin";
}

// The readout at the end of a capture, read as a device reads it: paced by its receiver's time stamps, with
// nothing chosen on the menu, the last fix's age by the same clock.
GpsState readAsADevice(const std::string& capture) {
    GpsState state;
    SentenceReader reader;
    std::int64_t now = 0;
    for (const test::Burst& burst : test::burstsOf(capture)) {
        now += burst.afterMs;
        for (std::string line : burst.lines) {
            reader.read(state, line.data(), static_cast<int>(line.size()), now);
        }
    }
    state.fixAgeSeconds = static_cast<std::int32_t>((now - state.fixTickMs) / 1000);
    return state;
}

TEST(FixReadoutTest, EveryCaptureEndsWithWhatItsReceiverLastSaid) {
    std::string readouts;
    for (const test::Capture& capture : test::loadCaptures()) {
        std::string text = readoutText(readAsADevice(capture.bytes));
        for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) {
            text.replace(at, 2, "\n  ");
        }
        readouts += capture.name + ":\n  " + text + "\n";
    }
    const std::string goldenPath = std::string(VELTARO_GOLDEN_DIR) + "/readouts.golden";
    if (std::getenv("VELTARO_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(goldenPath, std::ios::binary) << readouts;
    }
    EXPECT_EQ(readouts, test::readFile(goldenPath))
        << "set VELTARO_UPDATE_GOLDEN=1 to rewrite " << goldenPath << " after checking the change";
}

// The column is 150 pixels wide: no line may be cut, whatever the receiver sent.
TEST(FixReadoutTest, EveryLineFitsTheColumn) {
    createSharedGdi();
    test::Canvas canvas(150, 100);
    SelectedObject font(canvas.dc(), sharedGdi().guiFont);
    std::vector<std::string> texts;
    for (const test::Capture& capture : test::loadCaptures()) {
        texts.push_back(readoutText(readAsADevice(capture.bytes)));
    }
    // The widest each line can be: far east and south to 8 decimals, high and far from the geoid, every
    // system used, errors of three digits, a fix lost a day ago.
    GpsState widest = decoded({"$GNRMC,235959,V,8959.99999999,S,17959.99999999,W,999.9,359.9,311299,,",
                               "$GNGGA,235959,8959.99999999,S,17959.99999999,W,5,64,99.99,-8888.8888,M,-88.8888,M,,",
                               "$GNGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,88.88,88.88,88.88,1",
                               "$GNGSA,A,3,65,66,67,68,69,70,71,72,73,74,75,76,88.88,88.88,88.88,2",
                               "$GNGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,88.88,88.88,88.88,3",
                               "$GNGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,88.88,88.88,88.88,4",
                               "$GNGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,88.88,88.88,88.88,5",
                               "$GNGSA,A,3,01,02,03,04,05,06,07,08,09,10,11,12,88.88,88.88,88.88,6",
                               "$GNGST,235959,1.5,,,,888.888,888.888,888.888"});
    widest.fixAgeSeconds = 86400;
    widest.quietSeconds = 86400;
    texts.push_back(readoutText(widest));
    for (const std::string& text : texts) {
        std::size_t start = 0;
        for (std::size_t end = 0; end != std::string::npos; start = end + 2) {
            end = text.find("\r\n", start);
            const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
            const SIZE size = textExtent(canvas.dc(), line);
            EXPECT_LE(4 + size.cx, 150) << line << " is " << size.cx << " pixels wide";
        }
    }
}

} // namespace
} // namespace veltaro
