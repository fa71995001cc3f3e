#include "core/port_tee.h"

#include <gtest/gtest.h>

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
