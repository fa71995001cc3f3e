#pragma once

#include "core/byte_queue.h"
#include "core/port_tee.h"
#include "gps/fix_scatter.h"
#include "gps/gps_parser.h"
#include "gps/gps_state.h"
#include "gps/history.h"
#include "ports/ntrip_client.h"
#include "ports/port.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace veltaro {

// Why a device could not start or take an output; the user interface tells the user in its own words.
enum DeviceError : std::int32_t {
    DEVICE_ERROR_NONE = 0,
    DEVICE_ERROR_INITIALIZE_PORT = 1,
    DEVICE_ERROR_OPEN_PORT = 2,
    DEVICE_ERROR_NO_PORT = 3,
    DEVICE_ERROR_NO_MEMORY = 4,
    DEVICE_ERROR_TEE_START = 5,
    DEVICE_ERROR_PARSER_START = 6,
    DEVICE_ERROR_NOTIFY_WINDOW = 7, // without it the pages would never hear of the data
};

// A receiver sends every second: this long without a line is news.
constexpr std::int64_t QUIET_SECONDS = 5;

// An output that receives a raw copy of the stream: an echo port or a log file.
struct OutputEntry {
    std::string name;           // the log's path, or the echo port's display name
    std::unique_ptr<Port> port; // drains queue
    std::unique_ptr<ByteQueue> queue;
    bool stopped = false; // by the user: its port got what was queued and is closed
};

// How one output is doing.
struct OutputReport {
    std::string name;
    PortStatus status;
    bool stopped = false; // by the user, alone or with its device
};

// How a device is doing, taken at one moment: what its page shows.
struct DeviceReport {
    std::string source; // "Port COM3", or "File C:\\day.gpsl" for a device on recorded data
    PortStatus sourceStatus;
    std::int64_t lines = 0;
    std::int64_t secondsSinceLastLine = 0;
    std::int64_t badChecksums = 0;
    NotReadLines notRead;
    std::string everySystemSwitchedBy; // the sentence that made the device read every system by itself
    bool bytesWithoutLine = false; // since the last report, bytes but no line: a line without end, a wrong baud rate
    std::optional<SYSTEMTIME> stoppedAt;          // when the user stopped the device; none while it runs
    std::vector<OutputReport> outputs;            // in the order added
    std::optional<CorrectionsStatus> corrections; // RTK corrections from a caster, once they are asked for
    std::int64_t correctionsAgeSeconds = 0;       // since the last of them were written to the receiver
};

// One running GPS source with everything attached: the source port fills inputQueue, the tee copies it
// to parserQueue and to every output, the parser decodes, and notifyWindow keeps snapshot fresh.
class GpsDevice {
public:
    explicit GpsDevice(std::unique_ptr<Port> port);
    ~GpsDevice();
    GpsDevice(const GpsDevice&) = delete;
    GpsDevice& operator=(const GpsDevice&) = delete;

    // Builds and starts the pipeline; observerWindow gets WM_GPSUPDATE after every line. On failure
    // error says why and what was built stays in place.
    bool start(HWND observerWindow);
    // start in two steps: open builds the pipeline and opens the source port, whose bytes wait in
    // inputQueue until run passes them on, so outputs added in between have the stream from its first byte.
    bool open(HWND observerWindow);
    bool run();

    // Add an output once its port is open; false with error set, and nothing registered, otherwise. A log
    // file starts empty unless append is asked for.
    bool addEchoPort(std::unique_ptr<Port> port);
    bool addLogFile(const char* path, bool append = false);

    // Writes a caster's corrections to the receiver from now on, in place of those asked for before; a live
    // receiver on a COM port only (false otherwise, or when the client's thread cannot start).
    bool startCorrections(NtripRequest request, DWORD ggaPeriodMs = GGA_PERIOD_MS);

    // Stops one output (by the order added): it gets what was queued, is closed, and receives nothing more;
    // the others and the device go on; its report says so.
    void stopOutput(int index);

    // How the device and its outputs are doing; the user-interface thread.
    DeviceReport report();

    // Ends every thread of the device: the source stops, the tee hands on what it holds, each log file
    // writes all its queue received and each echo port what its far end takes by deadlineTick
    // (GetTickCount64), and the parser decodes the complete lines. requestStop returns without waiting
    // for the outputs and the parser, so several devices can finish together; waitStopped waits.
    void requestStop(ULONGLONG deadlineTick);
    void waitStopped();
    void stop(); // both, with STOP_DEADLINE_MS

    // Stops the device at the user's word: everything as stop does, the COM port released, and the
    // snapshot keeps the last state.
    void stopByUser();
    bool stoppedByUser() const { return stoppedAt.has_value(); }

    // Replaces the source with a new one that starts the stream again, read afresh (a replay from the start
    // of its file); false with error set, and the old source stopped, when it cannot open.
    bool restartSource(std::unique_ptr<Port> replacement);

    // Writes into snapshot how long no line has come and whether the source is lost; true when that
    // changed what the views say.
    bool markAge();

    // The user-interface thread owns snapshot, newFixes, error and notifyWindow; the pipeline parts are built by
    // start and then used by their own threads.
    std::unique_ptr<Port> port;
    std::unique_ptr<ByteQueue> inputQueue;
    std::unique_ptr<PortTee> tee;
    std::unique_ptr<ByteQueue> parserQueue;
    std::unique_ptr<GpsParser> parser;
    std::unique_ptr<NtripClient> corrections; // writes to port's receiver, so it stops first
    GpsState snapshot;
    std::vector<TrackFix> newFixes; // reported since the views last took them
    FixScatter scatter;             // every fix since the user last cleared it, for the accuracy figures
    History history;                // a sample a second of the last hours, for the history charts
    DeviceError error = DEVICE_ERROR_NONE;
    DWORD systemError = 0; // the system's reason an output could not open, 0 where none is known
    HWND notifyWindow = nullptr;
    HWND observer = nullptr;  // told of changes of the data's age as of GPS updates
    std::string recordedFile; // the log a device on recorded data replays; empty for a live receiver

private:
    bool fail(DeviceError code);
    bool failToOpen(DeviceError code, const Port& output);
    // Adds the fixes of newFixes from index from on to the scatter.
    void addToScatter(std::size_t from);
    // Lets the parser tell of its next change.
    void acknowledge();
    // Sets the age timer, once, for the moment the age the views show would next change; none while no
    // age would change (a stopped device, a replay at its end, data that flows with its fix).
    void armAgeTimer();
    void addOutput(std::unique_ptr<OutputEntry> entry);
    static LRESULT CALLBACK notifyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    std::optional<SYSTEMTIME> stoppedAt; // local time the user stopped it; user-interface thread only
    std::int32_t fixAgeSeconds = 0;      // what markAge last said of the fix's age; user-interface thread only
    // The line and byte counts report saw last; user-interface thread only.
    std::int64_t linesSeen = -1;
    ULONGLONG acknowledgedAt = 0; // GetTickCount64 of the last acknowledgement; user-interface thread only
    bool ageTimerSet = false;     // user-interface thread only
    bool sourceAtEnd = false;     // what markAge last saw of a replay's end; user-interface thread only
    std::int64_t bytesSeen = 0;
    std::recursive_mutex outputsLock; // guards outputs
    std::vector<std::unique_ptr<OutputEntry>> outputs;
};

} // namespace veltaro
