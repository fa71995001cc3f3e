#pragma once

#include "ports/port.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro {

class EchoBacklog;

// A Port over a COM port: a live receiver's input as a source, an echo of the stream as a sink.
// Runs 8 data bits, no parity, one stop bit at the chosen speed unless told otherwise.
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

private:
    HANDLE openDevice() const;
    bool applyLineSettings();
    void prepareWorker();
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
};

} // namespace veltaro
