#include "ports/serial_port.h"

#include "ports/echo_backlog.h"
#include "ports/overlapped_op.h"
#include "ports/system_error.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace veltaro {

namespace {

constexpr DWORD GATHER_MS = 50;   // lets a burst of characters arrive before one read takes it
constexpr DWORD REOPEN_MS = 1500; // a lost device is looked for again this often
constexpr int INITIAL_READ_BUFFER = 512;
constexpr std::size_t ECHO_BACKLOG_LIMIT = 64 * 1024; // an echo that cannot keep up drops lines beyond this
constexpr std::size_t WRITE_PIECE = 1024;             // an echo writes at most this much at a time
constexpr DWORD WRITE_SLICE_MS = 100;                 // and looks at its queue, the stop and the device this often

std::int64_t clockMs() {
    return static_cast<std::int64_t>(GetTickCount64());
}

// The system's words for why the driver refused a rate; without memory for them the rate is skipped all the same.
std::string refusalReason(DWORD error) {
    try {
        return systemErrorText(error);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

bool runsOnWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

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
    // An automatic rate is the reader's to set.
    if (settings.baudRate != 0) {
        DWORD unused = 0;
        applyLineSettings(static_cast<DWORD>(settings.baudRate), unused);
    }
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
    handle.reset(openDevice());
    if (!handle.valid()) {
        reportFailure("cannot open", GetLastError());
        handle.reset();
        return false;
    }
    // Windows refuses a second open through the share mode; Wine does not. A named claim keeps two
    // ports of this program off one COM port there too, where they would take each other's bytes.
    char claimName[48];
    std::snprintf(claimName, sizeof claimName, "veltaro.COM%d", settings.portNumber);
    claim.reset(CreateMutexA(nullptr, FALSE, claimName));
    if (!claim.valid() || GetLastError() == ERROR_ALREADY_EXISTS) {
        reportFailure("cannot open", ERROR_ACCESS_DENIED); // what Windows says of a port in use
        claim.reset();
        handle.reset();
        return false;
    }
    // Open before the worker runs: its first step applies the line settings, which needs an open port.
    startWorker(asSource);
    return true;
}

HANDLE SerialPort::openDevice() const {
    // The device namespace form reaches COM10 and above too, which the bare name does not.
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", settings.portNumber);
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

// Sets the line to rate; false with the system's error when the driver refuses.
bool SerialPort::applyLineSettings(DWORD rate, DWORD& error) {
    if (!isOpen) {
        return false;
    }
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle.get(), &dcb)) {
        error = GetLastError();
        return false;
    }
    // Only these four: flow control and the rest stay as the driver has them.
    dcb.BaudRate = rate;
    dcb.ByteSize = static_cast<BYTE>(settings.byteSize);
    dcb.Parity = static_cast<BYTE>(settings.parity);
    dcb.StopBits = static_cast<BYTE>(settings.stopBits);
    if (!SetCommState(handle.get(), &dcb)) {
        error = GetLastError();
        return false;
    }
    return true;
}

void SerialPort::prepareWorker() {
    const DWORD rate = settings.baudRate != 0 ? static_cast<DWORD>(settings.baudRate) : foundRate;
    DWORD unused = 0;
    if (rate != 0) {
        applyLineSettings(rate, unused);
    } else if (isSource) {
        // From the first rate again after a loss too: the device back may be another receiver.
        searching = true;
        rateToSet = true;
        nothingFound = false;
        rateSince = clockMs();
        search.start(rateSince);
        reportSearch();
    }
    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0, sizeof timeouts);
    timeouts.ReadIntervalTimeout = MAXDWORD; // a read returns at once with what the driver holds
    timeouts.WriteTotalTimeoutMultiplier = 10;
    timeouts.WriteTotalTimeoutConstant = 100;
    SetCommTimeouts(handle.get(), &timeouts);
}

void SerialPort::runReader() {
    prepareWorker();
    std::vector<char> buffer(INITIAL_READ_BUFFER);
    // Without working events a read waits for the first byte. Wine's event wait looks at the line every
    // millisecond, about 9% of a core per port while nothing arrives; its pending read costs nothing.
    bool eventsWork = !runsOnWine();
    DWORD error = 0;
    for (;;) {
        const ReadEnd end = eventsWork ? readOnEvents(buffer, error) : readOnFirstByte(buffer, error);
        if (end == ReadEnd::stopped) {
            return;
        }
        if (end == ReadEnd::noEvents) {
            eventsWork = false;
            continue;
        }
        // Everything downstream is kept, so the data goes on into the same queue once the device is back. The
        // line it was sending is never finished: the break keeps its start from being read as one with what
        // comes after.
        if (queue != nullptr) {
            queue->markBreak();
        }
        if (!reopen(error, nullptr)) {
            return;
        }
    }
}

// The device went away (an adapter pulled): looks for it again now and then until it is back and set up as at
// open (true), or until stopped (false). An echo's queue goes on into its backlog meanwhile, so its memory stays
// bounded and the lines beyond it are counted.
bool SerialPort::reopen(DWORD error, EchoBacklog* backlog) {
    reportLost(error);
    {
        std::lock_guard guard(deviceLock);
        handle.reset();
    }
    for (;;) {
        if (WaitForSingleObject(stopSignal.get(), REOPEN_MS) != WAIT_TIMEOUT) {
            return false;
        }
        if (backlog != nullptr) {
            takeQueue(*backlog);
        }
        std::lock_guard guard(deviceLock);
        handle.reset(openDevice());
        if (handle.valid()) {
            prepareWorker(); // its time-outs set before a write to the receiver may use the handle
            break;
        }
    }
    reportWorking();
    return true;
}

// While the rate is looked for: moves on once the rate tried had its time, skips the rates the driver refuses, and
// sets the line to the rate to try. False when the device is gone (error says why).
bool SerialPort::followSearch(DWORD& error) {
    if (!searching || (!rateToSet && !search.expired(clockMs()))) {
        return true;
    }
    if (!rateToSet) {
        rateToSet = true;
        rateSince = clockMs();
        nothingFound = search.next(rateSince) || nothingFound;
    }
    while (!applyLineSettings(search.rate(), error)) {
        if (deviceGone(handle.get(), error)) {
            return false;
        }
        rateSince = clockMs();
        const bool roundEnded = search.skip(refusalReason(error), rateSince);
        nothingFound = roundEnded || nothingFound;
        reportSearch();
        if (roundEnded && search.skipped().size() == BaudSearch::RATES.size()) {
            // A port that takes no rate at all is asked again a rate's time later, not over and over at once.
            if (WaitForSingleObject(stopSignal.get(), static_cast<DWORD>(BaudSearch::RATE_TIME_MS)) != WAIT_TIMEOUT) {
                return true;
            }
            rateSince = clockMs();
            search.start(rateSince);
        }
    }
    rateToSet = false;
    PurgeComm(handle.get(), PURGE_RXCLEAR); // what came at the rate before is no test of this one
    reportSearch();
    return true;
}

// How long a read may wait: until the rate tried has had its time while the rate is looked for, else for ever.
DWORD SerialPort::untilRateEnds() const {
    if (!searching) {
        return INFINITE;
    }
    return static_cast<DWORD>(std::max<std::int64_t>(rateSince + BaudSearch::RATE_TIME_MS - clockMs(), 0));
}

// Bytes read from the device go to the queue; while the rate is looked for they go to the search instead, which
// hands on the lines that confirmed the rate. So what a wrong rate read never reaches the logs and echoes.
void SerialPort::take(const char* bytes, int n) {
    if (!searching) {
        deliver(bytes, n);
        return;
    }
    if (n <= 0 || !search.feed(bytes, static_cast<std::size_t>(n))) {
        return;
    }
    searching = false;
    foundRate = search.rate();
    reportSearch();
    const std::string& confirmed = search.confirmedBytes();
    deliver(confirmed.data(), static_cast<int>(confirmed.size()));
}

void SerialPort::reportSearch() {
    BaudStatus baud;
    baud.trying = searching ? search.rate() : 0;
    baud.found = foundRate;
    baud.nothingFound = searching && nothingFound;
    try {
        if (searching) {
            baud.refused = search.skipped();
        }
    } catch (const std::bad_alloc&) {
        // The status goes without the refused rates; the search goes on.
    }
    reportBaud(std::move(baud));
}

// Reads what arrives, woken by the driver's received-character event, until stopped, until the device is
// gone (error says why), or until the driver shows that it cannot wait for events.
SerialPort::ReadEnd SerialPort::readOnEvents(std::vector<char>& buffer, DWORD& error) {
    SetCommMask(handle.get(), EV_RXCHAR);
    DWORD mask = 0; // written by the event wait while it is outstanding: it outlives the wait's owner
    OverlappedOp eventWait(handle.get(), stopSignal.get());
    ReadEnd end = ReadEnd::stopped;
    while (end == ReadEnd::stopped && !stopFlag) {
        if (!followSearch(error)) {
            end = ReadEnd::lost;
            continue;
        }
        if (!eventWait.outstanding()) {
            if (!eventWait.start([&](OVERLAPPED* o) { return WaitCommEvent(handle.get(), &mask, o); }, error)) {
                end = deviceGone(handle.get(), error) ? ReadEnd::lost : ReadEnd::noEvents;
                continue;
            }
            // Characters that came before the wait began raise no event (those at the start, and with drivers
            // that keep no event history those since the last read): read them now, not with the next one.
            end = readPending(buffer, error) ? end : ReadEnd::lost;
            continue;
        }
        // No time-out but the search's: the stop signal and the driver wake the reader, so an idle port costs
        // nothing.
        const OverlappedOp::Wait woke = eventWait.wait(untilRateEnds(), error);
        if (woke == OverlappedOp::Wait::deviceGone) {
            end = ReadEnd::lost;
        } else if (woke == OverlappedOp::Wait::done) {
            DWORD unused = 0;
            if (!eventWait.finish(unused, error)) {
                // Some drivers end every event wait this way, a millisecond after it began (a terminal without
                // modem lines, for one): waiting again would spin.
                end = deviceGone(handle.get(), error) ? ReadEnd::lost : ReadEnd::noEvents;
            } else if ((mask & EV_RXCHAR) != 0) {
                Sleep(GATHER_MS); // characters that arrive meanwhile are read together with the first
                end = readPending(buffer, error) ? end : ReadEnd::lost;
            }
        }
    }
    SetCommMask(handle.get(), 0);
    eventWait.cancel();
    if (end == ReadEnd::stopped) {
        PurgeComm(handle.get(), PURGE_RXCLEAR);
    }
    return end;
}

// Without events, a read of one byte is the wait: it ends when a character arrives, and an idle device
// costs nothing. Then the rest of the burst is read as on an event. Until stopped or the device is gone.
SerialPort::ReadEnd SerialPort::readOnFirstByte(std::vector<char>& buffer, DWORD& error) {
    COMMTIMEOUTS timeouts;
    GetCommTimeouts(handle.get(), &timeouts);
    timeouts.ReadIntervalTimeout = 0; // no read time-outs: a read waits until it has all it asked for
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    SetCommTimeouts(handle.get(), &timeouts);

    char first = 0; // written by the read while it is outstanding: it outlives the read's owner
    OverlappedOp read(handle.get(), stopSignal.get());
    bool alive = true;
    while (alive && !stopFlag) {
        if (!followSearch(error)) {
            alive = false;
            continue;
        }
        if (!read.outstanding()) {
            alive = read.start([&](OVERLAPPED* o) { return ReadFile(handle.get(), &first, 1, nullptr, o); }, error);
            continue;
        }
        const OverlappedOp::Wait woke = read.wait(untilRateEnds(), error);
        if (woke == OverlappedOp::Wait::deviceGone) {
            alive = false;
        } else if (woke == OverlappedOp::Wait::done) {
            DWORD got = 0;
            alive = read.finish(got, error);
            if (alive) {
                take(&first, static_cast<int>(got));
                Sleep(GATHER_MS);
                alive = readPending(buffer, error);
            }
        }
    }
    // Keep a byte the read took before it was cancelled.
    const DWORD got = read.cancel();
    take(&first, static_cast<int>(got));
    if (alive) {
        PurgeComm(handle.get(), PURGE_RXCLEAR);
    }
    return alive ? ReadEnd::stopped : ReadEnd::lost;
}

// Reads everything the driver holds; false when the device is gone.
bool SerialPort::readPending(std::vector<char>& buffer, DWORD& error) {
    DWORD errors = 0;
    COMSTAT status;
    std::memset(&status, 0, sizeof status);
    if (!ClearCommError(handle.get(), &errors, &status)) { // line errors are cleared; the bytes go on
        error = GetLastError();
        return false;
    }
    OverlappedOp read(handle.get(), nullptr);
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
        if (!read.start([&](OVERLAPPED* o) { return ReadFile(handle.get(), buffer.data(), wanted, nullptr, o); },
                        error)) {
            return false;
        }
        read.wait(INFINITE, error); // what the driver holds is there: the read ends at once
        DWORD got = 0;
        if (!read.finish(got, error)) {
            return false;
        }
        if (got == 0) {
            return true;
        }
        take(buffer.data(), static_cast<int>(got));
        pending -= std::min(pending, got);
    }
    return true;
}

bool SerialPort::writeToDevice(const char* bytes, std::size_t n, HANDLE writerStop, DWORD& error) {
    std::lock_guard guard(deviceLock);
    if (!handle.valid()) {
        error = ERROR_NOT_READY;
        return false;
    }
    // The write time-outs set at open bound each piece; the writer's stop ends the wait at once.
    OverlappedOp write(handle.get(), writerStop);
    while (n > 0) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(n, WRITE_PIECE));
        if (!write.start([&](OVERLAPPED* o) { return WriteFile(handle.get(), bytes, wanted, nullptr, o); }, error)) {
            return false;
        }
        OverlappedOp::Wait woke = OverlappedOp::Wait::timedOut;
        while (woke == OverlappedOp::Wait::timedOut) {
            woke = write.wait(WRITE_SLICE_MS, error);
        }
        if (woke != OverlappedOp::Wait::done) {
            write.cancel();
            error = woke == OverlappedOp::Wait::stopped ? static_cast<DWORD>(ERROR_OPERATION_ABORTED) : error;
            return false;
        }
        DWORD written = 0;
        if (!write.finish(written, error) || written == 0) {
            error = error != 0 ? error : static_cast<DWORD>(ERROR_TIMEOUT);
            return false;
        }
        bytes += written;
        n -= written;
    }
    return true;
}

void SerialPort::runWriter() {
    prepareWorker();
    if (queue == nullptr) {
        WaitForSingleObject(stopSignal.get(), INFINITE); // nothing to write until stopped
        return;
    }
    EchoBacklog backlog(ECHO_BACKLOG_LIMIT);
    std::string piece;     // the bytes of the write in flight stay here until the far end took them all
    bool lineEnded = true; // the last byte written ended a line
    DWORD error = 0;
    // A lost device is looked for again as a source is; the echo then goes on with what its backlog held, and
    // lines beyond the backlog's bound are dropped whole meanwhile. The far end may be another one now: it starts
    // on a whole line, and the rest of a line cut by the loss is dropped and counted.
    while (!writeBacklog(backlog, piece, lineEnded, error)) {
        if (!reopen(error, &backlog)) {
            return;
        }
        if (!lineEnded) {
            backlog.dropRestOfLine(piece);
            reportDroppedLines(backlog.droppedLines());
            lineEnded = true;
        }
    }
    SetCommMask(handle.get(), 0);
    // Only the input: bytes handed to the driver are on their way to the far end.
    PurgeComm(handle.get(), PURGE_RXCLEAR);
}

// Writes what the queue brings, through the backlog, until stopped (true) or until the device is gone or
// refuses (false, error says why).
bool SerialPort::writeBacklog(EchoBacklog& backlog, std::string& piece, bool& lineEnded, DWORD& error) {
    // Not woken by the stop: a stopping echo goes on writing until its queue is empty or its deadline passed.
    OverlappedOp write(handle.get(), nullptr);
    // What the driver took leaves the piece; the rest is written again.
    const auto took = [&](DWORD written) {
        if (written > 0) {
            lineEnded = piece[written - 1] == '\n';
        }
        piece.erase(0, written);
        countWritten(written);
    };
    for (;;) {
        const bool stopping = stopFlag; // read before the take: what came before the stop is taken
        if (!write.outstanding() && piece.empty() && backlog.empty() && !stopping) {
            queue->waitForData();
        }
        takeQueue(backlog);
        if (piece.empty()) {
            backlog.takeFront(piece, WRITE_PIECE);
        }
        if (!write.outstanding() && !piece.empty() &&
            !write.start(
                [&](OVERLAPPED* o) {
                    return WriteFile(handle.get(), piece.data(), static_cast<DWORD>(piece.size()), nullptr, o);
                },
                error)) {
            return false;
        }
        if (write.outstanding()) {
            // A short wait: the queue is looked at again soon, and a stop's deadline is kept.
            const OverlappedOp::Wait woke = write.wait(untilDeadline(WRITE_SLICE_MS), error);
            if (woke == OverlappedOp::Wait::deviceGone) {
                took(write.cancel());
                return false;
            }
            if (woke == OverlappedOp::Wait::done) {
                DWORD written = 0;
                const bool wrote = write.finish(written, error);
                took(written);
                // A write ends at its time-out with what the far end took by then: success and a short count, or
                // under Wine ERROR_TIMEOUT when it took nothing. The rest is written again, so the far end never
                // sees the halves of a line with something in between.
                if (!wrote && error != ERROR_TIMEOUT) {
                    return false;
                }
                if (written > 0) {
                    reportWorking();
                } else {
                    reportFailure("far end not reading", 0);
                }
            }
        }
        if (stopping && ((!write.outstanding() && piece.empty() && backlog.empty()) || pastDeadline())) {
            // What the far end did not take by the deadline is given up; the piece stays until the write ends.
            took(write.cancel());
            return true;
        }
    }
}

// Moves what the queue holds into the backlog, which drops whole lines beyond its bound and counts them.
void SerialPort::takeQueue(EchoBacklog& backlog) {
    int n = 0;
    if (std::unique_ptr<char[]> block = queue->takeAll(n)) {
        backlog.add(block.get(), static_cast<std::size_t>(n));
        reportDroppedLines(backlog.droppedLines());
    }
}

} // namespace veltaro
