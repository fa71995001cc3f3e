// What the window costs per receiver cycle: 1 and then 8 receivers on virtual COM ports, each sending one
// cycle of a recording every 100 ms (10 Hz), with each page of the first device shown in turn. Reports the
// paints a second, the pixels a paint covers, the user-interface thread's processor time and, with the
// receivers silent, how often that thread wakes; and the same on a replay that has ended.
// Run under scripts/virtual-com.sh with the pairs 5:15 to 12:22, on an X display.
#include "ports/file_port.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "thread_time.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace veltaro;

namespace {

constexpr int MAX_DEVICES = 8;
constexpr DWORD CYCLE_MS = 100;
constexpr DWORD SETTLE_MS = 2000;
constexpr DWORD MEASURE_MS = 8000;
constexpr DWORD QUIET_MS = 8000; // past the age caption's first second, so the idle figures see it tick
constexpr DWORD IDLE_MS = 10000;

void ignoreError(const std::string&) {}

std::string titleOf(HWND window) {
    char text[100] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

// The pixels a window's update region covers.
long long updateArea(HWND window) {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    long long area = 0;
    if (GetUpdateRgn(window, region, FALSE) > NULLREGION) {
        const DWORD size = GetRegionData(region, 0, nullptr);
        std::vector<char> bytes(size);
        auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
        if (size > 0 && GetRegionData(region, size, data) == size) {
            const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
            for (DWORD i = 0; i < data->rdh.nCount; ++i) {
                area += static_cast<long long>(rects[i].right - rects[i].left) * (rects[i].bottom - rects[i].top);
            }
        }
    }
    DeleteObject(region);
    return area;
}

struct Counts {
    double wakes = 0;                 // returns from the wait with something to do
    double paints = 0;                // WM_PAINT handled, from the queue or sent by an UpdateWindow
    double pixels = 0;                // their update regions' area
    std::map<std::string, int> woken; // what the thread took from its queue, by message and window class
};

Counts* counting = nullptr;

void countPaint(HWND window) {
    counting->paints += 1;
    counting->pixels += static_cast<double>(updateArea(window));
}

// Paints sent straight to a window procedure (UpdateWindow, RDW_UPDATENOW) never pass the queue.
LRESULT CALLBACK sentPaints(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && counting != nullptr && sent->message == WM_PAINT) {
        countPaint(sent->hwnd);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::string nameOf(const MSG& message) {
    char className[64] = "";
    GetClassNameA(message.hwnd, className, sizeof className);
    char text[120];
    std::snprintf(text, sizeof text, "%s 0x%x (%llu) to %s", message.message == WM_TIMER ? "WM_TIMER" : "message",
                  message.message, static_cast<unsigned long long>(message.message == WM_TIMER ? message.wParam : 0),
                  className);
    return text;
}

// Runs the message loop for ms, counting what it handles.
Counts pump(DWORD ms) {
    Counts counts;
    counting = &counts;
    const ULONGLONG end = GetTickCount64() + ms;
    MSG message;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT) == WAIT_OBJECT_0) {
            counts.wakes += 1;
        }
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ++counts.woken[nameOf(message)];
            if (message.message == WM_PAINT) {
                countPaint(message.hwnd);
            }
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    counting = nullptr;
    return counts;
}

// Sends the recording's cycles, one every 100 ms, to every far end, round and round, while on.
class Receivers {
public:
    Receivers(int count, const std::vector<test::Burst>& cycles) : cycles(cycles) {
        for (int k = 0; k < count; ++k) {
            ends.push_back(std::make_unique<test::FarEnd>(15 + k));
        }
        feeder = std::thread([this] { run(); });
    }
    ~Receivers() {
        stop = true;
        feeder.join();
    }
    std::atomic<bool> sending{true};

private:
    void run() {
        const ULONGLONG start = GetTickCount64();
        for (std::size_t tick = 0; !stop; ++tick) {
            if (sending) {
                std::string bytes;
                for (const std::string& line : cycles[tick % cycles.size()].lines) {
                    bytes += line + "\r\n";
                }
                for (auto& end : ends) {
                    end->write(bytes);
                }
            }
            const ULONGLONG next = start + CYCLE_MS * (tick + 1);
            const ULONGLONG now = GetTickCount64();
            Sleep(next > now ? static_cast<DWORD>(next - now) : 0);
        }
    }

    const std::vector<test::Burst>& cycles;
    std::vector<std::unique_ptr<test::FarEnd>> ends;
    std::atomic<bool> stop{false};
    std::thread feeder;
};

void show(MainFrame& frame, const TreeNode& node) {
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node.item));
}

void measure(MainFrame& frame, int devices, const std::vector<test::Burst>& cycles) {
    for (int k = 0; k < devices; ++k) {
        frame.startDevice(5 + k, 115200, false, false, 0, 0);
    }
    std::vector<TreeNode*> pages; // the first device's node and its pages
    const TreeNode* first = nullptr;
    for (const auto& node : frame.nodes) {
        const TreeNode* device = node->kind == NODE_DEVICE ? node.get() : node->parentNode;
        first = first == nullptr && device != nullptr && device->device != nullptr ? device : first;
        if (device != nullptr && device == first) {
            pages.push_back(node.get());
        }
    }
    Receivers receivers(devices, cycles);
    for (TreeNode* page : pages) {
        show(frame, *page);
        pump(SETTLE_MS);
        const double cpu = bench::threadCpuMs();
        const Counts counts = pump(MEASURE_MS);
        const double seconds = MEASURE_MS / 1000.0;
        std::printf("%d receiver%s, %-14s paints/s %6.1f  pixels/paint %8.0f  pixels/cycle %8.0f  UI thread CPU "
                    "%5.1f%%\n",
                    devices, devices > 1 ? "s" : " ", titleOf(page->pane->hwnd).c_str(), counts.paints / seconds,
                    counts.paints > 0 ? counts.pixels / counts.paints : 0,
                    counts.pixels / (seconds * 1000.0 / CYCLE_MS), 100.0 * (bench::threadCpuMs() - cpu) / MEASURE_MS);
    }
    receivers.sending = false;
    for (TreeNode* page : pages) {
        show(frame, *page);
        pump(page == pages.front() ? QUIET_MS : SETTLE_MS);
        const Counts counts = pump(IDLE_MS);
        std::printf("%d receiver%s, %-14s silent: wake-ups/s %5.2f  paints/s %5.2f\n", devices, devices > 1 ? "s" : " ",
                    titleOf(page->pane->hwnd).c_str(), counts.wakes / (IDLE_MS / 1000.0),
                    counts.paints / (IDLE_MS / 1000.0));
        for (const auto& [what, n] : counts.woken) {
            std::printf("    %5.2f/s %s\n", n / (IDLE_MS / 1000.0), what.c_str());
        }
    }
    frame.stopDevices();
}

// A replay that reached the end of its file: every page in turn, with nothing left to change.
void measureEndedReplay(MainFrame& frame) {
    if (!frame.startRecordedDevice(VELTARO_NMEA_DIR "/isync.nmea")) {
        return;
    }
    TreeNode* device = nullptr;
    for (const auto& node : frame.nodes) {
        device = node->kind == NODE_DEVICE ? node.get() : device;
    }
    static_cast<FilePort&>(*device->device->port).steer(false, ReplaySpeed::FASTEST);
    while (!device->device->port->status().atEnd) {
        pump(100);
    }
    pump(QUIET_MS); // the last age timer finds the end
    for (const auto& node : frame.nodes) {
        if (node.get() == device || node->parentNode == device) {
            show(frame, *node);
            pump(SETTLE_MS);
            const Counts counts = pump(IDLE_MS);
            std::printf("ended replay, %-22s wake-ups/s %5.2f  paints/s %5.2f\n", titleOf(node->pane->hwnd).c_str(),
                        counts.wakes / (IDLE_MS / 1000.0), counts.paints / (IDLE_MS / 1000.0));
        }
    }
    frame.stopDevices();
}

} // namespace

int main(int argc, char** argv) {
    createSharedGdi();
    SetWindowsHookExA(WH_CALLWNDPROC, sentPaints, nullptr, GetCurrentThreadId());
    const std::string capture = test::readFile(VELTARO_NMEA_DIR "/telit-he910.nmea");
    const std::vector<test::Burst> cycles = test::burstsOf(capture);
    // One count when given ("paint_bench 1"), else both.
    const int only = argc > 1 ? std::atoi(argv[1]) : 0;
    for (int devices : {1, MAX_DEVICES}) {
        if (only != 0 && devices != only) {
            continue;
        }
        MainFrame frame(SW_SHOWNORMAL);
        frame.showError = ignoreError;
        measure(frame, devices, cycles);
    }
    MainFrame frame(SW_SHOWNORMAL);
    frame.showError = ignoreError;
    measureEndedReplay(frame);
    return 0;
}
