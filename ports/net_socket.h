#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <string>

namespace veltaro {

// Starts Winsock once for the process; false with the system's error when it cannot.
bool startWinsock(DWORD& error);

// Owns a socket and closes it.
class Socket {
public:
    Socket() = default;
    explicit Socket(SOCKET socket) : socket(socket) {}
    ~Socket() { reset(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : socket(other.socket) { other.socket = INVALID_SOCKET; }
    Socket& operator=(Socket&& other) noexcept;

    SOCKET get() const { return socket; }
    bool valid() const { return socket != INVALID_SOCKET; }
    void reset(SOCKET replacement = INVALID_SOCKET);

private:
    SOCKET socket = INVALID_SOCKET;
};

// The addresses a host name and port resolve to, freed with it.
class ResolvedAddress {
public:
    ResolvedAddress() = default;
    ~ResolvedAddress();
    ResolvedAddress(const ResolvedAddress&) = delete;
    ResolvedAddress& operator=(const ResolvedAddress&) = delete;

    // Resolves host (empty: any address of this computer, to listen on) for a stream or datagram socket; false
    // with the system's error (WSAHOST_NOT_FOUND for an unknown host).
    bool resolve(const std::string& host, std::uint16_t port, int socketType, DWORD& error, int family = AF_UNSPEC);
    const addrinfo* first() const { return list; }

private:
    addrinfo* list = nullptr;
};

// A socket for address that reports its events (FD_...) on event; invalid with the system's error.
Socket eventSocket(const addrinfo& address, HANDLE event, long events, DWORD& error);

// What ended a wait for a socket's events.
enum class SocketWait { event, stopped, timedOut };
// Waits up to ms for the socket event or the stop signal (null: none).
SocketWait waitForSocket(HANDLE event, HANDLE stopSignal, DWORD ms);

// Connects a TCP socket to host:port, trying each address it resolves to for up to CONNECT_TIMEOUT_MS, its events
// (FD_READ | FD_CLOSE and what events adds) on event. Invalid when it cannot, with the system's error, or when the
// stop signal came first (error 0).
constexpr DWORD CONNECT_TIMEOUT_MS = 10000;
Socket connectTo(const std::string& host, std::uint16_t port, HANDLE event, long events, HANDLE stopSignal,
                 DWORD& error);

// The network events of a socket since it was last asked; false when the socket is gone.
bool takeSocketEvents(SOCKET socket, WSANETWORKEVENTS& events);

// A socket listening (TCP) or bound (UDP) on port of every address of this computer, events on event; invalid with
// the system's error (WSAEADDRINUSE when another program has the port).
Socket boundSocket(std::uint16_t port, int socketType, HANDLE event, long events, DWORD& error);

// The system's words for a socket error, with the short names Wine leaves out.
std::string socketErrorText(DWORD error);

} // namespace veltaro
