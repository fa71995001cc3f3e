#include "core/port_tee.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace veltaro {
namespace {

void appendText(ByteQueue& queue, const std::string& text) {
    queue.append(text.data(), static_cast<int>(text.size()));
}

std::string takeText(ByteQueue& queue) {
    int n = 0;
    std::unique_ptr<char[]> block = queue.takeAll(n);
    return block ? std::string(block.get(), static_cast<std::size_t>(n)) : std::string();
}

// Waits on the queue's own event until it has received size bytes.
std::string receive(ByteQueue& queue, std::size_t size) {
    std::string seen;
    while (seen.size() < size) {
        queue.waitForData();
        seen += takeText(queue);
    }
    return seen;
}

TEST(PortTeeTest, EveryOutputGetsTheWholeStreamInOrder) {
    ByteQueue input;
    ByteQueue first;
    ByteQueue second;
    PortTee tee(&input);
    tee.addOutput(&first);
    tee.addOutput(&second);
    ASSERT_TRUE(tee.start());

    std::string sent;
    for (int i = 0; i < 500; ++i) {
        const std::string chunk = "$GPGGA," + std::to_string(i) + "*00\r\n";
        appendText(input, chunk);
        sent += chunk;
    }
    // Both consumers are woken by their own dataReady, while the stream is still flowing.
    EXPECT_EQ(receive(first, sent.size()), sent);
    EXPECT_EQ(receive(second, sent.size()), sent);
    tee.stop();
    EXPECT_EQ(takeText(input), "");
}

TEST(PortTeeTest, StopHandsOnWhatTheInputStillHolds) {
    ByteQueue input;
    ByteQueue output;
    PortTee tee(&input);
    tee.addOutput(&output);
    ASSERT_TRUE(tee.start());
    const std::string tail(10000, 'q');
    appendText(input, tail);
    tee.stop();
    EXPECT_EQ(takeText(output), tail);
}

TEST(PortTeeTest, BreakOfTheSourceReachesEveryOutputAtItsPlace) {
    const std::string before = "$GPGGA,1*00\r\n$GPGGA,12";
    const std::string after = "3,N*00\r\n$GPRMC,2*00\r\n";
    for (const bool takenTogether : {false, true}) {
        SCOPED_TRACE(takenTogether ? "break inside what the tee takes at once" : "break on its own");
        ByteQueue input;
        ByteQueue parser;
        ByteQueue log;
        PortTee tee(&input);
        tee.addOutput(&parser);
        tee.addOutput(&log);
        // The reader waits inside the unfinished line when the break reaches it.
        std::future<std::vector<std::string>> lines = std::async(std::launch::async, [&] {
            std::vector<std::string> read;
            int count = 0;
            for (int i = 0; i < 3; ++i) {
                std::unique_ptr<char[]> line = parser.readLine(count);
                read.emplace_back(line ? line.get() : "(stopped)");
            }
            return read;
        });
        appendText(input, before);
        if (takenTogether) {
            input.markBreak();
            appendText(input, after);
            ASSERT_TRUE(tee.start());
        } else {
            ASSERT_TRUE(tee.start());
            EXPECT_EQ(receive(log, before.size()), before);
            input.markBreak();
            appendText(input, after);
        }
        EXPECT_EQ(receive(log, (takenTogether ? before.size() : 0) + after.size()),
                  (takenTogether ? before : "") + after)
            << "a log keeps the raw bytes";
        if (lines.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
            parser.signalStop();
        }
        EXPECT_EQ(lines.get(), (std::vector<std::string>{"$GPGGA,1*00", "3,N*00", "$GPRMC,2*00"}));
        tee.stop();
    }
}

TEST(PortTeeTest, WithoutOutputsBytesAreConsumedAndDropped) {
    ByteQueue input;
    PortTee tee(&input);
    ASSERT_TRUE(tee.start());
    appendText(input, "dropped");
    tee.stop();
    EXPECT_EQ(takeText(input), "");
}

TEST(PortTeeTest, LateOutputGetsOnlyWhatFollowsItsRegistration) {
    ByteQueue input;
    ByteQueue early;
    ByteQueue late;
    PortTee tee(&input);
    tee.addOutput(&early);
    ASSERT_TRUE(tee.start());
    appendText(input, "before");
    EXPECT_EQ(receive(early, 6), "before");
    tee.addOutput(&late);
    appendText(input, "after");
    tee.stop();
    EXPECT_EQ(takeText(early), "after");
    EXPECT_EQ(takeText(late), "after");
}

TEST(PortTeeTest, QueueRegisteredTwiceGetsEveryChunkTwice) {
    ByteQueue input;
    ByteQueue output;
    PortTee tee(&input);
    tee.addOutput(&output);
    tee.addOutput(&output);
    appendText(input, "xy");
    ASSERT_TRUE(tee.start());
    tee.stop();
    EXPECT_EQ(takeText(output), "xyxy");
}

TEST(PortTeeTest, SeventeenOutputsAllReceiveTheStream) {
    ByteQueue input;
    std::vector<ByteQueue> outputs(17);
    PortTee tee(&input);
    for (ByteQueue& output : outputs) {
        tee.addOutput(&output);
    }
    appendText(input, "abc");
    ASSERT_TRUE(tee.start());
    tee.stop();
    for (ByteQueue& output : outputs) {
        EXPECT_EQ(takeText(output), "abc");
    }
}

TEST(PortTeeTest, StartWithoutInputFails) {
    PortTee tee(nullptr);
    EXPECT_FALSE(tee.start());
    tee.stop(); // nothing started, nothing to join
}

} // namespace
} // namespace veltaro
