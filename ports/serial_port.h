#pragma once

#include "gps/baud_search.h"
#include "ports/port.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace veltaro {

class EchoBacklog;

// A Port over a COM port: a live receiver's input as a source, an echo of the stream as a sink.
// Runs 8 data bits, no parity, one stop bit at the chosen speed unless told otherwise. A source at speed 0
// finds its receiver's rate itself and delivers nothing read before the lines that confirmed it.
class SerialPort : public Port {
public:
    // The settings block of getSettings and setSettings: five int32 values in this order.
    struct LineSettings {
        std::int32_t portNumber; // the n of COMn
        std::int32_t baudRate;
        std::int32_t parity;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
        std::int32_t byteSize; // data bits
        std::int32_t stopBits; // 0 one, 1 one and a half, 2 two
    };
    static_assert(sizeof(LineSettings) == 20);

    SerialPort(int portNumber, int baudRate);
    ~SerialPort() override;

    bool getSettings(std::unique_ptr<char[]>& block, int& length) override;
    bool setSettings(const char* block, int length) override;
    bool open(bool asSource, ByteQueue* queue) override;
    bool stop() override;
    std::unique_ptr<char[]> displayName() const override;

    // Writes bytes to the receiver of a source (RTK corrections); any thread, one writer at a time. False with the
    // system's error while the device is lost, when the write fails, or when stopSignal (the writer's) comes first;
    // what was not written is then not sent.
    bool writeToDevice(const char* bytes, std::size_t n, HANDLE stopSignal, DWORD& error);

private:
    HANDLE openDevice() const;
    bool applyLineSettings(DWORD rate, DWORD& error);
    void prepareWorker();
    bool followSearch(DWORD& error);
    DWORD untilRateEnds() const;
    void take(const char* bytes, int n);
    void reportSearch();
    bool reopen(DWORD error, EchoBacklog* backlog);
    void runReader() override;
    enum class ReadEnd { stopped, lost, noEvents };
    ReadEnd readOnEvents(std::vector<char>& buffer, DWORD& error);
    ReadEnd readOnFirstByte(std::vector<char>& buffer, DWORD& error);
    bool readPending(std::vector<char>& buffer, DWORD& error);
    void runWriter() override;
    bool writeBacklog(EchoBacklog& backlog, std::string& piece, bool& lineEnded, DWORD& error);
    void takeQueue(EchoBacklog& backlog);

    LineSettings settings;
    WinHandle claim; // held while open: this program's claim on the COM port
    // Held by writeToDevice while it writes and by the worker while it replaces the handle of a lost device.
    std::mutex deviceLock;

    // The reader's alone: the search for an automatic rate, and the rate it found, which stays when the device is
    // lost and back.
    BaudSearch search;
    bool searching = false;
    bool rateToSet = false;     // the search moved on; the line is not at its rate yet
    std::int64_t rateSince = 0; // GetTickCount64 when the search began the rate tried now
    bool nothingFound = false;  // a round ended with nothing found since the search began
    DWORD foundRate = 0;
};

} // namespace veltaro
