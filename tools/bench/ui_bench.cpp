// How the window answers the user while many receivers stream fast: eight devices on virtual COM ports,
// each fed 25.6 KB/s (256000 baud) of a recorded receiver, and clicks on the tree sent as real input.
// Reports the time from each click to the page it selects being shown, and whether every position the
// receivers reported reached the route views.
// Run under scripts/virtual-com.sh with the pairs 5:15 to 12:22, on an X display.
#include "support/captures.h"
#include "support/far_end.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/views/route_view.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace veltaro;

namespace {

constexpr int DEVICES = 8;
constexpr int BYTES_PER_TICK = 256; // every 10 ms: 25.6 KB/s
constexpr int SECONDS = 20;

void ignoreError(const std::string&) {}

double nowMs() {
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Lines of the stream that report a position ($GPGGA, $GPRMC).
int positionLines(const std::string& stream) {
    int count = 0;
    for (std::size_t at = 0; (at = stream.find("$GP", at)) != std::string::npos; at += 3) {
        count += stream.compare(at, 6, "$GPGGA") == 0 || stream.compare(at, 6, "$GPRMC") == 0 ? 1 : 0;
    }
    return count;
}

void click(HWND tree, HTREEITEM item) {
    RECT rect;
    std::memcpy(&rect, &item, sizeof item); // the message takes the item in the rectangle's place
    SendMessageA(tree, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    POINT point{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(tree, &point);
    INPUT input[3];
    std::memset(input, 0, sizeof input);
    for (INPUT& i : input) {
        i.type = INPUT_MOUSE;
        i.mi.dx = point.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
        i.mi.dy = point.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    }
    input[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
    input[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
    SendInput(3, input, sizeof(INPUT));
}

} // namespace

int main() {
    createSharedGdi();
    MainFrame frame(SW_SHOWNORMAL);
    frame.showError = ignoreError;
    for (int k = 0; k < DEVICES; ++k) {
        frame.startDevice(5 + k, 256000, false, false, 0, 0);
    }
    std::vector<TreeNode*> devices;
    std::vector<RouteView*> routes;
    for (const auto& node : frame.nodes) {
        if (node->kind == NODE_DEVICE) {
            devices.push_back(node.get());
        }
        for (const auto& pane : node->panes) {
            if (auto* route = dynamic_cast<RouteView*>(pane.get())) {
                routes.push_back(route);
            }
        }
    }
    if (static_cast<int>(devices.size()) != DEVICES) {
        std::printf("only %zu of %d devices started: run under virtual-com.sh 5:15 ... 12:22\n", devices.size(),
                    DEVICES);
        return 1;
    }

    // Whole captures, repeated, so the positions sent can be counted.
    const std::string capture = test::readFile(VELTARO_NMEA_DIR "/isync.nmea");
    std::atomic<bool> done{false};
    std::atomic<long long> sentBytes{0}; // to each device
    std::thread feeder([&] {
        std::vector<std::unique_ptr<test::FarEnd>> ends;
        for (int k = 0; k < DEVICES; ++k) {
            ends.push_back(std::make_unique<test::FarEnd>(15 + k));
        }
        const double start = nowMs();
        std::size_t at = 0;
        for (long long tick = 0; nowMs() - start < SECONDS * 1000.0; ++tick) {
            const std::size_t n = std::min<std::size_t>(BYTES_PER_TICK, capture.size() - at);
            for (auto& end : ends) {
                end->write(capture.substr(at, n));
            }
            at = (at + n) % capture.size();
            sentBytes += static_cast<long long>(n);
            const double next = start + 10.0 * static_cast<double>(tick + 1);
            const double wait = next - nowMs();
            if (wait > 0) {
                Sleep(static_cast<DWORD>(wait));
            }
        }
        // End on a whole capture, so every position sent is a complete line.
        if (at != 0) {
            for (auto& end : ends) {
                end->write(capture.substr(at));
            }
            sentBytes += static_cast<long long>(capture.size() - at);
        }
        done = true;
    });

    std::vector<double> latencies;
    HTREEITEM targets[] = {frame.rootNode->item, devices[0]->item};
    TreeNode* targetNodes[] = {frame.rootNode, devices[0]};
    int next = 0;
    double clickedAt = 0;
    double lastClick = nowMs();
    MSG message;
    while (!done || clickedAt != 0) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (clickedAt != 0 && frame.currentNode == targetNodes[next]) {
            latencies.push_back(nowMs() - clickedAt);
            clickedAt = 0;
            next = 1 - next;
        }
        if (clickedAt == 0 && !done && nowMs() - lastClick > 500) {
            click(frame.treeWindow, targets[next]);
            clickedAt = lastClick = nowMs();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    feeder.join();

    // Let the last bytes through the pipeline, then count the positions in the tracks.
    const long long perDevice = sentBytes;
    const int expectedFixes =
        positionLines(capture) * static_cast<int>(perDevice / static_cast<long long>(capture.size()));
    const double drainStart = nowMs();
    auto allIn = [&] {
        for (RouteView* route : routes) {
            if (route->track.count < expectedFixes) {
                return false;
            }
        }
        return true;
    };
    while (!allIn() && nowMs() - drainStart < 30000) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }

    std::sort(latencies.begin(), latencies.end());
    std::printf("%d devices, %.1f KB/s each for %d s (%lld bytes each)\n", DEVICES, BYTES_PER_TICK * 100 / 1000.0,
                SECONDS, perDevice);
    if (!latencies.empty()) {
        std::printf("click to page shown: %zu clicks, median %.1f ms, max %.1f ms\n", latencies.size(),
                    latencies[latencies.size() / 2], latencies.back());
    }
    for (std::size_t k = 0; k < routes.size(); ++k) {
        std::printf("device %zu: %lld of %d positions in its route view\n", k,
                    static_cast<long long>(routes[k]->track.count), expectedFixes);
    }
    frame.stopDevices();
    return 0;
}
