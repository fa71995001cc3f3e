#include "gps/gps_device.h"
#include "ports/network_source_port.h"
#include "ports/serial_port.h"
#include "ports/tcp_server_port.h"
#include "ports/udp_output_port.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/net_peers.h"
#include "support/scripted_port.h"
#include "support/windows_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace veltaro {
namespace {

std::string capture(const char* name) {
    return test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + name);
}

std::vector<std::string> linesOf(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = bytes.find('\n'); end != std::string::npos; end = bytes.find('\n', start)) {
        lines.push_back(bytes.substr(start, end + 1 - start));
        start = end + 1;
    }
    return lines;
}

// Every whole line of part is a line of whole, in the same order: lines may be missing, none is cut or made up.
bool wholeLinesInOrder(const std::string& part, const std::string& whole) {
    const std::vector<std::string> all = linesOf(whole);
    auto at = all.begin();
    for (const std::string& line : linesOf(part)) {
        at = std::find(at, all.end(), line);
        if (at == all.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

TEST(NetworkSourceTest, TcpReconnectsAfterADropAndNeverJoinsTheCutLine) {
    const std::string first = capture("garmin48.nmea") + "$GPGGA,235959,4807.0";
    const std::string second = "38,N,00231.000,W,2,08,0.9,545.4,M,46.9,M,,*47\r\n" +
                               test::sealed("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") + "\r\n";
    test::LineServer server;
    NetworkSourcePort port({Transport::TCP, "127.0.0.1", server.port()});
    ByteQueue queue;
    ASSERT_TRUE(port.initialize());
    ASSERT_TRUE(port.open(true, &queue));
    ASSERT_TRUE(server.waitForClient());
    ASSERT_TRUE(server.send(first));
    ASSERT_TRUE(test::pollUntil([&] { return port.status().bytes == std::int64_t(first.size()); }));

    server.dropClient(true);
    ASSERT_TRUE(test::pollUntil([&] { return port.status().reconnecting; }));
    EXPECT_STREQ(port.status().failure, "connection lost");
    ASSERT_TRUE(server.waitForClient()) << "connects again";
    ASSERT_TRUE(test::pollUntil([&] { return port.status().failure == nullptr; }));
    ASSERT_TRUE(server.send(second));
    ASSERT_TRUE(test::pollUntil([&] { return port.status().bytes == std::int64_t(first.size() + second.size()); }));
    port.stop();

    // The GGA the drop cut comes out cut, and the rest of the line the server sent once back stands alone: the
    // two halves would read as a fix at a place never reported.
    queue.signalStop();
    std::vector<std::string> cutLines;
    int count = 0;
    bool wasCut = false;
    while (std::unique_ptr<char[]> line = queue.readLine(count, wasCut)) {
        EXPECT_EQ(std::string(line.get()).find("4807.038"), std::string::npos) << line.get();
        if (wasCut) {
            cutLines.emplace_back(line.get());
        }
    }
    EXPECT_EQ(cutLines, std::vector<std::string>{"$GPGGA,235959,4807.0"});
}

TEST(NetworkSourceTest, UdpTakesDatagramsFromAnySenderBroadcastsIncluded) {
    const std::uint16_t listening = test::freeUdpPort();
    NetworkSourcePort port({Transport::UDP, "", listening});
    ByteQueue queue;
    ASSERT_TRUE(port.initialize());
    ASSERT_TRUE(port.open(true, &queue));
    const std::string line = test::sealed("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") + "\r\n";
    test::DatagramSender direct(listening);
    test::DatagramSender broadcast(listening, true);
    ASSERT_TRUE(direct.send(line));
    ASSERT_EQ(test::receive(queue, line.size()), line);
    ASSERT_TRUE(broadcast.send(line + line));
    EXPECT_EQ(test::receive(queue, 2 * line.size()), line + line);
}

TEST(NetworkSourceTest, BadAddressesAreRefusedWithTheSystemsReason) {
    test::DatagramListener takenUdp;
    test::LineServer takenTcp;
    struct Case {
        const char* what;
        std::unique_ptr<Port> port;
        bool asSource;
        DWORD error;
    };
    Case cases[] = {
        {"unknown host", std::make_unique<NetworkSourcePort>(NetworkAddress{Transport::TCP, "no-such-host.invalid", 1}),
         true, WSAHOST_NOT_FOUND},
        {"UDP port in use", std::make_unique<NetworkSourcePort>(NetworkAddress{Transport::UDP, "", takenUdp.port()}),
         true, WSAEADDRINUSE},
        {"TCP port in use", std::make_unique<TcpServerPort>(takenTcp.port()), false, WSAEADDRINUSE},
        {"unknown UDP destination", std::make_unique<UdpOutputPort>("no-such-host.invalid", 10110), false,
         WSAHOST_NOT_FOUND},
    };
    for (Case& c : cases) {
        ByteQueue queue;
        ASSERT_TRUE(c.port->initialize());
        EXPECT_FALSE(c.port->open(c.asSource, &queue)) << c.what;
        EXPECT_EQ(c.port->status().systemError, c.error) << c.what;
    }
}

// A device serving its stream: each client gets it byte for byte from the next whole line after it connects; one
// that does not read loses whole lines, counted, while the log and the other client stay exact.
TEST(TcpServerTest, ClientsGetTheStreamFromTheirFirstWholeLineAndAStalledOneLosesWholeLines) {
    const std::string stream = capture("bundg_zeus_9.nmea");
    const std::uint16_t serving = test::freeTcpPort();
    GpsDevice device(std::make_unique<test::ScriptedPort>("COM3"));
    test::UpdateCounter observer;
    ASSERT_TRUE(device.start(observer.window()));
    const std::string log = test::temporaryPath("served.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    ASSERT_TRUE(device.addEchoPort(std::make_unique<TcpServerPort>(serving)));
    auto* source = static_cast<test::ScriptedPort*>(device.port.get());
    const auto clients = [&] { return device.report().outputs[1].status.clients; };

    test::StreamReader early(serving);
    test::StreamReader stalled(serving, 4096);
    ASSERT_TRUE(test::pollUntil([&] { return clients() == 2; }));
    // The server joined the stream in the middle of a line: its clients start at the next.
    const std::string joinedAt = "231.6,,,1.3,E*31\r\n";
    const std::size_t cut = stream.find('\n', 1000) + 20; // in the middle of a line
    source->send(joinedAt + stream.substr(0, cut));
    ASSERT_EQ(early.read(cut), stream.substr(0, cut));
    test::StreamReader late(serving);
    ASSERT_TRUE(test::pollUntil([&] { return clients() == 3; }));

    // The rest, many times over: far more than a client's backlog and its socket's buffers hold, in bursts the
    // readers keep up with.
    std::string flood = stream.substr(cut);
    for (int i = 0; i < 40; ++i) {
        flood += stream;
    }
    const std::size_t lateSkips = flood.find('\n') + 1; // the rest of the line it came in on
    constexpr std::size_t BURST = 64 * 1024;
    for (std::size_t at = 0; at < flood.size(); at += BURST) {
        const std::string burst = flood.substr(at, BURST);
        source->send(burst);
        ASSERT_EQ(early.read(burst.size()), burst) << "at " << at;
        const std::size_t from = std::max(at, lateSkips);
        const std::size_t end = at + burst.size();
        if (end > from) {
            ASSERT_EQ(late.read(end - from), flood.substr(from, end - from)) << "at " << at;
        }
    }
    ASSERT_TRUE(test::pollUntil([&] { return device.report().outputs[1].status.droppedLines > 0; }));
    EXPECT_EQ(device.report().outputs[1].status.droppedFor, 1);

    device.stopOutput(1);
    const std::string got = stalled.readAllUntilClosed();
    EXPECT_TRUE(stalled.closedByPeer()) << "stopping the output closes its clients";
    EXPECT_LT(got.size(), stream.size() + flood.size() - cut) << "lines were dropped";
    // What the client had not taken by the stop's deadline is given up: its last line may end short.
    EXPECT_TRUE(wholeLinesInOrder(got, stream + flood)) << "only whole lines, in order";
    device.stop();
    EXPECT_EQ(test::readFile(log), joinedAt + stream.substr(0, cut) + flood);
}

TEST(UdpOutputTest, DatagramsCarryWholeLinesUpToTheirSize) {
    const std::string capture9 = capture("bundg_zeus_9.nmea");
    const std::string stream = capture9.substr(0, capture9.find('\n', 20000) + 1);
    test::DatagramListener listener;
    UdpOutputPort port("127.0.0.1", listener.port());
    ByteQueue queue;
    ASSERT_TRUE(port.initialize());
    ASSERT_TRUE(port.open(false, &queue));
    // Joined in the middle of a line, then in odd pieces as a receiver's bursts come: a datagram never holds half a
    // line.
    queue.append("1.3,E*31\r\n", 10);
    for (std::size_t at = 0; at < stream.size(); at += 777) {
        queue.append(stream.data() + at, static_cast<int>(std::min<std::size_t>(777, stream.size() - at)));
    }
    std::string joined;
    std::size_t datagrams = 0;
    while (joined.size() < stream.size()) {
        const std::vector<std::string> got = listener.receive(1);
        ASSERT_EQ(got.size(), 1u) << "after " << joined.size() << " bytes";
        EXPECT_LE(got[0].size(), UdpOutputPort::MOST_DATAGRAM);
        EXPECT_EQ(got[0].back(), '\n');
        joined += got[0];
        ++datagrams;
    }
    EXPECT_EQ(joined, stream);
    EXPECT_LT(datagrams, stream.size() / 200) << "lines are gathered, not sent one by one";
}

TEST(UdpOutputTest, BroadcastReachesAListener) {
    test::DatagramListener listener;
    UdpOutputPort port("255.255.255.255", listener.port());
    ByteQueue queue;
    ASSERT_TRUE(port.initialize());
    ASSERT_TRUE(port.open(false, &queue));
    const std::string line = test::sealed("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") + "\r\n";
    queue.append(line.data(), static_cast<int>(line.size()));
    EXPECT_EQ(listener.receiveBytes(line.size()), line);
}

// The receiver on COM5 (far end COM15) sends its fix; the caster's corrections reach it unchanged, and the caster
// hears the fix back, again and again.
TEST(NtripClientTest, CorrectionsReachTheReceiverAndTheCasterHearsItsPosition) {
    const std::string gga = test::sealed("$GPGGA,120000,5224.600,N,01303.000,E,1,08,0.9,45.4,M,46.9,M,,");
    for (const bool version2 : {true, false}) {
        SCOPED_TRACE(version2 ? "NTRIP 2.0" : "NTRIP 1.0");
        test::TestCaster::Options options;
        options.corrections = test::sampleCorrections(50000);
        options.version2 = version2;
        test::TestCaster caster(options);
        GpsDevice device(std::make_unique<SerialPort>(5, 4800));
        test::UpdateCounter observer;
        ASSERT_TRUE(device.start(observer.window()));
        test::FarEnd receiver(15);
        ASSERT_TRUE(receiver.write(gga + "\r\n"));
        ASSERT_TRUE(test::pollUntil([&] { return device.parser->linesDecoded() == 1; }));

        ASSERT_TRUE(device.startCorrections({"127.0.0.1", caster.port(), "TEST", "rover", "secret"}, 200));
        EXPECT_EQ(receiver.read(options.corrections.size()), options.corrections);
        ASSERT_TRUE(caster.waitForGga(3));
        EXPECT_EQ(caster.ggaLines()[2], gga);
        const CorrectionsStatus status = *device.report().corrections;
        EXPECT_EQ(status.bytes, static_cast<std::int64_t>(options.corrections.size()));
        EXPECT_EQ(status.failure, nullptr);
        // A caster that drops the stream is asked again.
        caster.dropClient();
        ASSERT_TRUE(caster.waitForConnections(2));
        device.stop();
    }
}

TEST(NtripClientTest, RefusalsAreReportedAsTheCasterSaidThem) {
    const struct {
        const char* mountpoint;
        const char* password;
        const char* refusal;
    } cases[] = {
        {"TEST", "wrong", "401 Unauthorized"},
        {"NOPE", "secret", "mountpoint not found"},
    };
    test::TestCaster::Options options;
    options.corrections = test::sampleCorrections(1000);
    test::TestCaster caster(options);
    for (const auto& c : cases) {
        GpsDevice device(std::make_unique<SerialPort>(5, 4800));
        test::UpdateCounter observer;
        ASSERT_TRUE(device.start(observer.window()));
        ASSERT_TRUE(device.startCorrections({"127.0.0.1", caster.port(), c.mountpoint, "rover", c.password}));
        ASSERT_TRUE(test::pollUntil([&] { return device.report().corrections->failure != nullptr; })) << c.refusal;
        EXPECT_EQ(device.report().corrections->refusal, c.refusal);
        EXPECT_EQ(device.report().corrections->bytes, 0);
        device.stop();
    }
}

} // namespace
} // namespace veltaro
