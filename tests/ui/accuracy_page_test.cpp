#include "support/captures.h"
#include "support/far_end.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/views/accuracy_page.h"
#include "ui/views/compare_page.h"
#include "ui/views/dot_layer.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace veltaro {
namespace {

TEST(AccuracyPageTest, OuterRingIsTheLeastOneTwoFiveStepThatHoldsTheFarthestFix) {
    const struct {
        double farthest;
        double ring;
    } cases[] = {{0, 0.01}, {0.004, 0.01}, {0.01, 0.01}, {0.0101, 0.02}, {0.3, 0.5},
                 {1.5, 2},  {2.1, 5},      {7, 10},      {4999, 5000},   {120000, 5000}};
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(outerRing(c.farthest), c.ring) << c.farthest;
    }
}

constexpr double PI = 3.141592653589793;

// Degrees north and east of a point metres east and north of 48.1 N 11.5 E, by the WGS-84 radii of curvature
// worked out here on their own.
void placeAt(double east, double north, double& latitude, double& longitude) {
    const double a = 6378137.0;
    const double f = 1 / 298.257223563;
    const double e2 = f * (2 - f);
    const double phi = 48.1 * PI / 180;
    const double w = 1 - e2 * std::sin(phi) * std::sin(phi);
    const double meridian = a * (1 - e2) / (w * std::sqrt(w));
    const double primeVertical = a / std::sqrt(w);
    latitude = 48.1 + north / meridian * 180 / PI;
    longitude = 11.5 + east / (primeVertical * std::cos(phi)) * 180 / PI;
}

double minutesOf(double degrees) {
    return (degrees - std::floor(degrees)) * 60;
}

std::string ggaAt(int second, double east, double north) {
    double latitude = 0;
    double longitude = 0;
    placeAt(east, north, latitude, longitude);
    char line[128];
    std::snprintf(line, sizeof line, "$GPGGA,1200%02d,48%010.7f,N,011%010.7f,E,1,08,0.9,545.4,M,46.9,M,,", second,
                  minutesOf(latitude), minutesOf(longitude));
    return test::sealed(line) + "\r\n";
}

class AccuracyPageFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }
    AccuracyPageFrameTest() : frame(SW_SHOWNORMAL) {
        frame.showError = [](const std::string&) {};
    }
    static std::string textOf(HWND window) {
        char text[1024] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }
    static bool says(HWND window, const std::string& part) { return textOf(window).find(part) != std::string::npos; }

    MainFrame frame;
};

// A tester parks a receiver whose fixes fall on a ring of 2 m around a point: the page gives that point as the
// mean, 2 m as both CEPs, then the mean's distance from a point typed 3 m north of it, refuses a text that is no
// position, and starts again on "Clear".
TEST_F(AccuracyPageFrameTest, TesterReadsTheScatterOfAParkedReceiverAgainstATypedPoint) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    std::string stream = test::sealed("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") + "\r\n";
    const double ring[][2] = {{2, 0}, {0, 2}, {-2, 0}, {0, -2}, {1.2, 1.6}, {-1.6, 1.2}, {-1.2, -1.6}, {1.6, -1.2}};
    for (int i = 0; i < 8; ++i) {
        stream += ggaAt(i, ring[i][0], ring[i][1]);
    }
    TreeNode& node = *test::nodesOf(frame, NODE_VIEW, "Accuracy").at(0);
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node.item));
    AccuracyPage& page = *test::paneOf<AccuracyPage>(node);
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(stream));
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return says(page.hwnd, "Fixes: 8 in "); })) << textOf(page.hwnd);
    const std::string figures = textOf(page.hwnd);
    for (const char* expected :
         {"Mean: 48\xC2\xB0"
          "06.0000000",
          "N 011\xC2\xB0"
          "30.0000000",
          "Mean height: 545.40 m", "CEP50: 2.000 m", "CEP95: 2.000 m", "2DRMS: 4.000 m", "Sigma up: 0.000 m"}) {
        EXPECT_NE(figures.find(expected), std::string::npos) << expected << " in\n" << figures;
    }
    test::saveScreenshot("accuracy");

    double latitude = 0;
    double longitude = 0;
    placeAt(0, 3, latitude, longitude);
    char reference[64];
    std::snprintf(reference, sizeof reference, "48 %.9f N 011 30 E", minutesOf(latitude));
    EXPECT_TRUE(page.setReference(reference));
    EXPECT_TRUE(says(page.hwnd, "From the reference: 3.000 m at 180.0\xC2\xB0")) << textOf(page.hwnd);
    // From 3 m north of the ring's centre its fixes lie 1, 1.844, 2.408, 3.606, 3.606, 4.767, 4.866 and 5 m away.
    EXPECT_TRUE(says(page.hwnd, "CEP50: 3.606 m")) << "the CEP counts from the reference now: " << textOf(page.hwnd);

    EXPECT_FALSE(page.setReference("48 06.5 N 200 E"));
    EXPECT_TRUE(says(page.hwnd, "Not a position: the longitude lies beyond 180 degrees."));
    EXPECT_TRUE(says(page.hwnd, "From the reference: 3.000 m")) << "the reference stays as it was";

    page.useMean();
    EXPECT_FALSE(says(page.hwnd, "From the reference"));
    page.clear();
    EXPECT_TRUE(says(page.hwnd, "Fixes: 0\r\nMean: --")) << textOf(page.hwnd);
}

// A tester puts two receivers on one spot: the first's fixes on a ring of 2 m, the second's on a ring of 1 m
// around a point 3 m east. "Compare receivers" appears with the second device and sets them side by side around
// the first's mean, then around the second's.
TEST_F(AccuracyPageFrameTest, TesterComparesTwoReceiversOnOneSpot) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    EXPECT_EQ(frame.compareNode, nullptr) << "nothing to compare with one receiver";
    frame.startDevice(6, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 16u) << "two devices with their pages, and the comparison";
    ASSERT_NE(frame.compareNode, nullptr);
    EXPECT_EQ(frame.compareNode->parentNode, frame.rootNode);
    const double ring[][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}, {0.6, 0.8}, {-0.8, 0.6}, {-0.6, -0.8}, {0.8, -0.6}};
    std::string first = test::sealed("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") + "\r\n";
    std::string second = first;
    for (int i = 0; i < 8; ++i) {
        first += ggaAt(i, 2 * ring[i][0], 2 * ring[i][1]);
        second += ggaAt(i, 3 + ring[i][0], ring[i][1]);
    }
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(frame.compareNode->item));
    ComparePage& page = *test::paneOf<ComparePage>(*frame.compareNode);
    test::FarEnd one(15);
    test::FarEnd two(16);
    ASSERT_TRUE(one.write(first));
    ASSERT_TRUE(two.write(second));
    const std::string firstRow = "COM5: Live GPS: 8 fixes, 100% of seconds with a fix, CEP50 2.000 m, CEP95 2.000 m, "
                                 "2DRMS 4.000 m, mean 0.000 m";
    const std::string secondRow =
        "COM6: Live GPS: 8 fixes, 100% of seconds with a fix, CEP50 1.000 m, CEP95 1.000 m, "
        "2DRMS 2.000 m, mean 3.000 m at 90.0\xC2\xB0 from the reference, 8.0 satellites used, "
        "C/N0 -- dB-Hz";
    ASSERT_TRUE(test::pumpMessagesUntil([&] {
        return says(page.hwnd, "COM5: Live GPS: 8 fixes") && says(page.hwnd, "COM6: Live GPS: 8 fixes");
    })) << textOf(page.hwnd);
    EXPECT_TRUE(says(page.hwnd, firstRow)) << textOf(page.hwnd);
    EXPECT_TRUE(says(page.hwnd, secondRow)) << textOf(page.hwnd);
    test::saveScreenshot("compare_receivers");

    page.useMeanOf(1);
    EXPECT_TRUE(says(page.hwnd, "mean 3.000 m at 270.0\xC2\xB0 from the reference")) << textOf(page.hwnd);
    EXPECT_FALSE(page.setReference("no place"));
    EXPECT_TRUE(says(page.hwnd, "Not a position: no latitude.")) << textOf(page.hwnd);
}

} // namespace
} // namespace veltaro
