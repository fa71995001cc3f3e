#include "ports/network_source_port.h"

#include <vector>

namespace veltaro {

namespace {

constexpr DWORD RECONNECT_MS = 1500; // as a lost COM port is looked for again
// A receiver sends every second: this long without a byte, the connection is taken for dead (a server gone without
// closing it, a phone off its network) and made again.
constexpr DWORD SILENCE_MS = 30000;
constexpr int READ_SIZE = 64 * 1024; // the largest datagram, and a TCP read's share

} // namespace

NetworkSourcePort::NetworkSourcePort(NetworkAddress address) : address(std::move(address)) {}

NetworkSourcePort::~NetworkSourcePort() {
    stop();
}

std::unique_ptr<char[]> NetworkSourcePort::displayName() const {
    return nameCopy(addressText(address));
}

bool NetworkSourcePort::open(bool asSource, ByteQueue* target) {
    if (isOpen) {
        return true;
    }
    if (!asSource) {
        return false;
    }
    queue = target;
    stopFlag = false;
    socketEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    DWORD error = 0;
    if (address.transport == Transport::UDP) {
        socket = boundSocket(address.port, SOCK_DGRAM, socketEvent.get(), FD_READ, error);
        if (!socket.valid()) {
            reportFailure("cannot listen", error);
            return false;
        }
    } else {
        // A host that does not resolve now is a typing error, not a server that is down: refused at once.
        ResolvedAddress resolved;
        if (!resolved.resolve(address.host, address.port, SOCK_STREAM, error)) {
            reportFailure("cannot resolve", error);
            return false;
        }
    }
    startWorker(true);
    return true;
}

void NetworkSourcePort::runWriter() {}

void NetworkSourcePort::runReader() {
    if (address.transport == Transport::UDP) {
        readDatagrams();
        return;
    }
    while (!stopFlag) {
        DWORD error = 0;
        socket = connectTo(address.host, address.port, socketEvent.get(), 0, stopSignal.get(), error);
        if (socket.valid()) {
            reportWorking();
            SocketWait woke = SocketWait::event;
            while (readStream(error) &&
                   (woke = waitForSocket(socketEvent.get(), stopSignal.get(), SILENCE_MS)) == SocketWait::event) {
            }
            if (woke == SocketWait::timedOut) {
                error = WSAETIMEDOUT;
            }
            socket.reset();
            if (stopFlag) {
                return;
            }
            // The server may send from anywhere in its stream once back: the line the drop cut ends here.
            if (queue != nullptr) {
                queue->markBreak();
            }
        }
        if (stopFlag) {
            return;
        }
        reportConnectionLost(error);
        if (WaitForSingleObject(stopSignal.get(), RECONNECT_MS) != WAIT_TIMEOUT) {
            return;
        }
    }
}

bool NetworkSourcePort::readStream(DWORD& error) {
    ResetEvent(socketEvent.get());
    WSANETWORKEVENTS happened{};
    takeSocketEvents(socket.get(), happened); // clears what was recorded; the reads below find out what it was
    std::vector<char> buffer(READ_SIZE);
    // A peer that sends faster than this reads is read again on its next event, once the stop was looked at.
    while (!stopFlag) {
        const int got = recv(socket.get(), buffer.data(), READ_SIZE, 0);
        if (got > 0) {
            deliver(buffer.data(), got);
            continue;
        }
        if (got == 0) {
            error = WSAEDISCON; // the server closed the connection
            return false;
        }
        const int failure = WSAGetLastError();
        if (failure == WSAEWOULDBLOCK) {
            return true;
        }
        error = static_cast<DWORD>(failure);
        return false;
    }
    return true;
}

void NetworkSourcePort::readDatagrams() {
    std::vector<char> buffer(READ_SIZE);
    while (waitForSocket(socketEvent.get(), stopSignal.get(), INFINITE) == SocketWait::event) {
        ResetEvent(socketEvent.get());
        WSANETWORKEVENTS happened{};
        takeSocketEvents(socket.get(), happened);
        while (!stopFlag) {
            const int got = recvfrom(socket.get(), buffer.data(), READ_SIZE, 0, nullptr, nullptr);
            if (got >= 0) {
                deliver(buffer.data(), got);
                continue;
            }
            // A datagram too large or an ICMP report is passed over; anything else waits for the next event.
            const int failure = WSAGetLastError();
            if (failure != WSAEMSGSIZE && failure != WSAECONNRESET) {
                break;
            }
        }
    }
    socket.reset();
}

} // namespace veltaro
