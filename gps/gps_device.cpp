#include "gps/gps_device.h"

#include "ports/file_port.h"
#include "ports/network_source_port.h"
#include "ports/serial_port.h"

#include <algorithm>
#include <new>
#include <utility>

namespace veltaro {

namespace {

constexpr UINT_PTR ACKNOWLEDGE_TIMER = 1;
constexpr ULONGLONG ACKNOWLEDGE_DELAY_MS = 40; // at most 25 refreshes a second
constexpr UINT_PTR AGE_TIMER = 2;
constexpr std::int64_t SECOND_MS = 1000; // ages are told in whole seconds
constexpr std::int64_t AGE_TIMER_SLACK_MS = 10;

// Milliseconds from an age of elapsedMs until the whole seconds told of it next change, the first told at
// fromSeconds.
std::int64_t untilNextSecond(std::int64_t elapsedMs, std::int64_t fromSeconds) {
    return elapsedMs < fromSeconds * SECOND_MS ? fromSeconds * SECOND_MS - elapsedMs
                                               : SECOND_MS - elapsedMs % SECOND_MS;
}

constexpr const char* NOTIFY_CLASS = "VeltaroDeviceNotify";

// A message-only window of its own class, bound to its device through the creation parameter, so no
// message reaches it before it knows its device.
HWND createNotifyWindow(GpsDevice* device, WNDPROC proc) {
    WNDCLASSA windowClass{};
    if (!GetClassInfoA(GetModuleHandleA(nullptr), NOTIFY_CLASS, &windowClass)) {
        windowClass.lpfnWndProc = proc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = NOTIFY_CLASS;
        if (RegisterClassA(&windowClass) == 0) {
            return nullptr;
        }
    }
    return CreateWindowExA(0, NOTIFY_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                           device);
}

// The computer's local time in milliseconds since 1601, as the history's samples and their labels count it.
std::int64_t localClockMs() {
    SYSTEMTIME local;
    GetLocalTime(&local);
    FILETIME asFileTime;
    SystemTimeToFileTime(&local, &asFileTime);
    return static_cast<std::int64_t>((static_cast<ULONGLONG>(asFileTime.dwHighDateTime) << 32) |
                                     asFileTime.dwLowDateTime) /
           10000;
}

// The parser thread's only way to a window: posted, so it never waits for the user-interface thread.
void postGpsUpdate(ObserverHandle observer, GpsParser* parser) {
    PostMessageA(static_cast<HWND>(observer), WM_GPSUPDATE, 0, reinterpret_cast<LPARAM>(parser));
}

} // namespace

GpsDevice::GpsDevice(std::unique_ptr<Port> source) : port(std::move(source)) {}

GpsDevice::~GpsDevice() {
    stop();
    if (notifyWindow != nullptr) {
        SetWindowLongPtrA(notifyWindow, GWLP_USERDATA, 0); // the device is going: no message may reach it
        DestroyWindow(notifyWindow);
    }
}

bool GpsDevice::fail(DeviceError code) {
    error = code;
    systemError = 0;
    return false;
}

bool GpsDevice::failToOpen(DeviceError code, const Port& output) {
    error = code;
    systemError = output.status().systemError;
    return false;
}

bool GpsDevice::start(HWND observerWindow) {
    return open(observerWindow) && run();
}

bool GpsDevice::open(HWND observerWindow) {
    if (!port) {
        return fail(DEVICE_ERROR_NO_PORT);
    }
    if (!port->initialize()) {
        return fail(DEVICE_ERROR_INITIALIZE_PORT);
    }
    inputQueue.reset(new (std::nothrow) ByteQueue);
    if (!inputQueue) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    if (!port->open(true, inputQueue.get())) {
        return fail(DEVICE_ERROR_OPEN_PORT);
    }
    tee.reset(new (std::nothrow) PortTee(inputQueue.get()));
    if (!tee) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    parserQueue.reset(new (std::nothrow) ByteQueue);
    if (!parserQueue) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    tee->addOutput(parserQueue.get());

    // A hidden window of this thread, so the snapshot is refreshed on the thread that reads it.
    notifyWindow = createNotifyWindow(this, &GpsDevice::notifyProc);
    if (notifyWindow == nullptr) {
        return fail(DEVICE_ERROR_NOTIFY_WINDOW);
    }

    parser.reset(new (std::nothrow) GpsParser(postGpsUpdate));
    if (!parser) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    // Both windows belong to this thread and posts arrive in order: the snapshot is fresh before the
    // observer handles the same notification.
    parser->addObserver(notifyWindow);
    parser->addObserver(observerWindow);
    observer = observerWindow;
    if (!parser->start(parserQueue.get())) {
        return fail(DEVICE_ERROR_PARSER_START);
    }
    // No line means no notification: the age of the data is looked at on a clock of its own.
    armAgeTimer();
    return true;
}

bool GpsDevice::run() {
    if (!tee) {
        return fail(DEVICE_ERROR_NO_PORT);
    }
    if (!tee->start()) {
        return fail(DEVICE_ERROR_TEE_START);
    }
    return true;
}

LRESULT CALLBACK GpsDevice::notifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* device = reinterpret_cast<GpsDevice*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_GPSUPDATE) {
        // A stopped device keeps its last state: the parser's ending reset is not shown.
        if (device != nullptr && !device->stoppedByUser() && device->parser &&
            reinterpret_cast<LPARAM>(device->parser.get()) == lParam) {
            const std::size_t known = device->newFixes.size();
            device->parser->takeUpdate(device->snapshot, device->newFixes);
            device->addToScatter(known);
            device->history.record(device->snapshot, localClockMs());
            device->markAge();
            if (!device->ageTimerSet) {
                device->armAgeTimer();
            }
            // The parser tells of further changes once this one is acknowledged: at once for a receiver whose
            // cycles come well apart; for one faster than that, by a timer, whose message comes only when no
            // input or paint is waiting, so a fast receiver never holds the user up.
            const ULONGLONG since = GetTickCount64() - device->acknowledgedAt;
            if (since >= ACKNOWLEDGE_DELAY_MS) {
                device->acknowledge();
            } else {
                SetTimer(window, ACKNOWLEDGE_TIMER, static_cast<UINT>(ACKNOWLEDGE_DELAY_MS - since), nullptr);
            }
        }
        return 0;
    }
    if (message == WM_TIMER && wParam == ACKNOWLEDGE_TIMER) {
        KillTimer(window, ACKNOWLEDGE_TIMER);
        if (device != nullptr && device->parser) {
            device->acknowledge();
        }
        return 0;
    }
    if (message == WM_TIMER && wParam == AGE_TIMER) {
        KillTimer(window, AGE_TIMER);
        if (device == nullptr || !device->parser) {
            return 0;
        }
        device->ageTimerSet = false;
        // The views are told only when what they say about the age changes.
        if (device->markAge()) {
            PostMessageA(device->observer, WM_GPSUPDATE, 0, reinterpret_cast<LPARAM>(device->parser.get()));
        }
        device->armAgeTimer();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void GpsDevice::acknowledge() {
    acknowledgedAt = GetTickCount64();
    parser->acknowledge();
}

void GpsDevice::armAgeTimer() {
    const PortStatus source = port ? port->status() : PortStatus{};
    if (!parser || stoppedByUser() || source.atEnd) {
        return;
    }
    // Lines that keep coming move this moment on: the timer then finds nothing changed and is set again,
    // about once every quiet period rather than once a second.
    const std::int64_t quietMs = parser->msSinceLastLine();
    std::int64_t dueMs = untilNextSecond(quietMs, QUIET_SECONDS);
    // Once the quiet caption counts, the fix's age moves on with it, so a silent receiver wakes the window
    // once a second, not twice.
    if (quietMs < QUIET_SECONDS * SECOND_MS && snapshot.reportsNoFix() && (snapshot.received & RECEIVED_FIX) != 0) {
        dueMs = std::min(dueMs, untilNextSecond(GpsParser::clockMs() - snapshot.fixTickMs, 0));
    }
    // A little late rather than early: a timer that came a millisecond early would find nothing changed yet
    // and come again at once.
    ageTimerSet = SetTimer(notifyWindow, AGE_TIMER, static_cast<UINT>(dueMs + AGE_TIMER_SLACK_MS), nullptr) != 0;
}

void GpsDevice::addToScatter(std::size_t from) {
    for (std::size_t i = from; i < newFixes.size(); ++i) {
        const TrackFix& fix = newFixes[i];
        scatter.add({fix.latitude / 100, fix.longitude / 100, fix.altitude}, fix.arrivedMs);
    }
}

bool GpsDevice::markAge() {
    const PortStatus source = port ? port->status() : PortStatus{};
    // A replay that reached the end of its file shows its last state as it is: nothing is late.
    const std::int64_t quiet = parser && !source.atEnd ? parser->secondsSinceLastLine() : 0;
    const std::int32_t quietSeconds = quiet >= QUIET_SECONDS ? static_cast<std::int32_t>(quiet) : 0;
    const std::int32_t sourceLost = source.failure != nullptr ? 1 : 0;
    // The age of the last fix is news each second while the receiver reports none.
    const std::int64_t fixAge = (GpsParser::clockMs() - snapshot.fixTickMs) / 1000;
    if (!source.atEnd) { // a recording's last word stands as it was when its file ended
        fixAgeSeconds =
            snapshot.reportsNoFix() && (snapshot.received & RECEIVED_FIX) != 0 ? static_cast<std::int32_t>(fixAge) : 0;
    }
    // A replay's end is news too: the device page says so.
    const bool changed = quietSeconds != snapshot.quietSeconds || sourceLost != snapshot.sourceLost ||
                         fixAgeSeconds != snapshot.fixAgeSeconds || source.atEnd != sourceAtEnd;
    sourceAtEnd = source.atEnd;
    snapshot.quietSeconds = quietSeconds;
    snapshot.sourceLost = sourceLost;
    snapshot.fixAgeSeconds = fixAgeSeconds;
    return changed;
}

void GpsDevice::addOutput(std::unique_ptr<OutputEntry> entry) {
    ByteQueue* queue = entry->queue.get();
    {
        std::lock_guard guard(outputsLock);
        if (outputs.size() == outputs.capacity()) {
            outputs.reserve(outputs.size() + 16);
        }
        outputs.push_back(std::move(entry));
    }
    // Registered only now that its writer drains it: an undrained queue would grow without bound.
    tee->addOutput(queue);
}

bool GpsDevice::addEchoPort(std::unique_ptr<Port> echo) {
    if (!tee) {
        return fail(DEVICE_ERROR_NO_PORT);
    }
    if (!echo) {
        return fail(DEVICE_ERROR_NO_PORT);
    }
    std::unique_ptr<OutputEntry> entry(new (std::nothrow) OutputEntry);
    if (!entry) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    entry->queue.reset(new (std::nothrow) ByteQueue);
    if (!entry->queue) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    std::unique_ptr<char[]> name = echo->displayName();
    entry->name = name ? name.get() : "";
    if (!echo->initialize()) {
        return failToOpen(DEVICE_ERROR_INITIALIZE_PORT, *echo);
    }
    if (!echo->open(false, entry->queue.get())) {
        return failToOpen(DEVICE_ERROR_OPEN_PORT, *echo);
    }
    entry->port = std::move(echo);
    addOutput(std::move(entry));
    return true;
}

bool GpsDevice::startCorrections(NtripRequest request, DWORD ggaPeriodMs) {
    auto* receiver = dynamic_cast<SerialPort*>(port.get());
    if (receiver == nullptr || !parser || stoppedByUser()) {
        return fail(DEVICE_ERROR_NO_PORT);
    }
    if (corrections) {
        corrections->stop();
    }
    corrections.reset(new (std::nothrow)
                          NtripClient(std::move(request), *receiver, parser->sentenceLog(), ggaPeriodMs));
    if (!corrections || !corrections->start()) {
        corrections.reset();
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    return true;
}

bool GpsDevice::addLogFile(const char* path, bool append) {
    if (!tee) {
        return fail(DEVICE_ERROR_NO_PORT);
    }
    std::unique_ptr<OutputEntry> entry(new (std::nothrow) OutputEntry);
    if (!entry) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    entry->queue.reset(new (std::nothrow) ByteQueue);
    entry->port.reset(new (std::nothrow) FilePort(path));
    if (!entry->queue || !entry->port) {
        return fail(DEVICE_ERROR_NO_MEMORY);
    }
    if (append) {
        static_cast<FilePort*>(entry->port.get())->appendToLog();
    }
    if (!entry->port->initialize()) {
        return failToOpen(DEVICE_ERROR_INITIALIZE_PORT, *entry->port);
    }
    if (!entry->port->open(false, entry->queue.get())) {
        return failToOpen(DEVICE_ERROR_OPEN_PORT, *entry->port);
    }
    entry->name = path;
    addOutput(std::move(entry));
    error = DEVICE_ERROR_NONE;
    return true;
}

DeviceReport GpsDevice::report() {
    DeviceReport report;
    std::unique_ptr<char[]> name = port ? port->displayName() : nullptr;
    const char* kind = dynamic_cast<const NetworkSourcePort*>(port.get()) != nullptr ? "Network " : "Port ";
    report.source = recordedFile.empty() ? kind + std::string(name ? name.get() : "") : "File " + recordedFile;
    report.sourceStatus = port ? port->status() : PortStatus{};
    if (parser) {
        report.lines = parser->linesDecoded();
        report.secondsSinceLastLine = parser->secondsSinceLastLine();
        report.badChecksums = parser->badChecksumLines();
        report.notRead = parser->notReadLines();
        report.everySystemSwitchedBy = parser->everySystemSwitchedBy();
        // Since the last look: bytes came, and no line.
        report.bytesWithoutLine = report.lines == linesSeen && report.sourceStatus.bytes > bytesSeen;
        linesSeen = report.lines;
        bytesSeen = report.sourceStatus.bytes;
    }
    report.stoppedAt = stoppedAt;
    if (corrections) {
        report.corrections = corrections->status();
        if (report.corrections->lastAt) {
            report.correctionsAgeSeconds =
                static_cast<std::int64_t>((GetTickCount64() - *report.corrections->lastAt) / SECOND_MS);
        }
    }
    std::lock_guard guard(outputsLock);
    for (const std::unique_ptr<OutputEntry>& entry : outputs) {
        report.outputs.push_back({entry->name, entry->port->status(), stoppedByUser() || entry->stopped});
    }
    return report;
}

void GpsDevice::stopOutput(int index) {
    std::lock_guard guard(outputsLock);
    if (index < 0 || index >= static_cast<int>(outputs.size()) || outputs[index]->stopped) {
        return;
    }
    OutputEntry& entry = *outputs[index];
    // Off the tee first, so the queue stops growing; then the port writes what it holds and closes.
    if (tee) {
        tee->removeOutput(entry.queue.get());
    }
    entry.port->stop();
    entry.stopped = true;
}

void GpsDevice::requestStop(ULONGLONG deadlineTick) {
    // Upstream first, so each stage has received everything before it is told to finish; the corrections before
    // the port they write to.
    if (corrections) {
        corrections->stop();
    }
    if (port) {
        port->stop();
    }
    if (tee) {
        tee->stop();
    }
    {
        std::lock_guard guard(outputsLock);
        for (const std::unique_ptr<OutputEntry>& entry : outputs) {
            entry->port->requestStop(deadlineTick);
        }
    }
    if (parserQueue) {
        parserQueue->signalStop();
    }
}

void GpsDevice::waitStopped() {
    {
        std::lock_guard guard(outputsLock);
        for (const std::unique_ptr<OutputEntry>& entry : outputs) {
            entry->port->stop();
        }
    }
    if (parser) {
        parser->stop();
    }
}

void GpsDevice::stop() {
    requestStop(GetTickCount64() + STOP_DEADLINE_MS);
    waitStopped();
}

bool GpsDevice::restartSource(std::unique_ptr<Port> replacement) {
    if (port) {
        port->stop();
    }
    port = std::move(replacement);
    // A last line the old source left without its end does not go on into the new source's first.
    inputQueue->markBreak();
    parser->restartReading();
    scatter.clear(); // the file's fixes come again
    if (!port->initialize()) {
        return fail(DEVICE_ERROR_INITIALIZE_PORT);
    }
    if (!port->open(true, inputQueue.get())) {
        return fail(DEVICE_ERROR_OPEN_PORT);
    }
    error = DEVICE_ERROR_NONE;
    return true;
}

void GpsDevice::stopByUser() {
    if (stoppedByUser()) {
        return;
    }
    stoppedAt.emplace();
    GetLocalTime(&*stoppedAt);
    stop();
}

} // namespace veltaro
