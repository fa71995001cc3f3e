#include "ports/serial_port.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace veltaro {

namespace {

constexpr DWORD EVENT_WAIT_MS = 500; // the longest a reader goes without looking at stopFlag
constexpr DWORD GATHER_MS = 50;      // lets a burst of characters arrive before one read takes it
constexpr DWORD FAILED_WAIT_MS = 100;
constexpr int INITIAL_READ_BUFFER = 512;

// One overlapped operation with its own manual-reset event.
struct Overlapped {
    explicit Overlapped(bool signalled) : event(CreateEventA(nullptr, TRUE, signalled ? TRUE : FALSE, nullptr)) {
        std::memset(&overlapped, 0, sizeof overlapped);
        overlapped.hEvent = event.get();
    }
    OVERLAPPED overlapped;
    WinHandle event;
};

} // namespace

SerialPort::SerialPort(int portNumber, int baudRate) : settings{portNumber, baudRate, NOPARITY, 8, ONESTOPBIT} {}

SerialPort::~SerialPort() {
    stop();
}

bool SerialPort::stop() {
    const bool stopped = Port::stop();
    claim.reset();
    return stopped;
}

bool SerialPort::getSettings(std::unique_ptr<char[]>& block, int& length) {
    block.reset(new (std::nothrow) char[sizeof settings]);
    if (!block) {
        return false;
    }
    std::memcpy(block.get(), &settings, sizeof settings);
    length = static_cast<int>(sizeof settings);
    return true;
}

bool SerialPort::setSettings(const char* block, int length) {
    // A shorter block replaces only the leading fields; a new port number counts from the next open.
    std::memcpy(&settings, block,
                std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), sizeof settings));
    applyLineSettings();
    return true;
}

std::unique_ptr<char[]> SerialPort::displayName() const {
    constexpr std::size_t SIZE = 10;
    std::unique_ptr<char[]> name(new (std::nothrow) char[SIZE]);
    if (name) {
        std::snprintf(name.get(), SIZE, "COM%d", settings.portNumber);
    }
    return name;
}

bool SerialPort::open(bool asSource, ByteQueue* target) {
    if (isOpen) {
        return true;
    }
    queue = target;
    stopFlag = false;
    // The device namespace form reaches COM10 and above too, which the bare name does not.
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", settings.portNumber);
    handle.reset(
        CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!handle.valid()) {
        handle.reset();
        return false;
    }
    // Windows refuses a second open through the share mode; Wine does not. A named claim keeps two
    // ports of this program off one COM port there too, where they would take each other's bytes.
    char claimName[48];
    std::snprintf(claimName, sizeof claimName, "veltaro.COM%d", settings.portNumber);
    claim.reset(CreateMutexA(nullptr, FALSE, claimName));
    if (!claim.valid() || GetLastError() == ERROR_ALREADY_EXISTS) {
        claim.reset();
        handle.reset();
        return false;
    }
    // Open before the worker runs: its first step applies the line settings, which needs an open port.
    startWorker(asSource);
    return true;
}

bool SerialPort::applyLineSettings() {
    if (!isOpen) {
        return false;
    }
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle.get(), &dcb)) {
        return false;
    }
    // Only these four: flow control and the rest stay as the driver has them.
    dcb.BaudRate = static_cast<DWORD>(settings.baudRate);
    dcb.ByteSize = static_cast<BYTE>(settings.byteSize);
    dcb.Parity = static_cast<BYTE>(settings.parity);
    dcb.StopBits = static_cast<BYTE>(settings.stopBits);
    return SetCommState(handle.get(), &dcb) != FALSE;
}

void SerialPort::prepareWorker() {
    applyLineSettings();
    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0, sizeof timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD; // a read returns at once with what the driver holds
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 100;
    SetCommTimeouts(handle.get(), &timeouts);
}

void SerialPort::runReader() {
    prepareWorker();
    Overlapped eventWait(false);
    const HANDLE waits[] = {stopSignal.get(), eventWait.event.get()}; // the stop signal wins a tie
    SetCommMask(handle.get(), EV_RXCHAR);
    std::vector<char> buffer(INITIAL_READ_BUFFER);
    DWORD mask = 0;       // written by the event wait while it is outstanding
    bool waiting = false; // an event wait is outstanding: after a time-out it goes on

    do {
        if (!waiting) {
            waiting = WaitCommEvent(handle.get(), &mask, &eventWait.overlapped) || GetLastError() == ERROR_IO_PENDING;
        }
        if (WaitForMultipleObjects(2, waits, FALSE, EVENT_WAIT_MS) != WAIT_OBJECT_0 + 1) {
            continue;
        }
        waiting = false;
        DWORD unused = 0;
        if (!GetOverlappedResult(handle.get(), &eventWait.overlapped, &unused, FALSE)) {
            ResetEvent(eventWait.event.get());
            Sleep(FAILED_WAIT_MS);
        }
        if ((mask & EV_RXCHAR) != 0) {
            Sleep(GATHER_MS); // characters that arrive meanwhile are read together with the first
            readPending(buffer);
        }
    } while (!stopFlag);

    SetCommMask(handle.get(), 0);
    if (waiting) {
        // The wait writes into mask and eventWait: let it finish before they go away.
        CancelIo(handle.get());
        DWORD unused = 0;
        GetOverlappedResult(handle.get(), &eventWait.overlapped, &unused, TRUE);
    }
    PurgeComm(handle.get(), PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void SerialPort::readPending(std::vector<char>& buffer) {
    DWORD errors = 0;
    COMSTAT status;
    std::memset(&status, 0, sizeof status);
    ClearCommError(handle.get(), &errors, &status); // line errors are cleared; the bytes go on
    DWORD pending = status.cbInQue;
    while (pending > 0) {
        // One read takes everything the driver holds. If the buffer cannot grow to that, the bytes are
        // read in buffer-sized pieces instead of being left behind.
        if (pending > buffer.size()) {
            try {
                buffer.resize(pending);
            } catch (const std::bad_alloc&) {
            }
        }
        const DWORD wanted = std::min<DWORD>(pending, static_cast<DWORD>(buffer.size()));
        Overlapped read(true);
        DWORD got = 0;
        if (!ReadFile(handle.get(), buffer.data(), wanted, &got, &read.overlapped) &&
            GetLastError() == ERROR_IO_PENDING) {
            WaitForSingleObject(read.event.get(), INFINITE);
        }
        if (!GetOverlappedResult(handle.get(), &read.overlapped, &got, FALSE) || got == 0) {
            return;
        }
        if (queue != nullptr) {
            queue->append(buffer.data(), static_cast<int>(got));
        }
        pending -= std::min(pending, got);
    }
}

void SerialPort::runWriter() {
    prepareWorker();
    drainQueue();
    // What the queue held at the stop has been written: let it leave the driver before the purge.
    FlushFileBuffers(handle.get());
    SetCommMask(handle.get(), 0);
    PurgeComm(handle.get(), PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void SerialPort::writeBlock(const char* bytes, int n) {
    // The write time-outs bound this wait: what the device has not sent by then is dropped.
    Overlapped write(true);
    DWORD written = 0;
    if (!WriteFile(handle.get(), bytes, static_cast<DWORD>(n), &written, &write.overlapped) &&
        GetLastError() == ERROR_IO_PENDING) {
        WaitForSingleObject(write.event.get(), INFINITE);
    }
}

} // namespace veltaro
