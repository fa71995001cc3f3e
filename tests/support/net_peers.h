#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace veltaro::test {

// The network peers of the program's network ports and NTRIP client, written with plain blocking
// Winsock calls on 127.0.0.1, independent of the code under test (as FarEnd is for COM ports). Every
// wait ends after GENEROUS_TIMEOUT_MS.

// A Winsock socket (a SOCKET, kept as its integer so this header needs no Winsock), closed with the object.
class NetSocket {
public:
    static constexpr std::uintptr_t NONE = ~static_cast<std::uintptr_t>(0); // INVALID_SOCKET
    NetSocket() = default;
    explicit NetSocket(std::uintptr_t socket) : handle(socket) {}
    ~NetSocket() { reset(); }
    NetSocket(const NetSocket&) = delete;
    NetSocket& operator=(const NetSocket&) = delete;

    bool valid() const { return handle != NONE; }
    std::uintptr_t get() const { return handle; }
    void reset(std::uintptr_t socket = NONE);

private:
    std::uintptr_t handle = NONE;
};

// A TCP server the program connects to as a TCP source, as to a marine multiplexer.
class LineServer {
public:
    explicit LineServer(std::uint16_t port = 0); // 0: an ephemeral port
    LineServer(const LineServer&) = delete;
    LineServer& operator=(const LineServer&) = delete;

    std::uint16_t port() const { return bound; }
    // Accepts one connection, which becomes the current client (closing an earlier one); false on time-out.
    bool waitForClient();
    bool send(const std::string& bytes); // all of them, to the current client
    // Closes the current client: with a reset (SO_LINGER 0) the program sees WSAECONNRESET, else an end.
    void dropClient(bool reset = false);
    int accepted() const { return acceptedCount; }

private:
    NetSocket listener;
    NetSocket client;
    std::uint16_t bound = 0;
    int acceptedCount = 0;
};

// A TCP client of the program's TCP server output. A stalled client is one that does not read for a while.
class StreamReader {
public:
    // receiveBuffer > 0 sets SO_RCVBUF before connecting: a small one (4096) stalls the sender soon.
    explicit StreamReader(std::uint16_t port, int receiveBuffer = 0);
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    bool connected() const { return connection.valid(); }
    bool closedByPeer() const { return ended; }
    std::string read(std::size_t size); // until exactly size bytes arrived, the peer closed or the time-out
    // Reads until done(all read so far) holds, the peer closed or the time-out; returns all it read.
    std::string readUntil(const std::function<bool(const std::string& sofar)>& done);
    std::string readAllUntilClosed();
    bool send(const std::string& bytes); // for a protocol of requests, as to the TestCaster

private:
    bool receiveSome(std::string& into, std::size_t most, unsigned long long deadline);
    NetSocket connection;
    bool ended = false;
};

// Receives UDP datagrams on 0.0.0.0 (so that broadcasts reach it too), without SO_REUSEADDR.
class DatagramListener {
public:
    explicit DatagramListener(std::uint16_t port = 0);
    DatagramListener(const DatagramListener&) = delete;
    DatagramListener& operator=(const DatagramListener&) = delete;

    std::uint16_t port() const { return bound; }
    std::vector<std::string> receive(std::size_t count); // fewer after the time-out
    std::string receiveBytes(std::size_t size);          // datagrams joined until size bytes or the time-out

private:
    bool receiveOne(std::string& datagram, unsigned long long deadline);
    NetSocket socket;
    std::uint16_t bound = 0;
};

// Sends UDP datagrams to 127.0.0.1, or to 255.255.255.255 with SO_BROADCAST.
class DatagramSender {
public:
    explicit DatagramSender(std::uint16_t toPort, bool broadcast = false);
    DatagramSender(const DatagramSender&) = delete;
    DatagramSender& operator=(const DatagramSender&) = delete;

    bool send(const std::string& datagram);

private:
    NetSocket socket;
    std::uint16_t toPort;
    bool broadcast;
};

// A port number free at the time of the call (bound as port 0, read, closed), to give the program.
std::uint16_t freeUdpPort();
std::uint16_t freeTcpPort();

// CRC-24Q of RTCM 3 (polynomial 0x1864CFB, initial value 0), over a frame's header and payload.
std::uint32_t crc24q(const std::string& bytes);

// Deterministic "recorded correction" bytes: RTCM 3 frames with a valid CRC, message numbers cycling
// through 1005, 1074, 1084, 1094, 1124 and 1230 and pseudo-random payloads, at least size bytes in all.
std::string sampleCorrections(std::size_t size);

// A small NTRIP caster on a thread of its own, serving one client connection at a time until destroyed.
class TestCaster {
public:
    struct Options {
        std::string mountpoint = "TEST";
        std::string user = "rover";
        std::string password = "secret";
        std::string corrections; // the bytes streamed to an accepted client, any bytes at all
        bool version2 = true;    // answers NTRIP 2.0 requests as 2.0 (HTTP/1.1 200, chunked)
        std::size_t chunk = 137; // bytes per send, and per chunk of a 2.0 stream
    };

    explicit TestCaster(Options options);
    ~TestCaster();
    TestCaster(const TestCaster&) = delete;
    TestCaster& operator=(const TestCaster&) = delete;

    std::uint16_t port() const { return bound; }
    std::vector<std::string> requests() const; // each request head as received, with its blank line
    std::vector<std::string> ggaLines() const; // lines clients sent after their heads, no CRLF, none empty
    bool waitForGga(std::size_t count);
    int connections() const;
    bool waitForConnections(int count);
    void dropClient(); // closes the current connection (returns once it is closed), to test reconnects

private:
    enum class State { head, streaming, closing };
    void run();
    bool waitUntil(const std::function<bool()>& done); // under mutex, up to the time-out
    void wake();
    void answer(const std::string& head);
    void reply(const std::string& text, bool thenClose);
    void closeClient();

    Options options;
    NetSocket listener;
    NetSocket waker; // a UDP socket sending to itself: a datagram wakes the thread's select()
    std::uint16_t bound = 0;
    // The thread's own:
    NetSocket client;
    State state = State::head;
    std::string input;
    std::deque<std::string> output; // one send each
    std::size_t outputAt = 0;       // sent of output.front()
    unsigned long long closeBy = 0;
    // Shared, under mutex:
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> heads;
    std::vector<std::string> lines;
    int accepts = 0;
    bool dropAsked = false;
    bool stopAsked = false;
    std::thread thread;
};

} // namespace veltaro::test
