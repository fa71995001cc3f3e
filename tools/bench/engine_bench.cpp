// Decoding speed against a bare comma split of the same lines, the queue's line reader, and what the fix
// scatter costs a fix, its figures and its memory.
// Reports figures only; nothing here asserts a time.
#include "core/byte_queue.h"
#include "gps/fix_scatter.h"
#include "gps/nmea.h"

#include "support/captures.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace veltaro;

// Every line of every capture, as the parser receives them from its queue, each NUL-terminated.
struct Corpus {
    struct Line {
        std::size_t offset;
        int length;
        int count;
    };
    std::vector<char> text;
    std::vector<Line> lines;
    std::string stream; // all captures back to back, as bytes on the wire
};

const Corpus& corpus() {
    static const Corpus loaded = [] {
        Corpus c;
        for (const test::Capture& capture : test::loadCaptures()) {
            c.stream += capture.bytes;
            ByteQueue queue;
            queue.append(capture.bytes.data(), static_cast<int>(capture.bytes.size()));
            queue.signalStop();
            int count = 0;
            while (std::unique_ptr<char[]> line = queue.readLine(count)) {
                const std::size_t length = std::strlen(line.get());
                c.lines.push_back({c.text.size(), static_cast<int>(length), count});
                c.text.insert(c.text.end(), line.get(), line.get() + length + 1);
            }
        }
        return c;
    }();
    return loaded;
}

void BM_DecodeSentence(benchmark::State& run) {
    const Corpus& c = corpus();
    std::vector<char> work(c.text.size());
    GpsState state;
    SatelliteTable working;
    for (auto _ : run) {
        run.PauseTiming(); // decoding overwrites each line's first comma
        std::memcpy(work.data(), c.text.data(), c.text.size());
        run.ResumeTiming();
        for (const Corpus::Line& line : c.lines) {
            decodeSentence(state, working, work.data() + line.offset, line.count);
        }
        benchmark::DoNotOptimize(state);
    }
    run.SetItemsProcessed(run.iterations() * static_cast<std::int64_t>(c.lines.size()));
    run.SetBytesProcessed(run.iterations() * static_cast<std::int64_t>(c.text.size()));
}
BENCHMARK(BM_DecodeSentence)->Unit(benchmark::kMicrosecond);

// The baseline: find every comma of every line with memchr, and nothing more.
void BM_CommaSplit(benchmark::State& run) {
    const Corpus& c = corpus();
    for (auto _ : run) {
        std::size_t fields = 0;
        for (const Corpus::Line& line : c.lines) {
            const char* p = c.text.data() + line.offset;
            const char* end = p + line.length;
            while (const void* comma = std::memchr(p, ',', static_cast<std::size_t>(end - p))) {
                ++fields;
                p = static_cast<const char*>(comma) + 1;
            }
        }
        benchmark::DoNotOptimize(fields);
    }
    run.SetItemsProcessed(run.iterations() * static_cast<std::int64_t>(c.lines.size()));
    run.SetBytesProcessed(run.iterations() * static_cast<std::int64_t>(c.text.size()));
}
BENCHMARK(BM_CommaSplit)->Unit(benchmark::kMicrosecond);

// The stream arrives in chunks the size a serial reader appends, and after each chunk the reader takes
// every line that is complete, as the parser thread does while it keeps up with a receiver.
void BM_QueueReadLine(benchmark::State& run) {
    const std::string& stream = corpus().stream;
    const std::size_t chunk = static_cast<std::size_t>(run.range(0));
    for (auto _ : run) {
        ByteQueue queue;
        std::size_t lines = 0;
        int count = 0;
        for (std::size_t at = 0; at < stream.size(); at += chunk) {
            queue.append(stream.data() + at, static_cast<int>(std::min(chunk, stream.size() - at)));
            queue.signalStop(); // ends the read once no whole line is left
            while (std::unique_ptr<char[]> line = queue.readLine(count)) {
                ++lines;
            }
        }
        benchmark::DoNotOptimize(lines);
    }
    run.SetBytesProcessed(run.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_QueueReadLine)->Arg(64)->Arg(512)->Arg(4096)->Unit(benchmark::kMillisecond);

// A producer thread appends the whole stream as fast as it can while the consumer thread reads lines:
// the backlog grows far past anything a serial line delivers, and each line shifts what is left.
void BM_QueueReadLineBacklog(benchmark::State& run) {
    const std::string& stream = corpus().stream;
    for (auto _ : run) {
        ByteQueue queue;
        std::thread producer([&] {
            for (std::size_t at = 0; at < stream.size(); at += 512) {
                queue.append(stream.data() + at, static_cast<int>(std::min<std::size_t>(512, stream.size() - at)));
            }
            queue.signalStop();
        });
        int count = 0;
        std::size_t lines = 0;
        while (std::unique_ptr<char[]> line = queue.readLine(count)) {
            ++lines;
        }
        producer.join();
        benchmark::DoNotOptimize(lines);
    }
    run.SetBytesProcessed(run.iterations() * static_cast<std::int64_t>(stream.size()));
}
BENCHMARK(BM_QueueReadLineBacklog)->Unit(benchmark::kMillisecond)->UseRealTime();

// A backlog already in the queue, as after the parser fell behind, read out line by line. Reading it must
// cost the same per byte however much is queued.
void BM_QueueReadBacklog(benchmark::State& run) {
    const std::string& stream = corpus().stream;
    const std::size_t size = static_cast<std::size_t>(run.range(0)) << 20;
    std::string backlog;
    while (backlog.size() < size) {
        backlog.append(stream, 0, std::min(stream.size(), size - backlog.size()));
    }
    for (auto _ : run) {
        run.PauseTiming();
        ByteQueue queue;
        queue.append(backlog.data(), static_cast<int>(backlog.size()));
        queue.signalStop(); // ends the read once no whole line is left
        run.ResumeTiming();
        int count = 0;
        std::size_t lines = 0;
        while (std::unique_ptr<char[]> line = queue.readLine(count)) {
            ++lines;
        }
        benchmark::DoNotOptimize(lines);
    }
    run.SetBytesProcessed(run.iterations() * static_cast<std::int64_t>(backlog.size()));
}
BENCHMARK(BM_QueueReadBacklog)->Arg(1)->Arg(10)->ArgName("MB")->Unit(benchmark::kMillisecond);

// A 10 MB line with no terminator arrives in 512-byte chunks while the reader waits in readLine, as the
// parser does behind a receiver sending garbage at a wrong baud rate; then its terminator arrives.
void BM_QueueAppendLongLine(benchmark::State& run) {
    constexpr std::size_t SIZE = std::size_t{10} << 20;
    constexpr std::size_t CHUNK = 512;
    const std::string garbage(CHUNK, 'x');
    for (auto _ : run) {
        ByteQueue queue;
        std::thread reader([&] {
            int count = 0;
            benchmark::DoNotOptimize(queue.readLine(count));
        });
        for (std::size_t at = 0; at < SIZE; at += CHUNK) {
            queue.append(garbage.data(), static_cast<int>(CHUNK));
        }
        queue.append("\r", 1);
        reader.join();
    }
    run.SetBytesProcessed(run.iterations() * static_cast<std::int64_t>(SIZE));
}
BENCHMARK(BM_QueueAppendLongLine)->Unit(benchmark::kMillisecond)->UseRealTime();

// A receiver's fixes scattered by a metre around one place, as the accuracy page collects them.
const std::vector<EarthPoint>& scatterFixes() {
    static const std::vector<EarthPoint> fixes = [] {
        std::mt19937 random(1);
        std::normal_distribution<double> metres(0, 1);
        std::vector<EarthPoint> made(FixScatter::MAX_FIXES);
        for (EarthPoint& fix : made) {
            fix = {48.1 + metres(random) / 111200, 11.5 + metres(random) / 74300, 520 + metres(random)};
        }
        return made;
    }();
    return fixes;
}

std::size_t heapInUse() {
    const struct mallinfo2 heap = mallinfo2();
    return heap.uordblks + heap.hblkhd;
}

// Adding the fixes one by one, per fix, and the heap they then take, per fix.
void BM_ScatterAdd(benchmark::State& run) {
    const std::vector<EarthPoint>& fixes = scatterFixes();
    const std::int64_t count = run.range(0);
    const std::size_t before = heapInUse();
    {
        FixScatter scatter;
        for (std::int64_t i = 0; i < count; ++i) {
            scatter.add(fixes[static_cast<std::size_t>(i)], i * 1000);
        }
        scatter.figures();
        run.counters["bytes/fix"] = static_cast<double>(heapInUse() - before) / static_cast<double>(count);
    }
    for (auto _ : run) {
        FixScatter scatter;
        for (std::int64_t i = 0; i < count; ++i) {
            scatter.add(fixes[static_cast<std::size_t>(i)], i * 1000);
        }
        benchmark::DoNotOptimize(scatter.size());
    }
    run.counters["s/add"] = benchmark::Counter(
        static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ScatterAdd)->Arg(1000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The figures after one more fix, as the page asks for them, up to the given number of fixes.
constexpr std::int64_t FIGURES_ASKED = 500;

void BM_ScatterFigures(benchmark::State& run) {
    const std::vector<EarthPoint>& fixes = scatterFixes();
    const std::int64_t count = run.range(0);
    FixScatter scatter;
    std::int64_t i = 0;
    for (; i < count - FIGURES_ASKED; ++i) {
        scatter.add(fixes[static_cast<std::size_t>(i)], i * 1000);
    }
    scatter.figures();
    for (auto _ : run) {
        scatter.add(fixes[static_cast<std::size_t>(i)], i * 1000);
        ++i;
        benchmark::DoNotOptimize(scatter.figures());
    }
}
BENCHMARK(BM_ScatterFigures)
    ->Arg(1000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Iterations(FIGURES_ASKED)
    ->Unit(benchmark::kMicrosecond);

// The figures measured afresh, as after the reference changes: the exception, not the rule.
void BM_ScatterFiguresAfresh(benchmark::State& run) {
    const std::vector<EarthPoint>& fixes = scatterFixes();
    FixScatter scatter;
    for (std::int64_t i = 0; i < run.range(0); ++i) {
        scatter.add(fixes[static_cast<std::size_t>(i)], i * 1000);
    }
    for (auto _ : run) {
        scatter.useMean();
        benchmark::DoNotOptimize(scatter.figures());
    }
}
BENCHMARK(BM_ScatterFiguresAfresh)->Arg(1000)->Arg(99999)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

// Prints the decode-to-split ratio after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) {
                continue;
            }
            if (run.benchmark_name() == "BM_DecodeSentence") {
                decode = run.GetAdjustedCPUTime();
            } else if (run.benchmark_name() == "BM_CommaSplit") {
                split = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        if (decode > 0 && split > 0) {
            std::printf("decodeSentence / memchr comma split: %.2f (%zu lines, %zu bytes)\n", decode / split,
                        corpus().lines.size(), corpus().text.size());
        }
    }

private:
    double decode = 0;
    double split = 0;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
