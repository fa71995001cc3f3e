#pragma once

#include <cstdint>
#include <string>

namespace veltaro {

// How a network source or output carries the stream.
enum class Transport { TCP, UDP };

// Where a network source reads from or an output sends to. A UDP listener has no host.
struct NetworkAddress {
    Transport transport = Transport::TCP;
    std::string host;       // a name or a literal address, without the brackets of an IPv6 one
    std::uint16_t port = 0; // 1 to 65535
};

// Reads a source's address: "tcp://HOST:PORT" for a TCP client, "udp://:PORT" for a UDP listener (a host there is
// refused: a listener takes datagrams from any sender), a bare "HOST:PORT" meaning TCP; "[::1]:PORT" for IPv6.
// Spaces around it are ignored. False with problem set to a sentence for the user naming what is wrong.
bool parseSourceAddress(const std::string& text, NetworkAddress& address, std::string& problem);

// Reads "HOST:PORT" (a UDP output's destination, a caster's address); problem as above.
bool parseHostPort(const std::string& text, std::string& host, std::uint16_t& port, std::string& problem);

// Reads a port number alone: 1 to 65535, decimal digits only; problem as above.
bool parsePort(const std::string& text, std::uint16_t& port, std::string& problem);

// The canonical text of a source's address, as the device is named: "tcp://HOST:PORT", "udp://:PORT"; an IPv6
// host is put in brackets.
std::string addressText(const NetworkAddress& address);

} // namespace veltaro
