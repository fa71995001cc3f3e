#pragma once

#include "core/ntrip_protocol.h"
#include "ports/net_socket.h"
#include "ports/win_handle.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veltaro {

class SentenceLog;
class SerialPort;

// A casters's usual wish: a virtual reference station is computed for the position it was told last.
constexpr DWORD GGA_PERIOD_MS = 10000;

// How the corrections are coming, as the client's thread last found.
struct CorrectionsStatus {
    std::string caster;              // "HOST/MOUNT"
    std::int64_t bytes = 0;          // correction bytes written to the receiver
    std::int64_t notWritten = 0;     // correction bytes the receiver's port could not take (a lost adapter)
    std::optional<ULONGLONG> lastAt; // GetTickCount64 of the last bytes written
    const char* failure = nullptr;   // "connection lost", "refused": null while the stream flows or before it does
    std::string refusal;             // what the caster said: "401 Unauthorized", "mountpoint not found"
    DWORD systemError = 0;           // the system's reason for a lost connection
    SYSTEMTIME since{};              // local time the failure began
};

// Asks a caster for its source table and waits for it (bounded by time-outs); false with problem set to a sentence
// for the user when it cannot have it.
bool fetchSourceTable(const NtripRequest& caster, std::vector<SourceTableStream>& streams, std::string& problem);

// An NTRIP client on a thread of its own: asks a caster for a mountpoint's corrections (NTRIP 2.0, which 1.0
// casters answer too), writes every byte it gets to the receiver's COM port, and tells the caster the receiver's
// latest GGA every ggaPeriodMs. A refusal or a lost connection is tried again until stopped.
class NtripClient {
public:
    NtripClient(NtripRequest request, SerialPort& receiver, const SentenceLog& sentences,
                DWORD ggaPeriodMs = GGA_PERIOD_MS);
    ~NtripClient();
    NtripClient(const NtripClient&) = delete;
    NtripClient& operator=(const NtripClient&) = delete;

    // False when the thread cannot start.
    bool start();
    void stop();
    CorrectionsStatus status() const;

private:
    void run();
    // One connection: true when it ended by the stop.
    bool stream();
    bool readHead(std::string& received, NtripReply& reply);
    bool queuePosition(DWORD& error);
    bool sendUpload(DWORD& error);
    void writeCorrections(const char* bytes, std::size_t n);
    void fail(const char* what, DWORD error, const std::string& refusal);

    NtripRequest request;
    SerialPort& receiver;         // its owner stops this client before the port
    const SentenceLog& sentences; // any thread may read it
    DWORD ggaPeriodMs;
    WinHandle stopSignal;  // manual reset
    WinHandle socketEvent; // manual reset
    Socket socket;         // the thread's
    std::string upload;    // the thread's: what of the latest GGA the caster has not taken yet
    bool refused = false;  // the thread's: the caster refused the last request
    std::thread thread;

    mutable std::mutex statusLock; // guards current: the thread writes, the user-interface thread reads
    CorrectionsStatus current;
};

} // namespace veltaro
