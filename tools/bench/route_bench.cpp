// Route view figures at scale: repaint time with 10^3 and 10^6 recorded points while driving and with 10^3,
// 10^6 and 10^7 while parked, each picture against a line to every point as the view zooms, pans and follows
// new points, bytes per point and the time to add a point. Run under Wine on an X display (Xvfb will do):
//   scripts/wine-run.sh build/win/wineprefix build/win/tools/bench/route_bench.exe

#include "gps/gps_state.h"
#include "support/canvas.h"
#include "ui/views/route_view.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
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
    // Through an integer: the compiler, seeing the block from operator new inlined, takes the header for an
    // access before it.
    auto* block = reinterpret_cast<unsigned char*>(reinterpret_cast<std::uintptr_t>(memory) - HEADER);
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
constexpr COLORREF TRACK = RGB(0, 0, 0);

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
    bool track(int x, int y) const { return canvas.pixel(x, y) == TRACK; } // off the picture: none

    // Whether every track pixel here has one in the other picture at most a pixel away, on either axis.
    bool covers(const Picture& other) const {
        for (int y = 0; y < VIEW_HEIGHT; ++y) {
            for (int x = 0; x < VIEW_WIDTH; ++x) {
                if (track(x, y) && !other.track(x - 1, y - 1) && !other.track(x, y - 1) && !other.track(x + 1, y - 1) &&
                    !other.track(x - 1, y) && !other.track(x, y) && !other.track(x + 1, y) &&
                    !other.track(x - 1, y + 1) && !other.track(x, y + 1) && !other.track(x + 1, y + 1)) {
                    return false;
                }
            }
        }
        return true;
    }

    // "identical", "within one pixel" or "FURTHER": how far the pictures' track pixels lie apart.
    const char* compare(const Picture& other) const {
        if (canvas.sameAs(other.canvas)) {
            return IDENTICAL;
        }
        return covers(other) && other.covers(*this) ? WITHIN_ONE : FURTHER;
    }

    HDC dc() const { return canvas.dc(); }

    static constexpr const char* IDENTICAL = "identical";
    static constexpr const char* WITHIN_ONE = "within one pixel";
    static constexpr const char* FURTHER = "FURTHER";

    veltaro::test::Canvas canvas{VIEW_WIDTH, VIEW_HEIGHT};
};

// The view's picture drawn the plain way: a line to every point.
void drawEveryPoint(RouteView& view, HDC dc) {
    const RECT area{0, 0, VIEW_WIDTH, VIEW_HEIGHT};
    FillRect(dc, &area, GetSysColorBrush(COLOR_WINDOW));
    veltaro::DrawContext context = view.context;
    context.hdc = dc;
    context.width = VIEW_WIDTH;
    context.height = VIEW_HEIGHT;
    POINT p = veltaro::project(view.track.point(0), context);
    MoveToEx(dc, p.x, p.y, nullptr);
    for (std::int64_t i = 1; i < view.track.count; ++i) {
        p = veltaro::project(view.track.point(i), context);
        LineTo(dc, p.x, p.y);
    }
    SetPixel(dc, p.x, p.y, view.track.endColor);
}

// Seconds one call of paint takes over up to 1001 calls, as many as fit in about two seconds and at least
// three: the median, and the fastest, which other processes on the machine disturb least.
struct Timing {
    double median;
    double fastest;
};

template <typename Paint>
Timing timeCalls(Paint paint) {
    std::vector<double> times;
    const double began = now();
    for (int run = 0; run < 1001 && (run < 3 || now() - began < 2.0); ++run) {
        const double start = now();
        paint();
        GdiFlush();
        times.push_back(now() - start);
    }
    std::sort(times.begin(), times.end());
    return Timing{times[times.size() / 2], times.front()};
}

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
    ~BenchWindow() {
        DestroyWindow(view.hwnd);
        view.hwnd = nullptr;
        DestroyWindow(window);
    }
    BenchWindow(const BenchWindow&) = delete;
    BenchWindow& operator=(const BenchWindow&) = delete;

    Timing paint() {
        return timeCalls([&] {
            InvalidateRect(view.hwnd, nullptr, TRUE); // as a refresh does
            UpdateWindow(view.hwnd);
        });
    }

private:
    HWND window;
    RouteView& view;
};

// A route view fed by a receiver, with the figures of recording its points.
struct Recording {
    Recording(long points, bool parked, const SharedGdi& gdi) : view(nullptr, false, gdi), receiver(42, parked) {
        state.active = 1;
        state.fixType = 3;
        view.data = &state;
        std::vector<double> addTimes(static_cast<std::size_t>(points));
        const std::size_t bytesBefore = liveBytes;
        for (double& took : addTimes) {
            receiver.next(state);
            const double start = now();
            view.refresh(); // no window yet: records the point and moves the origin
            took = now() - start;
        }
        bytesPerPoint = static_cast<double>(liveBytes - bytesBefore) / static_cast<double>(points);
        double addTotal = 0;
        for (const double took : addTimes) {
            addTotal += took;
        }
        addMean = addTotal / static_cast<double>(points);
        std::sort(addTimes.begin(), addTimes.end());
        addSlowest1000th = addTimes[addTimes.size() - 1 - addTimes.size() / 1000];
        addWorst = addTimes.back();
        view.context.width = VIEW_WIDTH;
        view.context.height = VIEW_HEIGHT;
        for (std::int64_t i = 0; i < view.track.count; ++i) {
            const POINT p = veltaro::project(view.track.point(i), view.context);
            visiblePoints += p.x >= 0 && p.x < VIEW_WIDTH && p.y >= 0 && p.y < VIEW_HEIGHT ? 1 : 0;
        }
    }

    void addPoint() {
        receiver.next(state);
        view.refresh();
    }

    GpsState state;
    RouteView view;
    Receiver receiver;
    double bytesPerPoint;
    double addMean;
    double addSlowest1000th;
    double addWorst;
    long visiblePoints = 0;
};

struct Figures {
    Timing draw;           // the view's picture into its off-screen buffer
    Timing newPoint;       // a new point and the picture after it
    Timing drawEveryPoint; // the same picture with a line to every point
    Timing windowPaint;    // a whole paint of the view's window: buffer, picture, copy to the screen
    const char* picture;   // the view's picture against a line to every point
};

Figures measure(Recording& recording) {
    RouteView& view = recording.view;
    Picture fast;
    Picture every;
    Figures figures{};
    view.draw(fast.dc(), VIEW_WIDTH, VIEW_HEIGHT); // whatever the first paint sets up
    figures.draw = timeCalls([&] { view.draw(fast.dc(), VIEW_WIDTH, VIEW_HEIGHT); });
    figures.drawEveryPoint = timeCalls([&] { drawEveryPoint(view, every.dc()); });
    figures.picture = fast.compare(every);
    figures.newPoint = timeCalls([&] {
        recording.addPoint();
        view.draw(fast.dc(), VIEW_WIDTH, VIEW_HEIGHT);
    });
    BenchWindow window(view);
    figures.windowPaint = window.paint();
    return figures;
}

void report(const char* name, long points, const Recording& r, const Figures& f) {
    std::printf("%s, %ld points, %ld of them in view (median / fastest):\n"
                "  draw %.3f / %.3f ms (a line to every point: %.3f / %.3f ms, picture %s)\n"
                "  a new point and the draw after it %.3f / %.3f ms\n"
                "  window paint %.3f / %.3f ms\n"
                "  %.2f bytes per point; add %.3f us mean, %.3f us at the slowest 1/1000, %.3f us worst\n",
                name, points, r.visiblePoints, f.draw.median * 1e3, f.draw.fastest * 1e3, f.drawEveryPoint.median * 1e3,
                f.drawEveryPoint.fastest * 1e3, f.picture, f.newPoint.median * 1e3, f.newPoint.fastest * 1e3,
                f.windowPaint.median * 1e3, f.windowPaint.fastest * 1e3, r.bytesPerPoint, r.addMean * 1e6,
                r.addSlowest1000th * 1e6, r.addWorst * 1e6);
}

// The view through zooms, pans and new points, each picture against a line to every point, with the time of
// the draw after each change (a zoom or a pan that leaves the cache's margins draws the track anew). Says
// whether every picture was within a pixel.
bool visit(Recording& recording) {
    RouteView& view = recording.view;
    Picture fast;
    Picture every;
    bool good = true;
    const auto check = [&](const char* what) {
        const double start = now();
        view.draw(fast.dc(), VIEW_WIDTH, VIEW_HEIGHT);
        GdiFlush();
        const double took = now() - start;
        drawEveryPoint(view, every.dc());
        const char* picture = fast.compare(every);
        good = good && picture != Picture::FURTHER;
        std::printf("    %-40s scale %8.1f: draw %8.3f ms, picture %s\n", what, view.context.scale, took * 1e3,
                    picture);
    };
    const auto zoom = [&](double by, int steps) {
        for (int i = 0; i < steps; ++i) {
            view.zoomTo(view.context.scale * by);
        }
    };
    const auto pan = [&](double halfViews) {
        view.lonOffset += halfViews * 0.5 * VIEW_WIDTH / view.context.scale;
        recording.addPoint(); // a pan shows with the next position
    };
    check("as recorded");
    recording.addPoint();
    check("a new point");
    for (int i = 0; i < 20; ++i) {
        recording.addPoint();
    }
    check("20 new points");
    zoom(1.1, 1);
    check("zoomed in");
    recording.addPoint();
    check("zoomed in, a new point");
    zoom(1.1, 10);
    check("zoomed in 10 more steps");
    recording.addPoint();
    check("zoomed in, a new point");
    zoom(1 / 1.1, 13);
    check("zoomed out 13 steps");
    zoom(1 / 1.1, 20);
    check("zoomed out 20 more steps");
    zoom(1 / 1.1, 10);
    check("zoomed out 10 more steps");
    recording.addPoint();
    check("zoomed out, a new point");
    view.zoomTo(2000);
    check("back to 2000");
    pan(0.5);
    check("panned a quarter view west, a new point");
    pan(0.5);
    check("panned a quarter view more, a new point");
    pan(-1);
    check("panned back, a new point");
    return good;
}

} // namespace

int main() {
    SharedGdi gdi{};
    gdi.appInstance = GetModuleHandleA(nullptr);
    std::printf("view %d x %d, scale 2000\n", VIEW_WIDTH, VIEW_HEIGHT);
    bool good = true;

    Recording drivingShort(1000, false, gdi);
    const Figures shortDrive = measure(drivingShort);
    report("driving", 1000, drivingShort, shortDrive);
    Recording drivingLong(1000000, false, gdi);
    const Figures longDrive = measure(drivingLong);
    report("driving", 1000000, drivingLong, longDrive);
    std::printf("ratio 10^6 / 10^3 points driving: draw %.2f (fastest %.2f), window paint %.2f (fastest %.2f)\n",
                longDrive.draw.median / shortDrive.draw.median, longDrive.draw.fastest / shortDrive.draw.fastest,
                longDrive.windowPaint.median / shortDrive.windowPaint.median,
                longDrive.windowPaint.fastest / shortDrive.windowPaint.fastest);
    good = good && shortDrive.picture == Picture::IDENTICAL && longDrive.picture == Picture::IDENTICAL;

    Recording parkedShort(1000, true, gdi);
    const Figures parked = measure(parkedShort);
    report("parked", 1000, parkedShort, parked);
    good = good && parked.picture == Picture::IDENTICAL;
    for (const long points : {1000000L, 10000000L}) {
        Recording recording(points, true, gdi);
        Picture first;
        const int freeBefore = veltaro::test::freeGdiHandles();
        const double start = now();
        recording.view.draw(first.dc(), VIEW_WIDTH, VIEW_HEIGHT);
        GdiFlush();
        const double took = now() - start;
        std::printf("parked, %ld points: first draw %.3f ms, after it the view holds %d more GDI objects\n", points,
                    took * 1e3, freeBefore - veltaro::test::freeGdiHandles());
        const Figures f = measure(recording);
        report("parked", points, recording, f);
        std::printf("ratio to 10^3 points parked: draw %.2f (fastest %.2f), window paint %.2f (fastest %.2f); "
                    "to 10^3 points driving: draw %.2f (fastest %.2f), window paint %.2f (fastest %.2f)\n",
                    f.draw.median / parked.draw.median, f.draw.fastest / parked.draw.fastest,
                    f.windowPaint.median / parked.windowPaint.median,
                    f.windowPaint.fastest / parked.windowPaint.fastest, f.draw.median / shortDrive.draw.median,
                    f.draw.fastest / shortDrive.draw.fastest, f.windowPaint.median / shortDrive.windowPaint.median,
                    f.windowPaint.fastest / shortDrive.windowPaint.fastest);
        std::printf("  views visited:\n");
        good = visit(recording) && good && f.picture != Picture::FURTHER;
    }
    return good ? 0 : 1;
}
