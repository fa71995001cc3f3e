#pragma once

#include "ports/net_socket.h"
#include "ports/port.h"

#include <cstdint>
#include <string>

namespace veltaro {

// An output that sends a device's raw stream over UDP to a host or a broadcast address: each datagram holds whole
// lines, as many as fit in MOST_DATAGRAM bytes; a longer line goes alone.
class UdpOutputPort : public Port {
public:
    static constexpr std::size_t MOST_DATAGRAM = 1400; // fits an Ethernet frame without fragments

    UdpOutputPort(std::string host, std::uint16_t port);
    ~UdpOutputPort() override;

    // A sink only. Refused, with the system's error in the status, for a host that does not resolve.
    bool open(bool asSource, ByteQueue* queue) override;
    std::unique_ptr<char[]> displayName() const override;

private:
    void runReader() override;
    void runWriter() override;
    // Sends the whole lines of pending, and with flush the rest too; what was sent leaves pending.
    void sendLines(std::string& pending, bool flush);
    void sendDatagram(const char* bytes, std::size_t n);

    std::string host;
    std::uint16_t port;
    Socket socket;
    sockaddr_storage destination{};
    int destinationLength = 0;
    std::int64_t droppedLines = 0;
};

} // namespace veltaro
