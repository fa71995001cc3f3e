// What the "Accuracy" page costs with many fixes: a paint, and a refresh with the paint it brings after one
// more fix, for 10^3, 10^5 and 10^6 fixes of a parked receiver (normal scatter, sigma 1 m). Reports the median
// of 21 of each in milliseconds. Run under Wine on an X display.
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/views/accuracy_page.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace veltaro;

namespace {

constexpr int REPEATS = 21;

double nowMs() {
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

template <typename Work>
double medianMs(Work work) {
    std::vector<double> times;
    for (int i = 0; i < REPEATS; ++i) {
        const double start = nowMs();
        work();
        times.push_back(nowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[REPEATS / 2];
}

} // namespace

int main() {
    createSharedGdi();
    MainFrame frame(SW_SHOWNORMAL);
    frame.showError = [](const std::string& message) { std::printf("%s\n", message.c_str()); };
    // A device on recorded data needs no port; its own fixes are few beside the ones added here.
    if (!frame.startRecordedDevice(VELTARO_NMEA_DIR "/rst39.nmea")) {
        return 1;
    }
    TreeNode* node = nullptr;
    for (const auto& candidate : frame.nodes) {
        char title[32] = "";
        GetWindowTextA(candidate->pane->hwnd, title, sizeof title);
        if (std::string(title) == "Accuracy" && candidate->panes.size() == 2) {
            node = candidate.get();
        }
    }
    if (node == nullptr) {
        std::printf("no accuracy page\n");
        return 1;
    }
    GpsDevice& device = *frame.nodes[1]->device;
    SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node->item));
    device.stop();                                                 // its own fixes no longer come
    auto* page = static_cast<AccuracyPage*>(node->panes[1].get()); // the root pane, then the page
    std::mt19937 random(7);
    std::normal_distribution<double> metres(0, 1);
    const double perDegreeNorth = 111200;
    const double perDegreeEast = 74300;
    std::int64_t added = 0;
    const auto addFix = [&] {
        device.scatter.add({48.1 + metres(random) / perDegreeNorth, 11.5 + metres(random) / perDegreeEast, 545},
                           added * 100);
        ++added;
    };
    std::printf("fixes      paint   one more fix, refresh and paint\n");
    for (const std::int64_t count : {1000LL, 100000LL, 1000000LL}) {
        device.scatter.clear();
        added = 0;
        while (added < count - REPEATS) {
            addFix();
        }
        page->refresh();
        UpdateWindow(page->hwnd); // the dots drawn anew once, as after a change of scale
        const double paint = medianMs([&] {
            InvalidateRect(page->hwnd, nullptr, FALSE);
            UpdateWindow(page->hwnd);
        });
        const double refresh = medianMs([&] {
            addFix();
            page->refresh();
            UpdateWindow(page->hwnd);
        });
        std::printf("%9lld  %6.2f ms  %6.2f ms\n", static_cast<long long>(count), paint, refresh);
    }
    frame.stopDevices();
    return 0;
}
