#include "ports/ntrip_client.h"

#include "gps/sentence_log.h"
#include "ports/serial_port.h"

#include <algorithm>
#include <system_error>
#include <vector>

namespace veltaro {

namespace {

// A caster that dropped the stream is asked again this often, one that refused it less often: more would look like an
// attack to it.
constexpr DWORD RETRY_MS = 5000;
constexpr DWORD REFUSED_RETRY_MS = 30000;
// A caster sends corrections every second or so: this long without a byte, the connection is taken for dead.
constexpr ULONGLONG SILENCE_MS = 60000;
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
        socket.reset();
        upload.clear();
        if (WaitForSingleObject(stopSignal.get(), refused ? REFUSED_RETRY_MS : RETRY_MS) != WAIT_TIMEOUT) {
            break;
        }
    }
    socket.reset();
}

bool NtripClient::stream() {
    refused = false;
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
    // A fresh connection's buffer takes the few hundred bytes of a request at once.
    const std::string asked = ntripRequestText(request);
    if (send(socket.get(), asked.data(), static_cast<int>(asked.size()), 0) != static_cast<int>(asked.size())) {
        fail("connection lost", static_cast<DWORD>(WSAGetLastError()), {});
        return false;
    }
    if (!readHead(received, reply)) {
        return WaitForSingleObject(stopSignal.get(), 0) == WAIT_OBJECT_0;
    }
    if (reply.kind != NtripReply::STREAM) {
        refused = true;
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
    error = WSAEDISCON;
    flowing = queuePosition(error) && flowing;
    ULONGLONG positionDue = GetTickCount64() + ggaPeriodMs;
    ULONGLONG heardAt = GetTickCount64();
    std::vector<char> buffer(READ_SIZE);
    while (flowing) {
        // Woken by the caster's bytes, room for the position's upload, the stop, or the next position.
        const ULONGLONG now = GetTickCount64();
        const ULONGLONG due = std::min(positionDue, heardAt + SILENCE_MS);
        const SocketWait woke =
            waitForSocket(socketEvent.get(), stopSignal.get(), now >= due ? 0 : static_cast<DWORD>(due - now));
        if (woke == SocketWait::stopped) {
            return true;
        }
        if (GetTickCount64() >= heardAt + SILENCE_MS) {
            error = WSAETIMEDOUT; // a caster that went silent without closing, or a connection gone dead
            break;
        }
        if (GetTickCount64() >= positionDue) {
            positionDue = GetTickCount64() + ggaPeriodMs;
            flowing = queuePosition(error);
            continue;
        }
        ResetEvent(socketEvent.get());
        WSANETWORKEVENTS happened{};
        takeSocketEvents(socket.get(), happened);
        flowing = sendUpload(error);
        while (flowing && WaitForSingleObject(stopSignal.get(), 0) == WAIT_TIMEOUT) {
            const int got = recv(socket.get(), buffer.data(), READ_SIZE, 0);
            if (got > 0) {
                heardAt = GetTickCount64();
                flowing = takeBody(buffer.data(), static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
                break;
            }
            error = got == 0 ? static_cast<DWORD>(WSAEDISCON) : static_cast<DWORD>(WSAGetLastError());
            flowing = false;
        }
    }
    if (WaitForSingleObject(stopSignal.get(), 0) == WAIT_OBJECT_0) {
        return true;
    }
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

// Takes the receiver's latest GGA for upload, unless the last one is still on its way (a caster that reads slowly
// gets the newest position once it takes the old); false when the connection failed.
bool NtripClient::queuePosition(DWORD& error) {
    if (upload.empty() && !latestSentence(sentences, "GGA", upload)) {
        return true;
    }
    return sendUpload(error);
}

// Sends what it can of the upload without waiting; the rest goes when the socket has room again.
bool NtripClient::sendUpload(DWORD& error) {
    while (!upload.empty()) {
        const int sent = send(socket.get(), upload.data(), static_cast<int>(upload.size()), 0);
        if (sent < 0) {
            error = static_cast<DWORD>(WSAGetLastError());
            return error == WSAEWOULDBLOCK;
        }
        upload.erase(0, static_cast<std::size_t>(sent));
    }
    return true;
}

void NtripClient::writeCorrections(const char* bytes, std::size_t n) {
    if (n == 0) {
        return;
    }
    DWORD error = 0;
    const bool written = receiver.writeToDevice(bytes, n, stopSignal.get(), error);
    std::lock_guard guard(statusLock);
    if (written) {
        current.bytes += static_cast<std::int64_t>(n);
        current.lastAt = GetTickCount64();
    } else {
        current.notWritten += static_cast<std::int64_t>(n);
    }
}

} // namespace veltaro
