#include "ports/udp_output_port.h"

#include "core/network_address.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace veltaro {

namespace {

constexpr std::size_t MOST_PENDING = 64 * 1024; // a "line" longer than this is no NMEA: it goes in pieces

} // namespace

UdpOutputPort::UdpOutputPort(std::string host, std::uint16_t port) : host(std::move(host)), port(port) {}

UdpOutputPort::~UdpOutputPort() {
    stop();
}

std::unique_ptr<char[]> UdpOutputPort::displayName() const {
    // HOST:PORT as a TCP address writes it, brackets and all: a UDP source's address has no host.
    return nameCopy("UDP to " + addressText({Transport::TCP, host, port}).substr(6));
}

bool UdpOutputPort::open(bool asSource, ByteQueue* target) {
    if (isOpen) {
        return true;
    }
    if (asSource) {
        return false;
    }
    queue = target;
    stopFlag = false;
    DWORD error = 0;
    // IPv4 first: "localhost" resolves to ::1 first, where the NMEA listeners of this program and most others are not.
    ResolvedAddress resolved;
    if (!resolved.resolve(host, port, SOCK_DGRAM, error, AF_INET) && !resolved.resolve(host, port, SOCK_DGRAM, error)) {
        reportFailure("cannot resolve", error);
        return false;
    }
    const addrinfo& first = *resolved.first();
    socket.reset(::socket(first.ai_family, first.ai_socktype, first.ai_protocol));
    if (!socket.valid()) {
        reportFailure("cannot send", static_cast<DWORD>(WSAGetLastError()));
        return false;
    }
    BOOL broadcast = TRUE; // a broadcast address is refused without it; other addresses do not mind
    setsockopt(socket.get(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&broadcast), sizeof broadcast);
    std::memcpy(&destination, first.ai_addr, std::min(sizeof destination, static_cast<std::size_t>(first.ai_addrlen)));
    destinationLength = static_cast<int>(first.ai_addrlen);
    startWorker(false);
    return true;
}

void UdpOutputPort::runReader() {}

void UdpOutputPort::runWriter() {
    std::string pending;        // the start of a line whose end has not come
    bool waitingForLine = true; // until the stream's first bytes show whether they begin a line
    for (;;) {
        const bool stopping = stopFlag; // read before the take: what came before the stop is sent
        if (!stopping && queue != nullptr) {
            queue->waitForData();
        }
        int n = 0;
        if (std::unique_ptr<char[]> block = queue != nullptr ? queue->takeAll(n) : nullptr) {
            const char* from = block.get();
            const char* end = from + n;
            // Added in the middle of a line, the output starts at the next: a datagram holds whole lines only.
            if (waitingForLine && !beginsLine(from, static_cast<std::size_t>(n))) {
                const char* lineEnd = std::find(from, end, '\n');
                from = lineEnd == end ? end : lineEnd + 1;
                waitingForLine = lineEnd == end;
            } else {
                waitingForLine = false;
            }
            pending.append(from, static_cast<std::size_t>(end - from));
            sendLines(pending, pending.size() > MOST_PENDING);
        }
        if (stopping) {
            sendLines(pending, true);
            socket.reset();
            return;
        }
    }
}

void UdpOutputPort::sendLines(std::string& pending, bool flush) {
    std::size_t start = 0;
    while (start < pending.size()) {
        // As many whole lines as fit; a longer line alone.
        const std::size_t limit = std::min(pending.size(), start + MOST_DATAGRAM);
        std::size_t end = pending.rfind('\n', limit - 1);
        if (end == std::string::npos || end < start) {
            end = pending.find('\n', limit);
        }
        if (end == std::string::npos) {
            if (!flush) {
                break;
            }
            end = limit - 1; // the rest of a stream that stops, or that never ends a line, in datagram-sized pieces
        }
        sendDatagram(pending.data() + start, end + 1 - start);
        start = end + 1;
    }
    pending.erase(0, start);
}

void UdpOutputPort::sendDatagram(const char* bytes, std::size_t n) {
    if (sendto(socket.get(), bytes, static_cast<int>(n), 0, reinterpret_cast<const sockaddr*>(&destination),
               destinationLength) >= 0) {
        countWritten(static_cast<std::int64_t>(n));
        reportWorking();
        return;
    }
    // UDP keeps nothing for later: the lines are gone, and said to be.
    droppedLines += std::max<std::int64_t>(std::count(bytes, bytes + n, '\n'), 1);
    reportFailure("cannot send", static_cast<DWORD>(WSAGetLastError()));
    reportDroppedLines(droppedLines);
}

} // namespace veltaro
