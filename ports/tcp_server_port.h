#pragma once

#include "ports/echo_backlog.h"
#include "ports/net_socket.h"
#include "ports/port.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace veltaro {

// An output that serves a device's raw stream on a TCP port to any number of programs. Each client gets the
// stream from the next whole line after it connects; one that does not read has whole lines dropped and counted,
// as a stalled echo port does, and never holds up the device or the other clients.
class TcpServerPort : public Port {
public:
    explicit TcpServerPort(std::uint16_t port);
    ~TcpServerPort() override;

    // A sink only. Refused, with the system's error in the status, when the port is taken.
    bool open(bool asSource, ByteQueue* queue) override;
    std::unique_ptr<char[]> displayName() const override;

private:
    struct Client {
        Socket socket;
        EchoBacklog backlog;
        std::string piece;        // taken from the backlog and not yet sent whole
        bool waitingForLine;      // connected in the middle of a line: gets nothing before its end
        bool doneSending = false; // the client shut its side down; it may still read
        explicit Client(Socket socket, bool waitingForLine);
    };

    void runReader() override;
    // Takes the queue and hands it to every client; the server thread sends.
    void runWriter() override;
    void serve();
    void acceptClients();
    // Reads what a client sent (nothing is asked of it) and sends it what its backlog holds; false once it is gone.
    bool serveClient(Client& client);
    void handOn(const char* bytes, std::size_t n);
    bool allSent() const;
    void reportClientsLocked();

    std::uint16_t port;
    Socket listener;       // the server thread's once open
    WinHandle socketEvent; // manual reset: the network events of the listener and of every client
    WinHandle dataSignal;  // auto reset: the writer handed bytes on, or finished
    std::atomic<bool> writerDone{false};
    std::thread server;

    mutable std::mutex clientsLock; // guards everything below: the writer hands on, the server thread sends
    std::vector<std::unique_ptr<Client>> clients;
    bool atLineStart = true;        // the last byte handed on ended a line
    bool handedOn = false;          // the stream's first bytes came
    std::int64_t droppedByGone = 0; // lines dropped for clients since gone
    int goneThatDropped = 0;
};

} // namespace veltaro
