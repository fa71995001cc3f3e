#pragma once

#include "core/network_address.h"
#include "ports/net_socket.h"
#include "ports/port.h"

namespace veltaro {

// A Port that reads a receiver's stream from the network: as a TCP client of a server (a multiplexer, a phone app,
// a daemon serving raw NMEA), or as a UDP listener taking every datagram sent to its port as bytes of the stream. A
// TCP source that cannot connect, or whose connection drops, connects again until stopped; the line a drop cut
// is never read as one with what follows.
class NetworkSourcePort : public Port {
public:
    explicit NetworkSourcePort(NetworkAddress address);
    ~NetworkSourcePort() override;

    // A source only. Refused, with the system's error in the status, for a host that does not resolve or a UDP port
    // another program has.
    bool open(bool asSource, ByteQueue* queue) override;
    std::unique_ptr<char[]> displayName() const override;

private:
    void runReader() override;
    void runWriter() override;
    // Reads what arrived until the socket would block; false when the connection ended (error says why).
    bool readStream(DWORD& error);
    void readDatagrams();

    NetworkAddress address;
    WinHandle socketEvent; // manual reset: the socket's network events
    Socket socket;         // the worker's while it runs
};

} // namespace veltaro
