#include "core/network_address.h"

#include <gtest/gtest.h>

#include <string>

namespace veltaro {
namespace {

TEST(NetworkAddressTest, ReadsSourceAddressesAndNamesWhatIsWrong) {
    const struct {
        std::string text;
        std::string expected; // the canonical text read back, or a part of the problem
    } rows[] = {
        {"tcp://gps.local:10110", "tcp://gps.local:10110"},
        {"  TCP://192.168.1.20:2947\t", "tcp://192.168.1.20:2947"},
        {"gps.local:10110", "tcp://gps.local:10110"},
        {"[::1]:10110", "tcp://[::1]:10110"},
        {"tcp://[fe80::1%3]:65535", "tcp://[fe80::1%3]:65535"},
        {"Udp://:10110", "udp://:10110"},
        {"udp://:00001", "udp://:1"},
        {"", "empty"},
        {"   ", "empty"},
        {"tcp://gps.local", "needs a port: tcp://HOST:PORT"},
        {"gps.local:", "needs a port: HOST:PORT"},
        {"udp://", "needs a port: udp://:PORT"},
        {"[::1]", "needs a port"},
        {"[::1:10110", "closing bracket"},
        {"[::1]10110", "followed by its port"},
        {"::1:10110", "goes in brackets"},
        {"gps.local:nmea", "\"nmea\" is not a number"},
        {"gps.local:+10", "not a number"},
        {"gps.local:-10", "not a number"},
        {"gps.local:0", "from 1 to 65535, not 0"},
        {"gps.local:65536", "from 1 to 65535"},
        {"gps.local:99999999999", "from 1 to 65535"},
        {"http://gps.local:80", "\"http://\" is not a kind of address"},
        {"http://gps.local:80", "takes tcp://HOST:PORT, udp://:PORT or HOST:PORT"},
        {"tcp://:10110", "needs a host"},
        {":10110", "needs a host"},
        {"udp://0.0.0.0:10110", "listens on a port of this computer"},
        {"udp://gps.local:10110", "\"udp://:10110\""},
        {"tcp://my gps:10110", "\"my gps\" has a space"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        NetworkAddress address;
        std::string problem;
        const bool read = parseSourceAddress(row.text, address, problem);
        if (row.expected.starts_with("tcp://") || row.expected.starts_with("udp://")) {
            ASSERT_TRUE(read) << problem;
            EXPECT_EQ(addressText(address), row.expected);
            EXPECT_EQ(address.transport, row.expected[0] == 'u' ? Transport::UDP : Transport::TCP);
        } else {
            ASSERT_FALSE(read);
            EXPECT_NE(problem.find(row.expected), std::string::npos) << problem;
            EXPECT_EQ(problem.back(), '.') << problem;
        }
    }
}

TEST(NetworkAddressTest, ReadsHostsWithPortsAndPortsAlone) {
    std::string host;
    std::uint16_t port = 0;
    std::string problem;
    ASSERT_TRUE(parseHostPort(" 192.168.1.255:10110 ", host, port, problem)) << problem;
    EXPECT_EQ(host, "192.168.1.255");
    EXPECT_EQ(port, 10110);
    ASSERT_TRUE(parseHostPort("[2001:db8::7]:2101", host, port, problem)) << problem;
    EXPECT_EQ(host, "2001:db8::7");
    EXPECT_EQ(port, 2101);
    EXPECT_FALSE(parseHostPort(":2101", host, port, problem));
    EXPECT_NE(problem.find("needs a host"), std::string::npos) << problem;
    EXPECT_FALSE(parseHostPort("caster.example", host, port, problem));
    EXPECT_NE(problem.find("needs a port: HOST:PORT"), std::string::npos) << problem;
    for (const char* bad : {"", "0", "65536", "1e3", " 80", "0x50", "+80"}) {
        EXPECT_FALSE(parsePort(bad, port, problem)) << bad;
    }
    ASSERT_TRUE(parsePort("65535", port, problem));
    EXPECT_EQ(port, 65535);
}

} // namespace
} // namespace veltaro
