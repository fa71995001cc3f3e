#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/net_peers.h"

#include "core/ntrip_protocol.h"
#include "support/windows_support.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace veltaro::test {
namespace {

void startWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

sockaddr_in address(u_long host, std::uint16_t port) {
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_addr.s_addr = htonl(host);
    result.sin_port = htons(port);
    return result;
}

bool bindTo(SOCKET socket, u_long host, std::uint16_t port) {
    const sockaddr_in at = address(host, port);
    return bind(socket, reinterpret_cast<const sockaddr*>(&at), sizeof at) == 0;
}

std::uint16_t boundPort(SOCKET socket) {
    sockaddr_in at{};
    int size = sizeof at;
    return getsockname(socket, reinterpret_cast<sockaddr*>(&at), &size) == 0 ? ntohs(at.sin_port) : 0;
}

unsigned long long deadlineFromNow() {
    return GetTickCount64() + GENEROUS_TIMEOUT_MS;
}

// Waits until the socket can be read (or written) without blocking; false at the deadline.
bool waitFor(SOCKET socket, bool write, unsigned long long deadline) {
    const unsigned long long now = GetTickCount64();
    const unsigned long long left = deadline > now ? deadline - now : 0;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket, &set);
    timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
    return select(0, write ? nullptr : &set, write ? &set : nullptr, nullptr, &wait) == 1;
}

void setOption(SOCKET socket, int name, int value) {
    setsockopt(socket, SOL_SOCKET, name, reinterpret_cast<const char*>(&value), sizeof value);
}

bool sendAll(SOCKET socket, const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const int n =
            send(socket, bytes.data() + at, static_cast<int>(std::min<std::size_t>(bytes.size() - at, 65536)), 0);
        if (n <= 0) {
            return false;
        }
        at += static_cast<std::size_t>(n);
    }
    return true;
}

std::uint16_t freePort(int type, u_long host) {
    startWinsock();
    NetSocket probe(socket(AF_INET, type, 0));
    return probe.valid() && bindTo(probe.get(), host, 0) ? boundPort(probe.get()) : 0;
}

char byte(std::uint32_t value) {
    return static_cast<char>(value & 0xFF);
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The value of a request header, the name matched without regard to case; empty if absent.
std::string headerValue(const std::string& head, const std::string& name) {
    for (std::size_t at = head.find("\r\n"); at != std::string::npos && at + 2 < head.size();) {
        const std::size_t end = head.find("\r\n", at + 2);
        const std::string line = head.substr(at + 2, end - at - 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && lower(line.substr(0, colon)) == lower(name)) {
            const std::size_t start = line.find_first_not_of(' ', colon + 1);
            return start == std::string::npos ? std::string()
                                              : line.substr(start, line.find_last_not_of(' ') + 1 - start);
        }
        at = end;
    }
    return {};
}

std::string hex(std::size_t n) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[n % 16]);
        n /= 16;
    } while (n != 0);
    return digits;
}

} // namespace

void NetSocket::reset(std::uintptr_t socket) {
    if (valid()) {
        closesocket(handle);
    }
    handle = socket;
}

LineServer::LineServer(std::uint16_t port) {
    startWinsock();
    listener.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (bindTo(listener.get(), INADDR_LOOPBACK, port) && listen(listener.get(), SOMAXCONN) == 0) {
        bound = boundPort(listener.get());
    }
}

bool LineServer::waitForClient() {
    if (!waitFor(listener.get(), false, deadlineFromNow())) {
        return false;
    }
    const SOCKET accepted = accept(listener.get(), nullptr, nullptr);
    if (accepted == INVALID_SOCKET) {
        return false;
    }
    client.reset(accepted);
    ++acceptedCount;
    setOption(accepted, SO_SNDTIMEO, static_cast<int>(GENEROUS_TIMEOUT_MS)); // a send into a stalled program ends
    return true;
}

bool LineServer::send(const std::string& bytes) {
    return client.valid() && sendAll(client.get(), bytes);
}

void LineServer::dropClient(bool reset) {
    if (!client.valid()) {
        return;
    }
    if (reset) {
        const linger hard{1, 0};
        setsockopt(client.get(), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    } else {
        shutdown(client.get(), SD_SEND);
    }
    client.reset();
}

StreamReader::StreamReader(std::uint16_t port, int receiveBuffer) {
    startWinsock();
    connection.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (receiveBuffer > 0) {
        setOption(connection.get(), SO_RCVBUF, receiveBuffer);
    }
    setOption(connection.get(), SO_SNDTIMEO, static_cast<int>(GENEROUS_TIMEOUT_MS));
    const sockaddr_in to = address(INADDR_LOOPBACK, port);
    if (connect(connection.get(), reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
        connection.reset();
    }
}

bool StreamReader::receiveSome(std::string& into, std::size_t most, unsigned long long deadline) {
    if (ended || !connected() || !waitFor(connection.get(), false, deadline)) {
        return false;
    }
    char buffer[65536];
    const int n = recv(connection.get(), buffer, static_cast<int>(std::min(most, sizeof buffer)), 0);
    if (n <= 0) {
        ended = true; // closed, or reset
        return false;
    }
    into.append(buffer, static_cast<std::size_t>(n));
    return true;
}

std::string StreamReader::read(std::size_t size) {
    std::string received;
    const unsigned long long deadline = deadlineFromNow();
    while (received.size() < size && receiveSome(received, size - received.size(), deadline)) {
    }
    return received;
}

std::string StreamReader::readUntil(const std::function<bool(const std::string& sofar)>& done) {
    std::string received;
    const unsigned long long deadline = deadlineFromNow();
    while (!done(received) && receiveSome(received, 65536, deadline)) {
    }
    return received;
}

std::string StreamReader::readAllUntilClosed() {
    return readUntil([](const std::string&) { return false; });
}

bool StreamReader::send(const std::string& bytes) {
    return connected() && sendAll(connection.get(), bytes);
}

DatagramListener::DatagramListener(std::uint16_t port) {
    startWinsock();
    socket.reset(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (bindTo(socket.get(), INADDR_ANY, port)) {
        bound = boundPort(socket.get());
    }
}

bool DatagramListener::receiveOne(std::string& datagram, unsigned long long deadline) {
    std::string buffer(65536, '\0');
    while (waitFor(socket.get(), false, deadline)) {
        const int n = recvfrom(socket.get(), buffer.data(), static_cast<int>(buffer.size()), 0, nullptr, nullptr);
        if (n >= 0) {
            datagram = buffer.substr(0, static_cast<std::size_t>(n));
            return true;
        }
        if (WSAGetLastError() != WSAECONNRESET) { // an ICMP port-unreachable report: wait for the next
            return false;
        }
    }
    return false;
}

std::vector<std::string> DatagramListener::receive(std::size_t count) {
    std::vector<std::string> datagrams;
    const unsigned long long deadline = deadlineFromNow();
    std::string datagram;
    while (datagrams.size() < count && receiveOne(datagram, deadline)) {
        datagrams.push_back(datagram);
    }
    return datagrams;
}

std::string DatagramListener::receiveBytes(std::size_t size) {
    std::string bytes;
    const unsigned long long deadline = deadlineFromNow();
    std::string datagram;
    while (bytes.size() < size && receiveOne(datagram, deadline)) {
        bytes += datagram;
    }
    return bytes;
}

DatagramSender::DatagramSender(std::uint16_t toPort, bool broadcast) : toPort(toPort), broadcast(broadcast) {
    startWinsock();
    socket.reset(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    if (broadcast) {
        setOption(socket.get(), SO_BROADCAST, 1);
    }
}

bool DatagramSender::send(const std::string& datagram) {
    const sockaddr_in to = address(broadcast ? INADDR_BROADCAST : INADDR_LOOPBACK, toPort);
    return sendto(socket.get(), datagram.data(), static_cast<int>(datagram.size()), 0,
                  reinterpret_cast<const sockaddr*>(&to), sizeof to) == static_cast<int>(datagram.size());
}

std::uint16_t freeUdpPort() {
    return freePort(SOCK_DGRAM, INADDR_ANY); // free on every address, as the program may bind one
}

std::uint16_t freeTcpPort() {
    return freePort(SOCK_STREAM, INADDR_LOOPBACK);
}

std::uint32_t crc24q(const std::string& bytes) {
    std::uint32_t crc = 0;
    for (const unsigned char b : bytes) {
        crc ^= static_cast<std::uint32_t>(b) << 16;
        for (int bit = 0; bit < 8; ++bit) {
            crc <<= 1;
            if (crc & 0x1000000) {
                crc ^= 0x1864CFB;
            }
        }
    }
    return crc & 0xFFFFFF;
}

std::string sampleCorrections(std::size_t size) {
    static const std::uint32_t messages[] = {1005, 1074, 1084, 1094, 1124, 1230};
    std::uint32_t state = 0x2545F491; // xorshift32, the same bytes on every call
    const auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state >> 24;
    };
    std::string all;
    for (std::size_t i = 0; all.size() < size; ++i) {
        const std::uint32_t message = messages[i % 6];
        const std::uint32_t length = 8 + next() % 200;
        std::string frame{'\xD3', byte(length >> 8), byte(length)};
        frame += byte(message >> 4);
        frame += byte((message & 0x0F) << 4 | (next() & 0x0F));
        for (std::uint32_t j = 2; j < length; ++j) {
            frame += byte(next());
        }
        const std::uint32_t crc = crc24q(frame);
        all += frame + byte(crc >> 16) + byte(crc >> 8) + byte(crc);
    }
    return all;
}

TestCaster::TestCaster(Options chosen) : options(std::move(chosen)) {
    startWinsock();
    options.chunk = std::max<std::size_t>(options.chunk, 1);
    listener.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (bindTo(listener.get(), INADDR_LOOPBACK, 0) && listen(listener.get(), SOMAXCONN) == 0) {
        bound = boundPort(listener.get());
    }
    waker.reset(socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
    bindTo(waker.get(), INADDR_LOOPBACK, 0);
    u_long nonBlocking = 1;
    ioctlsocket(waker.get(), FIONBIO, &nonBlocking);
    ioctlsocket(listener.get(), FIONBIO, &nonBlocking);
    thread = std::thread([this] { run(); });
}

TestCaster::~TestCaster() {
    {
        std::lock_guard guard(mutex);
        stopAsked = true;
    }
    wake();
    thread.join();
}

void TestCaster::wake() {
    const sockaddr_in self = address(INADDR_LOOPBACK, boundPort(waker.get()));
    sendto(waker.get(), "!", 1, 0, reinterpret_cast<const sockaddr*>(&self), sizeof self);
}

std::vector<std::string> TestCaster::requests() const {
    std::lock_guard guard(mutex);
    return heads;
}

std::vector<std::string> TestCaster::ggaLines() const {
    std::lock_guard guard(mutex);
    return lines;
}

bool TestCaster::waitUntil(const std::function<bool()>& done) {
    std::unique_lock guard(mutex);
    return changed.wait_for(guard, std::chrono::milliseconds(GENEROUS_TIMEOUT_MS), done);
}

bool TestCaster::waitForGga(std::size_t count) {
    return waitUntil([&] { return lines.size() >= count; });
}

int TestCaster::connections() const {
    std::lock_guard guard(mutex);
    return accepts;
}

bool TestCaster::waitForConnections(int count) {
    return waitUntil([&] { return accepts >= count; });
}

void TestCaster::dropClient() {
    {
        std::lock_guard guard(mutex);
        dropAsked = true;
    }
    wake();
    waitUntil([&] { return !dropAsked; });
}

void TestCaster::closeClient() {
    client.reset();
    state = State::head;
    input.clear();
    output.clear();
    outputAt = 0;
}

void TestCaster::reply(const std::string& text, bool thenClose) {
    output.push_back(text);
    if (thenClose) {
        state = State::closing; // sends the reply, ends its side, and waits for the client's end or the next client
        closeBy = deadlineFromNow();
    }
}

void TestCaster::answer(const std::string& head) {
    const std::string request = head.substr(0, head.find("\r\n"));
    const bool two = options.version2 && lower(headerValue(head, "Ntrip-Version")) == "ntrip/2.0";
    if (request.rfind("GET /", 0) != 0) {
        reply("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", true);
        return;
    }
    const std::string mount = request.substr(5, request.find(' ', 5) - 5);
    std::string body = "CAS;127.0.0.1;" + std::to_string(bound) + ";Veltaro test caster;Veltaro;0;DEU;52.41;13.05;";
    body += "0.0.0.0;0;none\r\nNET;VELTARO;Veltaro;B;N;none;none;none;none\r\n";
    body += "STR;" + options.mountpoint + ";Potsdam;RTCM 3.2;1005(10),1074(1),1084(1),1094(1),1124(1),1230(10);2;";
    body += "GPS+GLO+GAL+BDS;VELTARO;DEU;52.41;13.05;1;1;Veltaro;none;B;N;9600;test\r\n";
    body += "STR;OTHER;Wien;RTCM 3.1;1004(1),1005(10),1012(1);2;GPS+GLO;VELTARO;AUT;48.21;16.37;0;0;Veltaro;none;B;N;";
    body += "4800;none\r\nENDSOURCETABLE\r\n";
    const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
    const std::string table =
        two ? "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/sourcetable\r\n" + length +
                  "Connection: close\r\n\r\n" + body
            : "SOURCETABLE 200 OK\r\nServer: NTRIP Veltaro test caster/1.0\r\nContent-Type: text/plain\r\n" + length +
                  "\r\n" + body;
    if (mount.empty() || (mount != options.mountpoint && !two)) {
        reply(table, true); // what NTRIP 1.0 casters answer to an unknown mountpoint too
    } else if (mount != options.mountpoint) {
        reply("HTTP/1.1 404 Not Found\r\nNtrip-Version: Ntrip/2.0\r\nContent-Length: 0\r\nConnection: close\r\n\r\n",
              true);
    } else if (headerValue(head, "Authorization") != "Basic " + base64(options.user + ":" + options.password)) {
        reply("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"/" + options.mountpoint +
                  "\"\r\nContent-Length: 0\r\n\r\n",
              true);
    } else {
        reply(two ? "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/data\r\n"
                    "Transfer-Encoding: chunked\r\n\r\n"
                  : "ICY 200 OK\r\n",
              false);
        state = State::streaming;
        for (std::size_t at = 0; at < options.corrections.size(); at += options.chunk) {
            const std::string piece = options.corrections.substr(at, options.chunk);
            output.push_back(two ? hex(piece.size()) + "\r\n" + piece + "\r\n" : piece);
        }
    }
}

void TestCaster::run() {
    for (;;) {
        fd_set readable;
        fd_set writable;
        FD_ZERO(&readable);
        FD_ZERO(&writable);
        FD_SET(waker.get(), &readable);
        // An answered client that has not closed yet gives way to the next one.
        const bool lingering = client.valid() && state == State::closing && output.empty();
        if (!client.valid() || lingering) {
            FD_SET(listener.get(), &readable);
        }
        if (client.valid()) {
            FD_SET(client.get(), &readable);
        }
        if (client.valid() && !output.empty()) {
            FD_SET(client.get(), &writable);
        }
        const unsigned long long now = GetTickCount64();
        const unsigned long long left = closeBy > now ? closeBy - now : 0;
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
        select(0, &readable, &writable, nullptr, client.valid() && state == State::closing ? &wait : nullptr);
        char drained[16];
        while (recv(waker.get(), drained, sizeof drained, 0) > 0) {
        }
        {
            std::lock_guard guard(mutex);
            if (stopAsked) {
                return;
            }
            if (dropAsked) {
                closeClient();
                dropAsked = false;
                changed.notify_all();
                continue;
            }
        }
        if (lingering && FD_ISSET(listener.get(), &readable)) {
            closeClient();
        }
        if (!client.valid()) {
            const SOCKET accepted = accept(listener.get(), nullptr, nullptr);
            if (accepted != INVALID_SOCKET) {
                u_long nonBlocking = 1;
                ioctlsocket(accepted, FIONBIO, &nonBlocking);
                client.reset(accepted);
                std::lock_guard guard(mutex);
                ++accepts;
                changed.notify_all();
            }
            continue;
        }
        if (FD_ISSET(client.get(), &readable)) {
            char buffer[4096];
            const int n = recv(client.get(), buffer, sizeof buffer, 0);
            if (n == 0 || (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK)) {
                closeClient();
                continue;
            }
            input.append(buffer, static_cast<std::size_t>(std::max(n, 0)));
            const std::size_t end = state == State::head ? input.find("\r\n\r\n") : std::string::npos;
            if (end != std::string::npos) {
                const std::string head = input.substr(0, end + 4);
                input.erase(0, end + 4);
                {
                    std::lock_guard guard(mutex);
                    heads.push_back(head);
                }
                answer(head);
            }
            for (std::size_t at; state == State::streaming && (at = input.find('\n')) != std::string::npos;) {
                std::string line = input.substr(0, at);
                input.erase(0, at + 1);
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                if (!line.empty()) {
                    std::lock_guard guard(mutex);
                    lines.push_back(line);
                    changed.notify_all();
                }
            }
            if (state == State::closing) {
                input.clear();
            }
        }
        if (FD_ISSET(client.get(), &writable) && !output.empty()) {
            const std::string& piece = output.front();
            const int n = send(client.get(), piece.data() + outputAt, static_cast<int>(piece.size() - outputAt), 0);
            if (n < 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
                closeClient();
                continue;
            }
            outputAt += static_cast<std::size_t>(std::max(n, 0));
            if (outputAt == piece.size()) {
                output.pop_front();
                outputAt = 0;
                if (output.empty() && state == State::closing) {
                    shutdown(client.get(), SD_SEND);
                }
            }
        }
        if (state == State::closing && GetTickCount64() >= closeBy) {
            closeClient();
        }
    }
}

} // namespace veltaro::test
