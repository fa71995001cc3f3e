#include "gps/receiver_pace.h"

#include <gtest/gtest.h>

namespace veltaro {
namespace {

TEST(ReceiverPaceTest, ReadsTimeStampsOfGgaAndRmcOnly) {
    struct Case {
        const char* line;
        long long milliseconds; // -1: none
    };
    const Case cases[] = {
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n", 45319000},
        {"$GNRMC,003956.00,A,4552.65403,S,17030.00668,E,0.025,,120419,,,A,V*07\r\n", 2396000},
        {"$GPGGA,204132.10,4205.733715,N\n", 74492100},
        {"$GPRMC,235959.999,A\n", 86399999},
        {"$GPRMC,235959.9999\n", 86399999},
        {"$GPGGA,,,,,,0,,,,M,,M,,*66\r\n", -1},
        {"$GPRMC,,V,,,,,,,,,,N*53\r\n", -1},
        {"$GPZDA,193913.00,07,09,2018,00,00*63\r\n", -1},
        {"$GPGGA,1235,,,,,,07,*00", -1},
        {"$GPGGA,256000.00,", -1},
        {"$PGRMC,123519,", -1},
        {"xx$GPGGA,123519,", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto stamp = timeStamp(c.line);
        EXPECT_EQ(stamp ? stamp->count() : -1, c.milliseconds);
    }
}

} // namespace
} // namespace veltaro
