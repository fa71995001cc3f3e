// Route view figures at scale: repaint time with 10^3 and 10^6 recorded points, bytes per point and the
// time to add a point. Run under Wine on an X display (Xvfb will do):
//   scripts/wine-run.sh build/win/wineprefix build/win/tools/bench/route_bench.exe

#include "gps/gps_state.h"
#include "ui/views/route_view.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <vector>

// Every allocation of the process is counted, so the track's share can be read off.
namespace {
std::size_t liveBytes = 0;
constexpr std::size_t HEADER = 16; // keeps the block aligned for any type

void* countedAllocate(std::size_t size) {
    auto* block = static_cast<unsigned char*>(std::malloc(size + HEADER));
    if (block == nullptr) {
        return nullptr;
    }
    std::memcpy(block, &size, sizeof size);
    liveBytes += size;
    return block + HEADER;
}

void countedFree(void* memory) {
    if (memory == nullptr) {
        return;
    }
    unsigned char* block = static_cast<unsigned char*>(memory) - HEADER;
    std::size_t size;
    std::memcpy(&size, block, sizeof size);
    liveBytes -= size;
    std::free(block);
}
} // namespace

void* operator new(std::size_t size) {
    void* memory = countedAllocate(size);
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}
void* operator new[](std::size_t size) {
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return countedAllocate(size);
}
void operator delete(void* memory) noexcept {
    countedFree(memory);
}
void operator delete[](void* memory) noexcept {
    countedFree(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    countedFree(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
    countedFree(memory);
}

namespace {

using veltaro::GpsState;
using veltaro::RouteView;
using veltaro::SharedGdi;

constexpr int VIEW_WIDTH = 500;
constexpr int VIEW_HEIGHT = 450;

double now() {
    static const double ticksPerSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart);
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / ticksPerSecond;
}

// A vehicle driving at about 25 km/h, one position a second, turning as it goes and kept inside a square of
// about 22 km (20 hundredths of a degree) by turning back at its edges: its track keeps leaving the view and
// coming back. Parked, it stays within a few metres.
class Receiver {
public:
    Receiver(unsigned seed, bool parked) : random(seed), parked(parked) {}

    void next(GpsState& state) {
        if (parked) {
            state.latitude = 4812.5 + jitter(random);
            state.longitude = 1130.25 + jitter(random);
            return;
        }
        heading += turn(random);
        latitude += STEP * std::sin(heading);
        longitude += STEP * std::cos(heading);
        if (std::abs(latitude - 4812.5) > 10 || std::abs(longitude - 1130.25) > 10) {
            heading += 3.14159;
            latitude += 2 * STEP * std::sin(heading);
            longitude += 2 * STEP * std::cos(heading);
        }
        state.latitude = latitude;
        state.longitude = longitude;
    }

private:
    static constexpr double STEP = 0.006; // hundredths of a degree, about 7 m

    std::mt19937 random;
    std::normal_distribution<double> turn{0.0, 0.1};
    std::normal_distribution<double> jitter{0.0, 0.002};
    bool parked;
    double latitude = 4812.5;
    double longitude = 1130.25;
    double heading = 0;
};

// An off-screen picture of the view's size, as the view's paint draws into.
struct Picture {
    Picture() : dc(CreateCompatibleDC(nullptr)) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = VIEW_WIDTH;
        info.bmiHeader.biHeight = -VIEW_HEIGHT;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* data = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &data, nullptr, 0);
        bits = static_cast<const unsigned char*>(data);
        previous = SelectObject(dc, bitmap);
    }
    ~Picture() {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    bool sameAs(const Picture& other) const {
        GdiFlush();
        return std::memcmp(bits, other.bits, std::size_t{VIEW_WIDTH} * VIEW_HEIGHT * 4) == 0;
    }

    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ previous;
    const unsigned char* bits = nullptr;
};

// The view's picture drawn the plain way: a line to every point.
void drawEveryPoint(RouteView& view, HDC dc) {
    const RECT area{0, 0, VIEW_WIDTH, VIEW_HEIGHT};
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    view.context.hdc = dc;
    POINT p = veltaro::project(view.track.point(0), view.context);
    MoveToEx(dc, p.x, p.y, nullptr);
    for (std::int64_t i = 1; i < view.track.count; ++i) {
        p = veltaro::project(view.track.point(i), view.context);
        LineTo(dc, p.x, p.y);
    }
    SetPixel(dc, p.x, p.y, view.track.endColor);
}

// Seconds one call of paint takes over runs calls: the median, and the fastest, which other processes on the
// machine disturb least.
struct Timing {
    double median;
    double fastest;
};

template <typename Paint>
Timing timeCalls(int runs, Paint paint) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = now();
        paint();
        GdiFlush();
        times.push_back(now() - start);
    }
    std::sort(times.begin(), times.end());
    return Timing{times[times.size() / 2], times.front()};
}

struct Figures {
    Timing draw;           // the view's picture into its off-screen buffer
    Timing drawEveryPoint; // the same picture with a line to every point
    Timing windowPaint;    // a whole paint of the view's window: buffer, picture, copy to the screen
    bool identical;
    double bytesPerPoint;
    double addMean;
    double addSlowest1000th;
    double addWorst;
    long visiblePoints;
};

// A top-level window holding the view, its client area the benchmark's size.
class BenchWindow {
public:
    explicit BenchWindow(RouteView& view)
        : window(CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, VIEW_WIDTH + 20, VIEW_HEIGHT + 20,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr)),
          view(view) {
        view.setSize(VIEW_WIDTH, VIEW_HEIGHT);
        view.create(window);
        RECT client;
        GetClientRect(view.hwnd, &client);
        // The sunken edge takes its share of the window: grow it until the picture has the full size.
        MoveWindow(view.hwnd, 0, 0, 2 * VIEW_WIDTH - client.right, 2 * VIEW_HEIGHT - client.bottom, TRUE);
    }
    ~BenchWindow() { DestroyWindow(window); }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    Timing paint(int runs) {
        return timeCalls(runs, [&] {
            InvalidateRect(view.hwnd, nullptr, TRUE); // as a refresh does
            UpdateWindow(view.hwnd);
        });
    }

private:
    HWND window;
    RouteView& view;
};

Figures measure(long points, bool parked, const SharedGdi& gdi) {
    GpsState state;
    state.active = 1;
    state.fixType = 3;
    RouteView view(nullptr, false, gdi);
    view.data = &state;
    Receiver receiver(42, parked);
    std::vector<double> addTimes(static_cast<std::size_t>(points));

    const std::size_t bytesBefore = liveBytes;
    for (std::size_t i = 0; i < addTimes.size(); ++i) {
        receiver.next(state);
        const double start = now();
        view.refresh(); // no window yet: records the point and moves the origin
        addTimes[i] = now() - start;
    }
    Figures figures{};
    figures.bytesPerPoint = static_cast<double>(liveBytes - bytesBefore) / static_cast<double>(points);
    double addTotal = 0;
    for (const double took : addTimes) {
        addTotal += took;
    }
    figures.addMean = addTotal / static_cast<double>(points);
    std::sort(addTimes.begin(), addTimes.end());
    figures.addSlowest1000th = addTimes[addTimes.size() - 1 - addTimes.size() / 1000];
    figures.addWorst = addTimes.back();

    Picture fast;
    Picture every;
    view.context.width = VIEW_WIDTH;
    view.context.height = VIEW_HEIGHT;
    for (std::int64_t i = 0; i < view.track.count; ++i) {
        const POINT p = veltaro::project(view.track.point(i), view.context);
        figures.visiblePoints += p.x >= 0 && p.x < VIEW_WIDTH && p.y >= 0 && p.y < VIEW_HEIGHT ? 1 : 0;
    }
    // As many runs as take about a second or two.
    const int drawRuns = parked ? 11 : 1001;
    figures.draw = timeCalls(drawRuns, [&] { view.draw(fast.dc, VIEW_WIDTH, VIEW_HEIGHT); });
    figures.drawEveryPoint = timeCalls(points > 100000 ? 11 : 1001, [&] { drawEveryPoint(view, every.dc); });
    figures.identical = fast.sameAs(every);
    BenchWindow window(view);
    figures.windowPaint = window.paint(parked ? 11 : 501);
    return figures;
}

void report(const char* name, long points, const Figures& f) {
    std::printf("%s, %ld points, %ld of them in view (median / fastest):\n"
                "  draw %.3f / %.3f ms (a line to every point: %.3f / %.3f ms, picture %s)\n"
                "  window paint %.3f / %.3f ms\n"
                "  %.2f bytes per point; add %.3f us mean, %.3f us at the slowest 1/1000, %.3f us worst\n",
                name, points, f.visiblePoints, f.draw.median * 1e3, f.draw.fastest * 1e3, f.drawEveryPoint.median * 1e3,
                f.drawEveryPoint.fastest * 1e3, f.identical ? "identical" : "DIFFERENT", f.windowPaint.median * 1e3,
                f.windowPaint.fastest * 1e3, f.bytesPerPoint, f.addMean * 1e6, f.addSlowest1000th * 1e6,
                f.addWorst * 1e6);
}

} // namespace

int main() {
    SharedGdi gdi{};
    gdi.appInstance = GetModuleHandleA(nullptr);
    std::printf("view %d x %d, scale 2000\n", VIEW_WIDTH, VIEW_HEIGHT);
    const Figures small = measure(1000, false, gdi);
    report("driving", 1000, small);
    const Figures large = measure(1000000, false, gdi);
    report("driving", 1000000, large);
    std::printf("ratio 10^6 / 10^3 points: draw %.2f (fastest %.2f), window paint %.2f (fastest %.2f)\n",
                large.draw.median / small.draw.median, large.draw.fastest / small.draw.fastest,
                large.windowPaint.median / small.windowPaint.median,
                large.windowPaint.fastest / small.windowPaint.fastest);
    const Figures parked = measure(1000000, true, gdi);
    report("parked", 1000000, parked);
    return small.identical && large.identical && parked.identical ? 0 : 1;
}
