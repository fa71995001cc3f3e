#include "support/net_peers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro {
namespace {

using test::TestCaster;

std::size_t unsign(char c) {
    return static_cast<unsigned char>(c);
}

// The body of a chunked reply, in whole chunks so far; the size of each chunk into sizes.
std::string dechunk(const std::string& reply, std::vector<std::size_t>& sizes) {
    std::string body;
    sizes.clear();
    std::size_t at = reply.find("\r\n\r\n");
    for (at = at == std::string::npos ? reply.size() : at + 4;;) {
        const std::size_t line = reply.find("\r\n", at);
        if (line == std::string::npos) {
            return body;
        }
        const std::size_t size = std::stoul(reply.substr(at, line - at), nullptr, 16);
        if (line + 2 + size + 2 > reply.size()) {
            return body;
        }
        EXPECT_EQ(reply.substr(line + 2 + size, 2), "\r\n") << "after the chunk at " << at;
        body += reply.substr(line + 2, size);
        sizes.push_back(size);
        at = line + 4 + size;
    }
}

enum class Body { none, table, raw, chunked };

struct Exchange {
    const char* what;
    std::string request;
    bool version2;
    std::string status;
    Body body;
};

const std::string TWO = "Host: 127.0.0.1\r\nNtrip-Version: Ntrip/2.0\r\nUser-Agent: NTRIP Probe/1.0\r\n";
const std::string GOOD = "Authorization: Basic cm92ZXI6c2VjcmV0\r\n";  // rover:secret, from Python's base64
const std::string WRONG = "Authorization: Basic cm92ZXI6d3Jvbmc=\r\n"; // rover:wrong

TEST(NetPeersTest, CasterAnswersEachKindOfRequest) {
    const std::vector<Exchange> exchanges = {
        {"source table 1.0", "GET / HTTP/1.0\r\nUser-Agent: NTRIP Probe/1.0\r\n\r\n", true, "SOURCETABLE 200 OK",
         Body::table},
        {"source table 2.0", "GET / HTTP/1.1\r\n" + TWO + "\r\n", true, "HTTP/1.1 200 OK", Body::table},
        {"wrong password 1.0", "GET /TEST HTTP/1.0\r\n" + WRONG + "\r\n", true, "HTTP/1.1 401 Unauthorized",
         Body::none},
        {"no credentials 2.0", "GET /TEST HTTP/1.1\r\n" + TWO + "\r\n", true, "HTTP/1.1 401 Unauthorized", Body::none},
        {"unknown mount 1.0", "GET /NOPE HTTP/1.0\r\n" + GOOD + "\r\n", true, "SOURCETABLE 200 OK", Body::table},
        {"unknown mount 2.0", "GET /NOPE HTTP/1.1\r\n" + TWO + GOOD + "\r\n", true, "HTTP/1.1 404 Not Found",
         Body::none},
        {"stream 1.0", "GET /TEST HTTP/1.0\r\n" + GOOD + "\r\n", true, "ICY 200 OK", Body::raw},
        {"stream 2.0", "GET /TEST HTTP/1.1\r\n" + TWO + GOOD + "\r\n", true, "HTTP/1.1 200 OK", Body::chunked},
        {"2.0 asked of a 1.0 caster", "GET /TEST HTTP/1.1\r\n" + TWO + GOOD + "\r\n", false, "ICY 200 OK", Body::raw},
    };
    // Any bytes at all: NULs, and a tail that reads as the end of a chunked body.
    const std::string corrections = test::sampleCorrections(3000) + std::string("\0\xFF\r\n0\r\n\r\n", 9);
    ASSERT_NE(corrections.find('\0'), std::string::npos);
    for (const Exchange& exchange : exchanges) {
        SCOPED_TRACE(exchange.what);
        TestCaster::Options options;
        options.corrections = corrections;
        options.version2 = exchange.version2;
        TestCaster caster(options);
        test::StreamReader client(caster.port());
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(client.send(exchange.request));

        std::string reply;
        std::vector<std::size_t> chunks;
        if (exchange.body == Body::raw) {
            reply = client.read(12 + corrections.size());
            EXPECT_EQ(reply, "ICY 200 OK\r\n" + corrections);
        } else if (exchange.body == Body::chunked) {
            reply = client.readUntil(
                [&](const std::string& sofar) { return dechunk(sofar, chunks).size() >= corrections.size(); });
            EXPECT_NE(reply.find("\r\nTransfer-Encoding: chunked\r\n"), std::string::npos);
            EXPECT_EQ(dechunk(reply, chunks), corrections);
            ASSERT_EQ(chunks.size(), (corrections.size() + 136) / 137);
            EXPECT_EQ(chunks.front(), 137u);
        } else {
            reply = client.readAllUntilClosed();
            EXPECT_TRUE(client.closedByPeer());
        }
        EXPECT_EQ(reply.substr(0, reply.find("\r\n")), exchange.status);
        const std::size_t headEnd = reply.find("\r\n\r\n");
        if (exchange.body == Body::table) {
            ASSERT_NE(headEnd, std::string::npos);
            const std::string body = reply.substr(headEnd + 4);
            EXPECT_NE(reply.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n"), std::string::npos);
            EXPECT_EQ(body.rfind("CAS;", 0), 0u);
            EXPECT_NE(body.find("\r\nSTR;TEST;Potsdam;RTCM 3.2;"), std::string::npos);
            EXPECT_NE(body.find("\r\nSTR;OTHER;Wien;RTCM 3.1;"), std::string::npos);
            EXPECT_EQ(body.substr(body.size() - 16), "ENDSOURCETABLE\r\n");
        } else if (exchange.body == Body::none) {
            EXPECT_EQ(headEnd + 4, reply.size()) << reply;
        }
        ASSERT_EQ(caster.requests(), std::vector<std::string>{exchange.request});

        if (exchange.body == Body::raw || exchange.body == Body::chunked) {
            const std::string gga = "$GPGGA,120000.00,5224.600,N,01303.000,E,1,08,1.0,35.0,M,40.0,M,,*52";
            ASSERT_TRUE(client.send(gga + "\r\n"));
            ASSERT_TRUE(caster.waitForGga(1));
            EXPECT_EQ(caster.ggaLines(), std::vector<std::string>{gga});
        }
    }
}

TEST(NetPeersTest, Crc24qOfKnownBytes) {
    // Both from a Python one-off of the RTCM 3 definition (polynomial 0x1864CFB, initial value 0); the
    // second is the published check value of CRC-24/LTE-A, the same CRC.
    EXPECT_EQ(test::crc24q(std::string("\xD3\x00\x00", 3)), 0x47EA4Bu);
    EXPECT_EQ(test::crc24q("123456789"), 0xCDE703u);
}

TEST(NetPeersTest, SampleCorrectionsAreRtcmFramesWithValidCrcs) {
    const std::string bytes = test::sampleCorrections(5000);
    ASSERT_GE(bytes.size(), 5000u);
    EXPECT_EQ(bytes, test::sampleCorrections(5000));
    std::vector<std::size_t> messages;
    for (std::size_t at = 0; at < bytes.size();) {
        ASSERT_EQ(unsign(bytes[at]), 0xD3u) << at;
        ASSERT_EQ(unsign(bytes[at + 1]) & 0xFC, 0u);
        const std::size_t length = (unsign(bytes[at + 1]) << 8) | unsign(bytes[at + 2]);
        ASSERT_LE(at + 6 + length, bytes.size());
        const std::size_t crc =
            unsign(bytes[at + 3 + length]) << 16 | unsign(bytes[at + 4 + length]) << 8 | unsign(bytes[at + 5 + length]);
        EXPECT_EQ(test::crc24q(bytes.substr(at, 3 + length)), crc) << "the frame at " << at;
        messages.push_back(unsign(bytes[at + 3]) << 4 | unsign(bytes[at + 4]) >> 4);
        at += 6 + length;
    }
    ASSERT_GE(messages.size(), 7u);
    EXPECT_EQ(std::vector<std::size_t>(messages.begin(), messages.begin() + 7),
              (std::vector<std::size_t>{1005, 1074, 1084, 1094, 1124, 1230, 1005}));
}

} // namespace
} // namespace veltaro
