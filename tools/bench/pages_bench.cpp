// What the "Sentences" and "Signals" pages cost the user-interface thread: one receiver at 10 Hz (the F9P's
// last epoch, its time fields advancing) on a virtual COM port, with the device page, "Sentences" or "Signals"
// shown in turn. Reports the user-interface thread's CPU time a second for each.
// Run under scripts/virtual-com.sh with the pair 5:15, on an X display.
#include "support/captures.h"
#include "support/far_end.h"
#include "thread_time.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

using namespace veltaro;

namespace {

constexpr int SECONDS_EACH = 8;
constexpr int ROUNDS = 3; // interleaved, so a slow spell of the machine falls on every page alike

double nowMs() {
    return static_cast<double>(GetTickCount64());
}

// The epoch with its time fields set to the tenth of a second given, checksums made right.
std::string epochAt(const std::vector<std::string>& epoch, long long tenth) {
    char time[16];
    std::snprintf(time, sizeof time, "%02lld%02lld%02lld.%02lld", tenth / 36000 % 24, tenth / 600 % 60, tenth / 10 % 60,
                  tenth % 10 * 10);
    std::string bytes;
    for (std::string line : epoch) {
        const std::size_t comma = line.find(',');
        // Sentences whose first field is the time: GGA, RMC, GST, ZDA, GLL comes later in its line.
        if (comma != std::string::npos && line.compare(comma + 7, 1, ".") == 0) {
            line.replace(comma + 1, 9, time);
        }
        bytes += test::sealed(line) + "\r\n";
    }
    return bytes;
}

} // namespace

int main(int argc, char** argv) {
    const bool idle = argc > 1 && std::string(argv[1]) == "--idle"; // no receiver: what the pages cost at rest
    createSharedGdi();
    MainFrame frame(SW_SHOWNORMAL);
    frame.showError = [](const std::string& message) { std::printf("%s\n", message.c_str()); };
    frame.startDevice(5, 115200, false, false, 0, 0);
    if (frame.nodes.size() != 8) {
        std::printf("the device did not start: run under virtual-com.sh 5:15\n");
        return 1;
    }
    const std::vector<test::Burst> bursts = test::burstsOf(test::readFile(VELTARO_NMEA_DIR "/ublox-zed-f9p-nmea.nmea"));
    std::vector<std::string> epoch;
    for (auto burst = bursts.rbegin(); burst != bursts.rend() && epoch.empty(); ++burst) {
        if (burst->lines.size() > 20) {
            epoch = burst->lines; // the last whole epoch: the recording ends inside one
        }
    }

    std::atomic<bool> done{false};
    std::thread feeder([&] {
        test::FarEnd receiver(15);
        const double start = nowMs();
        for (long long tenth = 0; !done; ++tenth) {
            if (!idle) {
                receiver.write(epochAt(epoch, 4 * 36000 + tenth));
            }
            const double wait = start + 100.0 * static_cast<double>(tenth + 1) - nowMs();
            if (wait > 0) {
                Sleep(static_cast<DWORD>(wait));
            }
        }
    });

    const struct {
        const char* page;
        TreeNode* node;
    } shown[] = {
        {"start page (both hidden)", frame.nodes[0].get()},
        {"Signals", frame.nodes[5].get()},
        {"Sentences", frame.nodes[4].get()},
        {"Sat stats (both hidden)", frame.nodes[2].get()},
    };
    std::printf("one receiver at 10 Hz, %zu lines an epoch; %d rounds of %d s a page, the median\n", epoch.size(),
                ROUNDS, SECONDS_EACH);
    std::vector<std::vector<double>> figures(std::size(shown));
    MSG message;
    const auto pump = [&](double until) {
        while (nowMs() < until) {
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    };
    for (int round = 0; round < ROUNDS; ++round) {
        for (std::size_t i = 0; i < std::size(shown); ++i) {
            SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(shown[i].node->item));
            pump(nowMs() + 1000); // settled on the page
            const double cpu = bench::threadCpuMs();
            const double start = nowMs();
            pump(start + SECONDS_EACH * 1000.0);
            figures[i].push_back((bench::threadCpuMs() - cpu) / ((nowMs() - start) / 1000.0));
        }
    }
    for (std::size_t i = 0; i < std::size(shown); ++i) {
        std::sort(figures[i].begin(), figures[i].end());
        std::printf("%-28s user-interface thread %.1f ms of CPU a second\n", shown[i].page, figures[i][ROUNDS / 2]);
    }
    done = true;
    feeder.join();
    frame.stopDevices();
    return 0;
}
