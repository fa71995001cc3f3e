#include "gps/reference_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace veltaro {
namespace {

TEST(ReferenceTextTest, ReadsThePositionsUsersTypeAndSaysWhatIsWrongWithTheRest) {
    const double none = std::nan("");
    const struct {
        const char* text;
        bool read;
        double latitude;
        double longitude;
        double height;
        bool ellipsoid;
        const char* why;
    } cases[] = {
        {"48.11730 11.51667", true, 48.1173, 11.51667, none, false, ""},
        {"-33.9, -18.4 12.5", true, -33.9, -18.4, 12.5, false, ""},
        {"48 07.038 N 011 31.000 E 545.4 m", true, 48.1173, 11.516666666666667, 545.4, false, ""},
        {"48\xB0"
         "07.03800' S 011\xB0"
         "31.00000' W",
         true, -48.1173, -11.516666666666667, none, false, ""},
        {"48\xC2\xB0"
         "07.038' N 11\xC2\xB0"
         "31' E 592.3 ellipsoid",
         true, 48.1173, 11.516666666666667, 592.3, true, ""},
        {"48.5 N 11.25 E 100 MSL", true, 48.5, 11.25, 100, false, ""},
        {"", false, 0, 0, 0, false, "no latitude"},
        {"48.1", false, 0, 0, 0, false, "no longitude"},
        {"91 11", false, 0, 0, 0, false, "the latitude lies beyond 90 degrees"},
        {"48 181", false, 0, 0, 0, false, "the longitude lies beyond 180 degrees"},
        {"48 61.0 N 11 E", false, 0, 0, 0, false,
         "the latitude's minutes must follow whole degrees and lie from 0 to 60"},
        {"-48 N 11 E", false, 0, 0, 0, false, "a negative latitude with a hemisphere letter"},
        {"48 11 9999999", false, 0, 0, 0, false, "the height must be metres from -1,000 to 100,000"},
        {"48 11 500 feet", false, 0, 0, 0, false, "\"feet\" is not part of a position"},
        {"here", false, 0, 0, 0, false, "no latitude"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TypedReference reference;
        reference.point.latitude = 7; // left as it was when the text is refused
        std::string why;
        ASSERT_EQ(readReference(c.text, reference, why), c.read) << why;
        EXPECT_EQ(why, c.why);
        if (!c.read) {
            EXPECT_EQ(reference.point.latitude, 7);
            continue;
        }
        EXPECT_NEAR(reference.point.latitude, c.latitude, 1e-12);
        EXPECT_NEAR(reference.point.longitude, c.longitude, 1e-12);
        EXPECT_EQ(std::isnan(reference.point.height), std::isnan(c.height));
        if (!std::isnan(c.height)) {
            EXPECT_EQ(reference.point.height, c.height);
        }
        EXPECT_EQ(reference.ellipsoidHeight, c.ellipsoid);
    }
}

} // namespace
} // namespace veltaro
