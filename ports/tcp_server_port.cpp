#include "ports/tcp_server_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>

namespace veltaro {

namespace {

constexpr std::size_t CLIENT_BACKLOG_LIMIT = 64 * 1024; // as an echo port: beyond it a stalled client loses lines
constexpr std::size_t SEND_PIECE = 16 * 1024;
constexpr DWORD FLUSH_SLICE_MS = 100; // a stopping server looks at its deadline this often

} // namespace

TcpServerPort::Client::Client(Socket socket, bool waitingForLine)
    : socket(std::move(socket)), backlog(CLIENT_BACKLOG_LIMIT), waitingForLine(waitingForLine) {}

TcpServerPort::TcpServerPort(std::uint16_t port) : port(port) {}

TcpServerPort::~TcpServerPort() {
    stop();
}

std::unique_ptr<char[]> TcpServerPort::displayName() const {
    return nameCopy("TCP port " + std::to_string(port));
}

bool TcpServerPort::open(bool asSource, ByteQueue* target) {
    if (isOpen) {
        return true;
    }
    if (asSource) {
        return false;
    }
    queue = target;
    stopFlag = false;
    writerDone = false;
    socketEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    dataSignal.reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    DWORD error = 0;
    listener = boundSocket(port, SOCK_STREAM, socketEvent.get(), FD_ACCEPT, error);
    if (!listener.valid()) {
        reportFailure("cannot listen", error);
        return false;
    }
    reportClients(0, 0, 0);
    startWorker(false);
    return true;
}

void TcpServerPort::runReader() {}

void TcpServerPort::runWriter() {
    try {
        server = std::thread([this] { serve(); });
    } catch (const std::system_error&) {
        reportFailure("cannot start", ERROR_NOT_ENOUGH_MEMORY); // the stream is taken all the same, and goes nowhere
    }
    for (;;) {
        const bool stopping = stopFlag; // read before the take: what came before the stop is handed on
        if (!stopping && queue != nullptr) {
            queue->waitForData();
        }
        int n = 0;
        if (std::unique_ptr<char[]> block = queue != nullptr ? queue->takeAll(n) : nullptr) {
            handOn(block.get(), static_cast<std::size_t>(n));
            countWritten(n);
            SetEvent(dataSignal.get());
        }
        if (stopping) {
            break;
        }
    }
    writerDone = true;
    SetEvent(dataSignal.get());
    if (server.joinable()) {
        server.join();
    }
}

void TcpServerPort::handOn(const char* bytes, std::size_t n) {
    if (n == 0) {
        return;
    }
    std::lock_guard guard(clientsLock);
    if (!handedOn) {
        handedOn = true;
        atLineStart = beginsLine(bytes, n);
        for (const std::unique_ptr<Client>& client : clients) {
            client->waitingForLine = !atLineStart;
        }
    }
    for (const std::unique_ptr<Client>& client : clients) {
        const char* from = bytes;
        if (client->waitingForLine) {
            const char* end = static_cast<const char*>(std::memchr(bytes, '\n', n));
            if (end == nullptr) {
                continue;
            }
            client->waitingForLine = false;
            from = end + 1;
        }
        client->backlog.add(from, static_cast<std::size_t>(bytes + n - from));
    }
    atLineStart = bytes[n - 1] == '\n';
    reportClientsLocked();
}

void TcpServerPort::serve() {
    const HANDLE handles[] = {socketEvent.get(), dataSignal.get()};
    for (;;) {
        const bool finishing = writerDone;
        if (finishing) {
            std::lock_guard guard(clientsLock);
            if (allSent() || pastDeadline()) {
                break;
            }
        }
        // Stopping, the clients get what was handed on until the deadline; a client that reads is woken for by its
        // write events.
        WaitForMultipleObjects(2, handles, FALSE, finishing ? untilDeadline(FLUSH_SLICE_MS) : INFINITE);
        ResetEvent(socketEvent.get());
        acceptClients();
        std::lock_guard guard(clientsLock);
        const auto gone = std::remove_if(clients.begin(), clients.end(), [this](const std::unique_ptr<Client>& client) {
            if (serveClient(*client)) {
                return false;
            }
            droppedByGone += client->backlog.droppedLines();
            goneThatDropped += client->backlog.droppedLines() > 0 ? 1 : 0;
            return true;
        });
        clients.erase(gone, clients.end());
        reportClientsLocked();
    }
    std::lock_guard guard(clientsLock);
    clients.clear(); // what a stalled client did not take by the deadline is given up
    listener.reset();
}

void TcpServerPort::acceptClients() {
    for (;;) {
        Socket accepted(accept(listener.get(), nullptr, nullptr));
        if (!accepted.valid()) {
            return; // would block: none waits, or the listener is gone
        }
        // The events of the listener pass to what it accepts; a client's own are these.
        if (WSAEventSelect(accepted.get(), socketEvent.get(), FD_READ | FD_WRITE | FD_CLOSE) != 0) {
            continue;
        }
        BOOL noDelay = TRUE; // lines go out as they come, not gathered for a fuller packet
        setsockopt(accepted.get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
        std::lock_guard guard(clientsLock);
        try {
            clients.push_back(std::make_unique<Client>(std::move(accepted), !atLineStart));
        } catch (const std::bad_alloc&) {
            // Without memory for it the client is closed at once: it sees the end, not a stream that never comes.
        }
        reportClientsLocked();
    }
}

bool TcpServerPort::serveClient(Client& client) {
    WSANETWORKEVENTS happened{};
    takeSocketEvents(client.socket.get(), happened);
    char ignored[512];
    while (!client.doneSending) {
        const int got = recv(client.socket.get(), ignored, sizeof ignored, 0);
        if (got == 0) {
            client.doneSending = true; // a client that only reads may shut its sending side: it goes on getting lines
        } else if (got < 0 && WSAGetLastError() != WSAEWOULDBLOCK) {
            return false; // reset
        } else if (got < 0) {
            break;
        }
    }
    for (;;) {
        if (client.piece.empty()) {
            client.backlog.takeFront(client.piece, SEND_PIECE);
        }
        if (client.piece.empty()) {
            return true;
        }
        const int sent = send(client.socket.get(), client.piece.data(), static_cast<int>(client.piece.size()), 0);
        if (sent < 0) {
            // A full send buffer: the rest goes when the client reads, and the backlog drops lines meanwhile.
            return WSAGetLastError() == WSAEWOULDBLOCK;
        }
        client.piece.erase(0, static_cast<std::size_t>(sent));
    }
}

bool TcpServerPort::allSent() const {
    return std::all_of(clients.begin(), clients.end(), [](const std::unique_ptr<Client>& client) {
        return client->piece.empty() && client->backlog.empty();
    });
}

void TcpServerPort::reportClientsLocked() {
    std::int64_t dropped = droppedByGone;
    int droppedFor = goneThatDropped;
    for (const std::unique_ptr<Client>& client : clients) {
        dropped += client->backlog.droppedLines();
        droppedFor += client->backlog.droppedLines() > 0 ? 1 : 0;
    }
    reportClients(static_cast<int>(clients.size()), dropped, droppedFor);
}

} // namespace veltaro
