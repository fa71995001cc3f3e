#include "core/ntrip_protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace veltaro {
namespace {

using namespace std::string_literals;

TEST(NtripProtocolTest, AsksForAMountpointOrTheSourceTable) {
    EXPECT_EQ(ntripRequestText({"caster.example.com", 2101, "RTCM3_NEAR", "ann", "s3cret:x"}),
              "GET /RTCM3_NEAR HTTP/1.1\r\nHost: caster.example.com:2101\r\nNtrip-Version: Ntrip/2.0\r\n"
              "User-Agent: NTRIP Veltaro/" VELTARO_VERSION_TEXT "\r\nAuthorization: Basic YW5uOnMzY3JldDp4\r\n"
              "Connection: close\r\n\r\n");
    EXPECT_EQ(ntripRequestText({"2001:db8::7", 80, "", "", ""}),
              "GET / HTTP/1.1\r\nHost: [2001:db8::7]:80\r\nNtrip-Version: Ntrip/2.0\r\n"
              "User-Agent: NTRIP Veltaro/" VELTARO_VERSION_TEXT "\r\nConnection: close\r\n\r\n");
}

TEST(Base64Test, EncodesTheVectorsOfRfc4648) {
    const char* const rows[][2] = {{"", ""},
                                   {"f", "Zg=="},
                                   {"fo", "Zm8="},
                                   {"foo", "Zm9v"},
                                   {"foob", "Zm9vYg=="},
                                   {"fooba", "Zm9vYmE="},
                                   {"foobar", "Zm9vYmFy"}};
    for (const auto& row : rows) {
        EXPECT_EQ(base64(row[0]), row[1]);
    }
    EXPECT_EQ(base64("\xFB\xFF\x00"s), "+/8A");
}

TEST(NtripProtocolTest, ReadsTheHeadsOfCastersReplies) {
    const std::string table = "SOURCETABLE 200 OK\r\nServer: NTRIP Caster 2.0\r\nContent-Type: text/plain\r\n\r\n";
    const std::string v2table =
        "HTTP/1.1 200 OK\r\ncontent-type: GNSS/Sourcetable\r\nTRANSFER-ENCODING: Chunked\r\n\r\n";
    const std::string padded = "HTTP/1.1 200 OK\r\n" + std::string(16 * 1024, 'x');
    const struct {
        std::string received;
        std::string asked;
        NtripReply::Kind kind;
        std::string bodyOrRefusal; // the body for STREAM and SOURCE_TABLE, a part of the refusal for REFUSED
        bool chunked = false;
    } rows[] = {
        {"ICY 200 OK\r\n\xD3\x00\x13"s, "M", NtripReply::STREAM, "\xD3\x00\x13"s},
        {"ICY 200 OK\r\n\r\n\xD3\r\n"s, "M", NtripReply::STREAM, "\xD3\r\n"s},
        {"ICY 200 OK\r\n\r", "M", NtripReply::STREAM, "\r"}, // a CRLF that comes after the head is kept
        {"ICY 200 OK", "M", NtripReply::INCOMPLETE, ""},
        {"HTTP/1.1 200 OK\r\nContent-Type: gnss/data\r\nTransfer-Encoding: chunked\r\n\r\n5\r\n", "M",
         NtripReply::STREAM, "5\r\n", true},
        {"HTTP/1.0 200 OK\r\nServer: x\r\n\r\n\xD3", "M", NtripReply::STREAM, "\xD3"},
        {"HTTP/1.1 200 OK\r\n\r\n", "M", NtripReply::STREAM, ""},
        {"HTTP/1.1 200 OK\r\nContent-Type: gnss/data\r\n", "M", NtripReply::INCOMPLETE, ""},
        {v2table + "STR;", "", NtripReply::SOURCE_TABLE, "STR;", true},
        {v2table, "M", NtripReply::REFUSED, "mountpoint not found"},
        {table + "CAS;", "", NtripReply::SOURCE_TABLE, "CAS;"},
        {table, "RTCM3", NtripReply::REFUSED, "mountpoint not found"},
        {"SOURCETABLE 200 OK\r\n", "RTCM3", NtripReply::REFUSED, "mountpoint not found"},
        {"SOURCETABLE 200 OK\r\nServer:", "", NtripReply::INCOMPLETE, ""},
        {"HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"/M\"\r\n\r\n", "M", NtripReply::REFUSED,
         "401 Unauthorized"},
        {"HTTP/1.0 401 Not Authorized\r\n", "M", NtripReply::REFUSED, "401 Unauthorized"},
        {"HTTP/1.1 404 Not Found", "M", NtripReply::INCOMPLETE, ""},
        {"HTTP/1.1 404 Not Found\r\n", "M", NtripReply::REFUSED, "mountpoint not found"},
        {"HTTP/1.1 403 Forbidden\r\n\r\n", "M", NtripReply::REFUSED, "403 Forbidden"},
        {"HTTP/1.1 503\r\n", "M", NtripReply::REFUSED, "503"},
        {"HTTP/1.1 2000 OK\r\n", "M", NtripReply::REFUSED, "not an NTRIP caster: HTTP/1.1 2000 OK"},
        {"SSH-2.0-OpenSSH_9.2p1\r\n", "M", NtripReply::REFUSED, "not an NTRIP caster: SSH-2.0-OpenSSH_9.2p1"},
        {"\r\n", "M", NtripReply::REFUSED, "not an NTRIP caster: an empty line"},
        {"\xD3\x00\x13"
         "A\xD0\r\n"s,
         "M", NtripReply::REFUSED, "not an NTRIP caster: ???A?"},
        {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n", "M", NtripReply::REFUSED,
         "not an NTRIP caster: $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M..."},
        {std::string(16 * 1024 - 1, 'x'), "M", NtripReply::INCOMPLETE, ""},
        {std::string(16 * 1024, 'x'), "M", NtripReply::REFUSED, "not an NTRIP caster"},
        {padded.substr(0, padded.size() - 18), "M", NtripReply::INCOMPLETE, ""},
        {padded, "M", NtripReply::REFUSED, "not an NTRIP caster"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.received.substr(0, 80));
        const NtripReply reply = readNtripReply(row.received, row.asked);
        ASSERT_EQ(reply.kind, row.kind) << reply.refusal;
        if (reply.kind == NtripReply::STREAM || reply.kind == NtripReply::SOURCE_TABLE) {
            EXPECT_EQ(row.received.substr(reply.headLength), row.bodyOrRefusal);
            EXPECT_EQ(reply.chunked, row.chunked);
        } else if (reply.kind == NtripReply::REFUSED) {
            EXPECT_NE(reply.refusal.find(row.bodyOrRefusal), std::string::npos) << reply.refusal;
        }
        // Until its first line has ended, and for a 2.0 reply or a source table its head, a reply is incomplete.
        const bool icy = row.received.starts_with("ICY");
        const std::size_t decided = reply.kind == NtripReply::REFUSED || icy || reply.kind == NtripReply::INCOMPLETE
                                        ? row.received.find("\r\n") + 2
                                        : reply.headLength;
        for (std::size_t n = 0; n < std::min(decided, row.received.size()); ++n) {
            EXPECT_EQ(readNtripReply(row.received.substr(0, n), row.asked).kind, NtripReply::INCOMPLETE) << n;
        }
    }
}

std::string decoded(const std::string& body, const std::vector<std::size_t>& cuts, bool& framed, bool& ended) {
    ChunkedDecoder decoder;
    std::string out;
    std::size_t from = 0;
    framed = true;
    for (const std::size_t cut : cuts) {
        framed = framed && decoder.feed(body.data() + from, cut - from, out);
        from = cut;
    }
    framed = framed && decoder.feed(body.data() + from, body.size() - from, out);
    ended = decoder.ended();
    return out;
}

TEST(ChunkedDecoderTest, TakesChunksApartHoweverTheyArrive) {
    std::string data;
    for (int i = 0; i < 256; ++i) {
        data += static_cast<char>(i);
    }
    const std::string body = "1\r\n" + data.substr(0, 1) + "\r\n1a;name=\"v\"\r\n" + data.substr(1, 26) + "\r\nE5\r\n" +
                             data.substr(27) + "\r\n0\r\nX-Checksum: 1\r\n\r\nNot the body's";
    bool framed = false;
    bool ended = false;
    for (std::size_t i = 0; i <= body.size(); ++i) {
        for (std::size_t j = i; j <= body.size(); ++j) {
            ASSERT_EQ(decoded(body, {i, j}, framed, ended), data) << i << " " << j;
            ASSERT_TRUE(framed && ended) << i << " " << j;
        }
    }
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < body.size(); ++i) {
        everyByte.push_back(i);
    }
    EXPECT_EQ(decoded(body, everyByte, framed, ended), data);
    EXPECT_TRUE(framed && ended);

    const struct {
        std::string body;
        bool framed;
        bool ended;
    } rows[] = {
        {"0\r\n\r\n", true, true},
        {"0;last\r\nA: b\r\n\r\n", true, true},
        {"0\r\n", true, false},
        {"fffffffffffffff\r\n", true, false},
        {"\r\n", false, false},
        {"g\r\n", false, false},
        {" 5\r\nhello\r\n", false, false},
        {"5\nhello\r\n", false, false},
        {"5\rhello\r\n", false, false},
        {"5;x\nhello\r\n", false, false},
        {"5\r\nhelloX\r\n", false, false},
        {"5\r\nhello\rX", false, false},
        {"1000000000000000\r\n", false, false},
        {"000000000000000001\r\n", false, false},
    };
    for (const auto& row : rows) {
        for (const auto& cuts : {std::vector<std::size_t>{}, everyByte}) {
            std::vector<std::size_t> inside;
            std::copy_if(cuts.begin(), cuts.end(), std::back_inserter(inside),
                         [&](std::size_t cut) { return cut < row.body.size(); });
            decoded(row.body, inside, framed, ended);
            EXPECT_EQ(framed, row.framed) << row.body;
            EXPECT_EQ(ended, row.ended) << row.body;
        }
    }
}

TEST(SourceTableTest, ReadsTheStreamsAndSkipsTheRest) {
    const std::vector<SourceTableStream> streams = parseSourceTable(
        "CAS;rtk2go.com;2101;NtripCaster;SNIP;0;USA;37.39;-122.09;0.0.0.0;0;http://rtk2go.com\r\n"
        "NET;SNIP;RTK2go;B;N;https://rtk2go.com;none;;none\r\n"
        "STR;BERLIN_RTCM3;Berlin;RTCM 3.2;1004(1),1005(10),1077(1);2;GPS+GLO+GAL;SNIP;DEU;52.52;13.40;0;0;sNTRIP;"
        "none;B;N;9600;\r\n"
        "STR;SHORT;Nowhere;RTCM 3;1004(1);2;GPS;NET;FRA;48.8;2.3\r\n"
        "STR;;No name;RTCM 3;1004(1);2;GPS;NET;FRA;48.8;2.3;0\r\n"
        "STR;VRS;Net VRS;RTCM 3.1;;2;GPS;NET;AUS;-33.5;151,2;1;1;Trimble;none;B;Y;2400;misc\n"
        "STR;TWELVE;Paris;RTCM 3;;;;;FRA;+48.8;2.35e0;0\n"
        "ENDSOURCETABLE\r\n"
        "STR;AFTER;Past the end;RTCM 3;;;;;FRA;1;1;0\r\n");
    ASSERT_EQ(streams.size(), 3u);
    EXPECT_EQ(streams[0].mountpoint, "BERLIN_RTCM3");
    EXPECT_EQ(streams[0].identifier, "Berlin");
    EXPECT_EQ(streams[0].format, "RTCM 3.2");
    EXPECT_EQ(streams[0].formatDetails, "1004(1),1005(10),1077(1)");
    EXPECT_EQ(streams[0].country, "DEU");
    EXPECT_DOUBLE_EQ(streams[0].latitude, 52.52);
    EXPECT_DOUBLE_EQ(streams[0].longitude, 13.40);
    EXPECT_FALSE(streams[0].needsPosition);
    EXPECT_EQ(streams[1].mountpoint, "VRS");
    EXPECT_DOUBLE_EQ(streams[1].latitude, -33.5);
    EXPECT_EQ(streams[1].longitude, 0); // "151,2" is not a number
    EXPECT_TRUE(streams[1].needsPosition);
    EXPECT_EQ(streams[2].mountpoint, "TWELVE");
    EXPECT_DOUBLE_EQ(streams[2].latitude, 48.8);
    EXPECT_DOUBLE_EQ(streams[2].longitude, 2.35);
}

} // namespace
} // namespace veltaro
