// What receivers cost while nothing arrives: eight source ports open on virtual COM ports, idle for a
// while. Reports the program's processor time per device as a share of one core and the growth of its
// private memory, then checks that a line sent after the idle spell still arrives.
// Run under scripts/virtual-com.sh with the pairs 5:15 to 12:22.
#include "core/byte_queue.h"
#include "ports/serial_port.h"
#include "support/far_end.h"

#include <windows.h>

#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

using namespace veltaro;

namespace {

constexpr int DEVICES = 8;
constexpr int FIRST_PORT = 5; // far ends at FIRST_PORT + 10
constexpr DWORD SETTLE_MS = 2000;
constexpr DWORD IDLE_MS = 20000;

struct Sample {
    double cpuMs;
    double privateBytes;
};

Sample sample() {
    FILETIME created;
    FILETIME exited;
    FILETIME kernel;
    FILETIME user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    PROCESS_MEMORY_COUNTERS_EX memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    return {(ticks(kernel) + ticks(user)) / 10000.0, static_cast<double>(memory.PrivateUsage)};
}

} // namespace

int main() {
    std::vector<std::unique_ptr<ByteQueue>> queues;
    std::vector<std::unique_ptr<SerialPort>> ports;
    for (int i = 0; i < DEVICES; ++i) {
        queues.push_back(std::make_unique<ByteQueue>());
        ports.push_back(std::make_unique<SerialPort>(FIRST_PORT + i, 4800));
        if (!ports.back()->initialize() || !ports.back()->open(true, queues.back().get())) {
            std::printf("COM%d cannot be opened: run under scripts/virtual-com.sh 5:15 ... 12:22\n", FIRST_PORT + i);
            return 1;
        }
    }
    Sleep(SETTLE_MS); // opening and the first waits are not what is measured
    const Sample before = sample();
    Sleep(IDLE_MS);
    const Sample after = sample();
    const double seconds = IDLE_MS / 1000.0;
    std::printf("%d idle devices for %.0f s: %.2f%% of a core and %.0f bytes/s of private memory per device\n", DEVICES,
                seconds, 100.0 * (after.cpuMs - before.cpuMs) / IDLE_MS / DEVICES,
                (after.privateBytes - before.privateBytes) / seconds / DEVICES);

    int arrived = 0;
    const std::string line = "$GPTXT,01,01,02,after the idle spell*00\r\n";
    for (int i = 0; i < DEVICES; ++i) {
        test::FarEnd sender(FIRST_PORT + i + 10);
        sender.write(line);
        const auto whole = static_cast<std::int64_t>(line.size());
        for (int wait = 0; wait < 100 && ports[i]->status().bytes < whole; ++wait) {
            Sleep(50);
        }
        arrived += ports[i]->status().bytes == whole ? 1 : 0;
    }
    std::printf("a line sent after the idle spell arrived at %d of %d devices\n", arrived, DEVICES);
    for (auto& port : ports) {
        port->stop();
    }
    return arrived == DEVICES ? 0 : 1;
}
