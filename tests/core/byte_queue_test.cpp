#include "core/byte_queue.h"

#include "support/captures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <future>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace veltaro {
namespace {

// Reads n lines, waiting for each; fewer when the queue stops first.
std::vector<std::string> readLines(ByteQueue& queue, std::size_t n) {
    std::vector<std::string> lines;
    int count = 0;
    while (lines.size() < n) {
        std::unique_ptr<char[]> line = queue.readLine(count);
        if (!line) {
            break;
        }
        lines.emplace_back(line.get());
    }
    return lines;
}

constexpr auto GENEROUS = std::chrono::seconds(30);

void appendText(ByteQueue& queue, const std::string& text) {
    ASSERT_TRUE(queue.append(text.data(), static_cast<int>(text.size())));
}

std::string takeText(ByteQueue& queue) {
    int n = -7;
    std::unique_ptr<char[]> block = queue.takeAll(n);
    return block ? std::string(block.get(), static_cast<std::size_t>(n)) : std::string();
}

struct Line {
    std::string text;
    int count;
    bool operator==(const Line&) const = default;
};

void PrintTo(const Line& line, std::ostream* out) {
    *out << '"' << line.text << "\" count " << line.count;
}

// Reads every line that is already complete: with the stop signalled beforehand, the first wait ends.
std::vector<Line> drainLines(ByteQueue& queue) {
    queue.signalStop();
    std::vector<Line> lines;
    int count = 0;
    while (std::unique_ptr<char[]> line = queue.readLine(count)) {
        lines.push_back({line.get(), count});
    }
    return lines;
}

struct TerminatorCase {
    const char* name;
    std::string input;
    std::vector<Line> lines;
    std::string left;
};

TEST(ByteQueueTest, SplitsLinesAtEveryTerminatorCombination) {
    const TerminatorCase cases[] = {
        {"CR LF", "A\r\nB\r\n", {{"A", 1}, {"B", 2}}, "\n"}, // the last LF waits for the next line
        {"LF only", "A\nB\n", {{"A", 1}, {"B", 1}}, ""},
        {"lone CR", "\r", {{"", 0}}, ""},
        {"LF LF", "\n\n", {{"", 1}}, ""},
        {"LF CR", "\n\r", {{"", 1}}, ""},
        {"A LF CR B CR", "A\n\rB\r", {{"A", 1}, {"", 0}, {"B", 1}}, ""},
        {"three LFs then X", "\n\n\nX\r", {{"", 1}, {"X", 2}}, ""},
        {"leading LF counts", "\nXYZ\r", {{"XYZ", 4}}, ""},
        {"plain CR", "XYZ\r", {{"XYZ", 3}}, ""},
        {"CR CR LF", "A\r\r\nB\r\r\n", {{"A", 1}, {"", 0}, {"B", 2}, {"", 0}}, "\n"},
        {"unterminated tail stays", "$GPGGA,1\r\n$GPRMC,2", {{"$GPGGA,1", 8}}, "\n$GPRMC,2"},
        {"nothing complete", "$GPGSV,3,1", {}, "$GPGSV,3,1"},
        {"binary bytes pass", std::string("\x00\xff\x80\r", 4), {{std::string("\x00\xff\x80", 3), 3}}, ""},
    };
    for (const TerminatorCase& c : cases) {
        SCOPED_TRACE(c.name);
        ByteQueue queue;
        appendText(queue, c.input);
        std::vector<Line> lines = drainLines(queue);
        // A NUL inside a line shortens the C string; compare what the decoder will see.
        std::vector<Line> expected = c.lines;
        for (Line& line : expected) {
            line.text = line.text.c_str();
        }
        EXPECT_EQ(lines, expected);
        EXPECT_EQ(takeText(queue), c.left);
    }
}

TEST(ByteQueueTest, ReturnsASentenceOnlyOnceItsTerminatorArrived) {
    ByteQueue queue;
    appendText(queue, "$GPGGA,123519,4807.038,N,");
    EXPECT_TRUE(drainLines(queue).empty());
    appendText(queue, "01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
    EXPECT_EQ(drainLines(queue),
              (std::vector<Line>{{"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47", 65}}));
}

TEST(ByteQueueTest, ThirdReadBlocksUntilStopAndKeepsThePartialLine) {
    ByteQueue queue;
    appendText(queue, "A\r\nB\r\n");
    int count = 0;
    EXPECT_STREQ(queue.readLine(count).get(), "A");
    EXPECT_STREQ(queue.readLine(count).get(), "B");

    std::future<bool> third = std::async(std::launch::async, [&] {
        int n = 99;
        std::unique_ptr<char[]> line = queue.readLine(n);
        return line == nullptr && n == 99;
    });
    appendText(queue, "partial");
    queue.signalStop();
    ASSERT_EQ(third.wait_for(GENEROUS), std::future_status::ready);
    EXPECT_TRUE(third.get());

    appendText(queue, " line\r\n");
    EXPECT_STREQ(queue.readLine(count).get(), "partial line");
}

TEST(ByteQueueTest, ReaderGetsEveryLineOfAStreamArrivingInOddChunks) {
    const std::string capture = test::readFile(std::string(VELTARO_NMEA_DIR) + "/quectel.nmea");
    ASSERT_FALSE(capture.empty());
    const std::vector<std::string> expected = test::splitCrLfLines(capture);

    ByteQueue queue;
    std::thread producer([&] {
        std::size_t at = 0;
        for (int size = 1; at < capture.size(); size = size % 13 + 1) {
            const std::size_t n = std::min(capture.size() - at, static_cast<std::size_t>(size));
            queue.append(capture.data() + at, static_cast<int>(n));
            at += n;
        }
    });
    const std::vector<std::string> lines = readLines(queue, expected.size());
    producer.join();
    EXPECT_EQ(lines, expected);
}

// Lines leave from the front without moving the rest; the space is reclaimed by a later append, either
// by moving the content to the front or by growing. A line that straddles either must come out whole.
TEST(ByteQueueTest, LineStraddlingAReclaimOrAGrowthComesOutWhole) {
    struct Case {
        const char* name;
        std::size_t first; // a whole line, read before the rest arrives
        std::size_t partial;
        std::size_t rest;
    };
    const Case cases[] = {
        {"moved to the front", 600, 4, 500},
        {"grown while lines were taken", 300, 600, 500},
        {"grown from empty", 0, 1000, 3000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ByteQueue queue;
        const std::string first(c.first, 'a');
        std::string partial(c.partial, 'b');
        partial.front() = '<';
        std::string rest(c.rest, 'c');
        rest.back() = '>';
        appendText(queue, first + "\r" + partial);
        EXPECT_EQ(drainLines(queue), (std::vector<Line>{{first, static_cast<int>(c.first)}}));
        appendText(queue, rest + "\rtail");
        EXPECT_EQ(drainLines(queue), (std::vector<Line>{{partial + rest, static_cast<int>(c.partial + c.rest)}}));
        EXPECT_EQ(takeText(queue), "tail");
    }
}

// Random bytes with a CR, an LF or a NUL about every lineEvery bytes.
std::string randomBytes(std::mt19937& random, std::size_t n, unsigned lineEvery) {
    std::string bytes(n, ' ');
    for (char& b : bytes) {
        const unsigned pick = static_cast<unsigned>(random() % lineEvery);
        b = pick < 3 ? "\r\n"[pick] : static_cast<char>('a' + pick % 26);
    }
    return bytes;
}

// The queue's contract on a plain string: what it holds, oldest first, where its source broke, and how a
// line leaves it.
struct ModelQueue {
    std::string content;
    std::vector<std::size_t> breaks; // positions in content, ascending

    void remove(std::size_t n) {
        content.erase(0, n);
        std::vector<std::size_t> kept;
        for (const std::size_t at : breaks) {
            if (at > n) {
                kept.push_back(at - n);
            }
        }
        breaks = kept;
    }

    void markBreak() { addBreak(content.size()); }
    void addBreak(std::size_t at) {
        if (breaks.empty() || breaks.back() < at) {
            breaks.push_back(at);
        }
    }

    bool readLine(Line& line) {
        for (;;) {
            remove(0);
            const std::size_t end = breaks.empty() ? content.size() : breaks.front();
            std::size_t start = 0;
            for (std::size_t i = 0; i < end; ++i) {
                if (content[i] == '\r' || (content[i] == '\n' && i > 0)) {
                    line = {content.substr(start, i - start), static_cast<int>(i)};
                    remove(i + 1);
                    return true;
                }
                start = content[i] == '\n' ? 1 : start;
            }
            if (breaks.empty()) {
                return false;
            }
            remove(end); // a line its source never finished
        }
    }

    void moveTo(ModelQueue& destination) {
        if (content.empty()) {
            return;
        }
        for (const std::size_t at : breaks) {
            destination.addBreak(destination.content.size() + at);
        }
        destination.content += content;
        content.clear();
        breaks.clear();
    }
};

TEST(ByteQueueTest, KeepsContentAndOrderThroughAnyMixOfOperations) {
    struct Case {
        const char* name;
        unsigned maxChunk;
        unsigned lineEvery;
    };
    const Case cases[] = {
        {"small chunks, short lines", 16, 8},
        {"chunks about the first storage size", 2048, 40},
        {"lines longer than the storage", 6000, 5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 random(c.maxChunk);
        ByteQueue queues[2];
        ModelQueue models[2];
        for (int step = 0; step < 3000; ++step) {
            const unsigned op = static_cast<unsigned>(random() % 21);
            const std::size_t q = random() % 2;
            ByteQueue& queue = queues[q];
            ModelQueue& model = models[q];
            if (op < 10) {
                const std::string bytes = randomBytes(random, random() % (c.maxChunk + 1), c.lineEvery);
                appendText(queue, bytes);
                model.content += bytes;
            } else if (op < 17) {
                Line expected;
                const bool complete = model.readLine(expected);
                queue.signalStop(); // ends the read if no whole line is there
                int count = -7;
                std::unique_ptr<char[]> line = queue.readLine(count);
                ASSERT_EQ(line != nullptr, complete) << "step " << step;
                const std::string text = line ? std::string(line.get(), expected.text.size() + 1) : "";
                ASSERT_EQ((Line{text, count}), (complete ? Line{expected.text + '\0', expected.count} : Line{"", -7}))
                    << "step " << step;
            } else if (op < 19) {
                ASSERT_EQ(takeText(queue), model.content) << "step " << step;
                model.remove(model.content.size());
            } else if (op < 20) {
                // Always the first into the second, as a port hands its old queue on: the other way
                // round would take the two locks in both orders.
                queues[0].moveAllTo(queues[1]);
                models[0].moveTo(models[1]);
            } else {
                queue.markBreak();
                model.markBreak();
            }
        }
        EXPECT_EQ(takeText(queues[0]), models[0].content);
        EXPECT_EQ(takeText(queues[1]), models[1].content);
    }
}

// Long lines in random chunks while the reader waits in the middle of a line: its scan position
// must survive the content moving to the front or into grown storage.
TEST(ByteQueueTest, ReaderWaitingInsideALongLineGetsItWholeWhileTheStorageMoves) {
    std::mt19937 random(7);
    std::vector<std::string> expected;
    std::string stream;
    for (int i = 0; i < 200; ++i) {
        expected.push_back(std::string(random() % 4000, static_cast<char>('a' + i % 26)));
        stream += expected.back() + "\r\n";
    }
    ByteQueue queue;
    std::thread producer([&] {
        std::mt19937 sizes(11);
        for (std::size_t at = 0; at < stream.size();) {
            const std::size_t n = std::min<std::size_t>(stream.size() - at, sizes() % 3000 + 1);
            queue.append(stream.data() + at, static_cast<int>(n));
            at += n;
        }
    });
    const std::vector<std::string> lines = readLines(queue, expected.size());
    producer.join();
    EXPECT_EQ(lines, expected);
}

TEST(ByteQueueTest, TakeAllEmptiesTheQueueAndLeavesCountAloneWhenEmpty) {
    ByteQueue queue;
    int n = 42;
    EXPECT_EQ(queue.takeAll(n), nullptr);
    EXPECT_EQ(n, 42);

    const std::string big(5000, 'x'); // past the first storage block
    appendText(queue, "head");
    appendText(queue, big);
    EXPECT_EQ(takeText(queue), "head" + big);
    EXPECT_EQ(queue.takeAll(n), nullptr);
}

TEST(ByteQueueTest, AppendThatCannotGrowKeepsTheContent) {
    ByteQueue queue;
    appendText(queue, "kept");
    // A size no int32 queue can hold: refused before any byte of the source is read.
    const char one = 'z';
    EXPECT_FALSE(queue.append(&one, INT_MAX - 2));
    EXPECT_EQ(takeText(queue), "kept");
}

TEST(ByteQueueTest, EveryAppendSignalsDataReadyEvenWithNoBytes) {
    ByteQueue queue;
    queue.append(nullptr, 0);
    // The signal given while nobody waited releases this wait at once.
    std::future<void> early = std::async(std::launch::async, [&] { queue.waitForData(); });
    const bool released = early.wait_for(GENEROUS) == std::future_status::ready;
    if (!released) {
        queue.signalStop(); // let the waiter go, so the failure is reported instead of hanging
    }
    EXPECT_TRUE(released);

    std::future<void> late = std::async(std::launch::async, [&] { queue.waitForData(); });
    appendText(queue, "x");
    EXPECT_EQ(late.wait_for(GENEROUS), std::future_status::ready);
}

TEST(ByteQueueTest, MoveAllToAppendsBehindTheDestinationAndEmptiesTheSource) {
    ByteQueue source;
    ByteQueue destination;
    appendText(source, "cd");
    appendText(destination, "ab");
    std::future<std::string> consumer = std::async(std::launch::async, [&] {
        std::string seen;
        while (seen.size() < 4) {
            destination.waitForData();
            seen += takeText(destination);
        }
        return seen;
    });
    source.moveAllTo(destination);
    ASSERT_EQ(consumer.wait_for(GENEROUS), std::future_status::ready);
    EXPECT_EQ(consumer.get(), "abcd");
    EXPECT_EQ(takeText(source), "");

    source.moveAllTo(source); // moving into itself loses nothing
    appendText(source, "ef");
    source.moveAllTo(source);
    EXPECT_EQ(takeText(source), "ef");
}

TEST(ByteQueueTest, ManyProducersOneConsumerLoseNothing) {
    ByteQueue queue;
    constexpr int PRODUCERS = 4;
    constexpr int LINES = 2000;
    std::vector<std::thread> producers;
    for (int p = 0; p < PRODUCERS; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < LINES; ++i) {
                appendText(queue, std::to_string(p) + ":" + std::to_string(i) + "\r\n");
            }
        });
    }
    std::vector<int> next(PRODUCERS, 0);
    int count = 0;
    for (int received = 0; received < PRODUCERS * LINES; ++received) {
        std::unique_ptr<char[]> line = queue.readLine(count);
        ASSERT_NE(line, nullptr);
        const std::string text = line.get();
        const int p = std::stoi(text.substr(0, text.find(':')));
        EXPECT_EQ(std::stoi(text.substr(text.find(':') + 1)), next[static_cast<std::size_t>(p)]++) << text;
    }
    for (std::thread& producer : producers) {
        producer.join();
    }
}

} // namespace
} // namespace veltaro
