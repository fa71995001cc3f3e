#include "ports/ntrip_client.h"

#include "gps/sentence_log.h"
#include "ports/serial_port.h"

#include <system_error>
#include <vector>

namespace veltaro {

namespace {

// A caster that refused or dropped is asked again this often: more often would look like an attack to it.
constexpr DWORD RETRY_MS = 5000;
constexpr DWORD HEAD_TIMEOUT_MS = 15000; // a caster answers at once; one that does not is treated as lost
constexpr int READ_SIZE = 16 * 1024;

} // namespace

bool fetchSourceTable(const NtripRequest& caster, std::vector<SourceTableStream>& streams, std::string& problem) {
    const std::string name = caster.host + ":" + std::to_string(caster.port);
    WinHandle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    DWORD error = 0;
    Socket socket = connectTo(caster.host, caster.port, event.get(), 0, nullptr, error);
    if (!socket.valid()) {
        problem = "Cannot connect to " + name + ": " + socketErrorText(error);
        return false;
    }
    NtripRequest request = caster;
    request.mountpoint.clear();
    const std::string asked = ntripRequestText(request);
    // A request this small fits any socket's buffer: one send takes it.
    if (send(socket.get(), asked.data(), static_cast<int>(asked.size()), 0) != static_cast<int>(asked.size())) {
        problem = "Cannot ask " + name + " for its streams: " + socketErrorText(static_cast<DWORD>(WSAGetLastError()));
        return false;
    }
    // The caster sends the table and closes; a 2.0 caster may keep the connection, ending the table with its line.
    std::string received;
    char buffer[READ_SIZE];
    const ULONGLONG deadline = GetTickCount64() + HEAD_TIMEOUT_MS;
    bool closed = false;
    while (!closed && received.find("ENDSOURCETABLE") == std::string::npos) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline ||
            waitForSocket(event.get(), nullptr, static_cast<DWORD>(deadline - now)) != SocketWait::event) {
            break;
        }
        ResetEvent(event.get());
        WSANETWORKEVENTS happened{};
        takeSocketEvents(socket.get(), happened);
        for (;;) {
            const int got = recv(socket.get(), buffer, READ_SIZE, 0);
            if (got > 0) {
                received.append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            closed = got == 0 || WSAGetLastError() != WSAEWOULDBLOCK;
            break;
        }
    }
    const NtripReply reply = readNtripReply(received, "");
    if (reply.kind == NtripReply::REFUSED) {
        problem = name + " refused: " + reply.refusal;
        return false;
    }
    if (reply.kind != NtripReply::SOURCE_TABLE) {
        problem = name + " sent no source table.";
        return false;
    }
    std::string body = received.substr(reply.headLength);
    if (reply.chunked) {
        std::string decoded;
        ChunkedDecoder chunks;
        chunks.feed(body.data(), body.size(), decoded);
        body = std::move(decoded);
    }
    streams = parseSourceTable(body);
    return true;
}

NtripClient::NtripClient(NtripRequest request, SerialPort& receiver, const SentenceLog& sentences, DWORD ggaPeriodMs)
    : request(std::move(request)), receiver(receiver), sentences(sentences), ggaPeriodMs(ggaPeriodMs) {
    current.caster = this->request.host + "/" + this->request.mountpoint;
}

NtripClient::~NtripClient() {
    stop();
}

bool NtripClient::start() {
    stopSignal.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    socketEvent.reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!stopSignal.valid() || !socketEvent.valid()) {
        return false;
    }
    try {
        thread = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void NtripClient::stop() {
    if (thread.joinable()) {
        SetEvent(stopSignal.get());
        thread.join();
    }
}

CorrectionsStatus NtripClient::status() const {
    std::lock_guard guard(statusLock);
    return current;
}

void NtripClient::fail(const char* what, DWORD error, const std::string& refusal) {
    std::lock_guard guard(statusLock);
    if (current.failure == nullptr || current.refusal != refusal || current.systemError != error) {
        GetLocalTime(&current.since);
    }
    current.failure = what;
    current.systemError = error;
    current.refusal = refusal;
}

void NtripClient::run() {
    while (!stream()) {
        if (WaitForSingleObject(stopSignal.get(), RETRY_MS) != WAIT_TIMEOUT) {
            break;
        }
    }
    socket.reset();
}

bool NtripClient::stream() {
    DWORD error = 0;
    socket = connectTo(request.host, request.port, socketEvent.get(), FD_WRITE, stopSignal.get(), error);
    if (!socket.valid()) {
        if (error == 0) {
            return true; // stopped
        }
        fail("connection lost", error, {});
        return false;
    }
    std::string received;
    NtripReply reply;
    if (!sendAll(ntripRequestText(request)) || !readHead(received, reply)) {
        return WaitForSingleObject(stopSignal.get(), 0) == WAIT_OBJECT_0;
    }
    if (reply.kind != NtripReply::STREAM) {
        fail("refused", 0, reply.kind == NtripReply::REFUSED ? reply.refusal : "mountpoint not found");
        return false;
    }
    {
        std::lock_guard guard(statusLock);
        current.failure = nullptr;
        current.refusal.clear();
        current.systemError = 0;
    }
    ChunkedDecoder chunks;
    std::string body;
    const auto takeBody = [&](const char* bytes, std::size_t n) {
        if (!reply.chunked) {
            writeCorrections(bytes, n);
            return true;
        }
        body.clear();
        const bool framed = chunks.feed(bytes, n, body);
        writeCorrections(body.data(), body.size());
        return framed && !chunks.ended();
    };
    bool flowing = takeBody(received.data() + reply.headLength, received.size() - reply.headLength);
    sendPosition();
    ULONGLONG positionDue = GetTickCount64() + ggaPeriodMs;
    std::vector<char> buffer(READ_SIZE);
    error = WSAEDISCON;
    while (flowing) {
        const ULONGLONG now = GetTickCount64();
        const SocketWait woke = waitForSocket(socketEvent.get(), stopSignal.get(),
                                              now >= positionDue ? 0 : static_cast<DWORD>(positionDue - now));
        if (woke == SocketWait::stopped) {
            return true;
        }
        if (woke == SocketWait::timedOut) {
            sendPosition();
            positionDue = GetTickCount64() + ggaPeriodMs;
            continue;
        }
        ResetEvent(socketEvent.get());
        WSANETWORKEVENTS happened{};
        takeSocketEvents(socket.get(), happened);
        for (;;) {
            const int got = recv(socket.get(), buffer.data(), READ_SIZE, 0);
            if (got > 0) {
                flowing = takeBody(buffer.data(), static_cast<std::size_t>(got)) && flowing;
                continue;
            }
            if (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
                break;
            }
            error = got == 0 ? static_cast<DWORD>(WSAEDISCON) : static_cast<DWORD>(WSAGetLastError());
            flowing = false;
            break;
        }
    }
    socket.reset();
    fail("connection lost", error, {});
    return false;
}

// Reads until the caster's head is complete; false when the connection ends first or the caster says nothing.
bool NtripClient::readHead(std::string& received, NtripReply& reply) {
    std::vector<char> buffer(READ_SIZE);
    const ULONGLONG deadline = GetTickCount64() + HEAD_TIMEOUT_MS;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const SocketWait woke = waitForSocket(socketEvent.get(), stopSignal.get(),
                                              now >= deadline ? 0 : static_cast<DWORD>(deadline - now));
        if (woke == SocketWait::stopped) {
            return false;
        }
        if (woke == SocketWait::timedOut) {
            fail("connection lost", WSAETIMEDOUT, {});
            return false;
        }
        ResetEvent(socketEvent.get());
        WSANETWORKEVENTS happened{};
        takeSocketEvents(socket.get(), happened);
        for (;;) {
            const int got = recv(socket.get(), buffer.data(), READ_SIZE, 0);
            if (got > 0) {
                received.append(buffer.data(), static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
                break;
            }
            // A caster that closes after a complete head (a refusal, a source table) has still answered.
            reply = readNtripReply(received, request.mountpoint);
            if (reply.kind != NtripReply::INCOMPLETE) {
                return true;
            }
            fail("connection lost", got == 0 ? static_cast<DWORD>(WSAEDISCON) : static_cast<DWORD>(WSAGetLastError()),
                 {});
            return false;
        }
        reply = readNtripReply(received, request.mountpoint);
        if (reply.kind != NtripReply::INCOMPLETE) {
            return true;
        }
    }
}

// Sends all of bytes, waiting for room while the socket's buffer is full; false when the connection fails.
bool NtripClient::sendAll(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const int n = send(socket.get(), bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        const DWORD error = static_cast<DWORD>(WSAGetLastError());
        if (error != WSAEWOULDBLOCK ||
            waitForSocket(socketEvent.get(), stopSignal.get(), CONNECT_TIMEOUT_MS) != SocketWait::event) {
            fail("connection lost", error == WSAEWOULDBLOCK ? static_cast<DWORD>(WSAETIMEDOUT) : error, {});
            return false;
        }
    }
    return true;
}

void NtripClient::sendPosition() {
    std::string gga;
    if (latestSentence(sentences, "GGA", gga)) {
        sendAll(gga); // a failure shows in the reads that follow
    }
}

void NtripClient::writeCorrections(const char* bytes, std::size_t n) {
    if (n == 0) {
        return;
    }
    DWORD error = 0;
    const bool written = receiver.writeToDevice(bytes, n, error);
    std::lock_guard guard(statusLock);
    if (written) {
        current.bytes += static_cast<std::int64_t>(n);
        current.lastAt = GetTickCount64();
    } else {
        current.notWritten += static_cast<std::int64_t>(n);
    }
}

} // namespace veltaro
