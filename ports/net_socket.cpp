#include "ports/net_socket.h"

#include "ports/system_error.h"

#include <cstdio>

namespace veltaro {

bool startWinsock(DWORD& error) {
    // Never cleaned up: sockets live until the process ends, as the windows do.
    static const int started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data);
    }();
    error = static_cast<DWORD>(started);
    return started == 0;
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        reset(other.socket);
        other.socket = INVALID_SOCKET;
    }
    return *this;
}

void Socket::reset(SOCKET replacement) {
    if (socket != INVALID_SOCKET) {
        closesocket(socket);
    }
    socket = replacement;
}

ResolvedAddress::~ResolvedAddress() {
    if (list != nullptr) {
        freeaddrinfo(list);
    }
}

bool ResolvedAddress::resolve(const std::string& host, std::uint16_t port, int socketType, DWORD& error, int family) {
    if (!startWinsock(error)) {
        return false;
    }
    if (list != nullptr) {
        freeaddrinfo(list);
        list = nullptr;
    }
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = socketType;
    hints.ai_flags = host.empty() ? AI_PASSIVE : 0;
    const std::string service = std::to_string(port);
    const int result = getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list);
    if (result != 0) {
        list = nullptr;
        error = static_cast<DWORD>(result);
        return false;
    }
    return true;
}

Socket eventSocket(const addrinfo& address, HANDLE event, long events, DWORD& error) {
    Socket made(::socket(address.ai_family, address.ai_socktype, address.ai_protocol));
    if (!made.valid() || WSAEventSelect(made.get(), event, events) != 0) {
        error = static_cast<DWORD>(WSAGetLastError());
        return Socket();
    }
    return made;
}

SocketWait waitForSocket(HANDLE event, HANDLE stopSignal, DWORD ms) {
    const HANDLE handles[] = {stopSignal, event};
    const DWORD count = stopSignal != nullptr ? 2 : 1;
    const DWORD woke = WaitForMultipleObjects(count, stopSignal != nullptr ? handles : handles + 1, FALSE, ms);
    if (woke == WAIT_TIMEOUT) {
        return SocketWait::timedOut;
    }
    return stopSignal != nullptr && woke == WAIT_OBJECT_0 ? SocketWait::stopped : SocketWait::event;
}

Socket connectTo(const std::string& host, std::uint16_t port, HANDLE event, long events, HANDLE stopSignal,
                 DWORD& error) {
    ResolvedAddress resolved;
    if (!resolved.resolve(host, port, SOCK_STREAM, error)) {
        return Socket();
    }
    for (const addrinfo* address = resolved.first(); address != nullptr; address = address->ai_next) {
        ResetEvent(event);
        Socket made = eventSocket(*address, event, FD_CONNECT | FD_READ | FD_CLOSE | events, error);
        if (!made.valid()) {
            continue;
        }
        if (connect(made.get(), address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0 &&
            WSAGetLastError() != WSAEWOULDBLOCK) {
            error = static_cast<DWORD>(WSAGetLastError());
            continue;
        }
        // Waits for the connect's answer. Data or a close that come with it are found by the caller's first read,
        // which it makes at once as the event is set again.
        const ULONGLONG deadline = GetTickCount64() + CONNECT_TIMEOUT_MS;
        for (;;) {
            const ULONGLONG now = GetTickCount64();
            const SocketWait woke =
                waitForSocket(event, stopSignal, now >= deadline ? 0 : static_cast<DWORD>(deadline - now));
            if (woke == SocketWait::stopped) {
                error = 0;
                return Socket();
            }
            if (woke == SocketWait::timedOut) {
                error = WSAETIMEDOUT;
                break;
            }
            ResetEvent(event);
            WSANETWORKEVENTS happened{};
            if (!takeSocketEvents(made.get(), happened)) {
                error = static_cast<DWORD>(WSAGetLastError());
                break;
            }
            if ((happened.lNetworkEvents & FD_CONNECT) == 0) {
                continue;
            }
            error = static_cast<DWORD>(happened.iErrorCode[FD_CONNECT_BIT]);
            if (error != 0) {
                break;
            }
            SetEvent(event);
            return made;
        }
    }
    return Socket();
}

bool takeSocketEvents(SOCKET socket, WSANETWORKEVENTS& events) {
    return WSAEnumNetworkEvents(socket, nullptr, &events) == 0;
}

Socket boundSocket(std::uint16_t port, int socketType, HANDLE event, long events, DWORD& error) {
    // IPv4 only: a dual-stack socket would need IPv6 switched on in the system, which Wine's hosts often lack, and
    // receivers' peers speak IPv4.
    if (!startWinsock(error)) {
        return Socket();
    }
    Socket made(::socket(AF_INET, socketType, socketType == SOCK_STREAM ? IPPROTO_TCP : IPPROTO_UDP));
    if (!made.valid()) {
        error = static_cast<DWORD>(WSAGetLastError());
        return Socket();
    }
    // A UDP port another program has is refused, not shared, even with one that asks to share: the user must know
    // it is taken. Not for TCP, where it would keep the port from being served again while the connections of a
    // stopped server wait out their close; a second listener is refused there all the same.
    if (socketType == SOCK_DGRAM) {
        BOOL exclusive = TRUE;
        setsockopt(made.get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
                   sizeof exclusive);
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(made.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        (socketType == SOCK_STREAM && listen(made.get(), SOMAXCONN) != 0) ||
        WSAEventSelect(made.get(), event, events) != 0) {
        error = static_cast<DWORD>(WSAGetLastError());
        return Socket();
    }
    return made;
}

std::string socketErrorText(DWORD error) {
    if (error == WSAEDISCON) {
        return "The server closed the connection."; // the system's words are for programmers
    }
    std::string text = systemErrorText(error);
    if (!text.empty()) {
        return text;
    }
    // Wine's message table has no words for most socket errors.
    switch (error) {
    case WSAECONNREFUSED:
        return "Connection refused.";
    case WSAECONNRESET:
        return "The connection was reset by the remote host.";
    case WSAECONNABORTED:
        return "The connection was aborted.";
    case WSAETIMEDOUT:
        return "The connection timed out.";
    case WSAEADDRINUSE:
        return "The port is already in use.";
    case WSAEADDRNOTAVAIL:
        return "The address is not available on this computer.";
    case WSAENETUNREACH:
    case WSAEHOSTUNREACH:
        return "The network cannot reach the host.";
    case WSAHOST_NOT_FOUND:
        return "No such host is known.";
    case WSATRY_AGAIN:
        return "The host name could not be looked up now; try again.";
    case WSAEACCES:
        return "Access to the address was denied.";
    default:
        char code[48];
        std::snprintf(code, sizeof code, "Socket error %lu.", static_cast<unsigned long>(error));
        return code;
    }
}

} // namespace veltaro
