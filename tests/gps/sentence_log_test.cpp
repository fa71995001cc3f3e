#include "core/byte_queue.h"
#include "gps/sentence_log.h"

#include <gtest/gtest.h>

#include <string>

namespace veltaro {
namespace {

// A receiver that talks for hours, or sends a line without end, must not grow the list without bound.
TEST(SentenceLogTest, KeepsTheLastLinesAndTheStartOfALongOne) {
    SentenceLog log;
    const int total = static_cast<int>(SentenceLog::CAPACITY) + 3;
    for (int i = 0; i < total; ++i) {
        const std::string line = "$GPTXT," + std::to_string(i);
        EXPECT_EQ(log.add(i, LineState::NOT_READ, line.data(), static_cast<int>(line.size())), i);
    }
    EXPECT_EQ(log.first(), 3);
    EXPECT_EQ(log.end(), total);
    LoggedLine line;
    EXPECT_FALSE(log.get(2, line)) << "overwritten";
    ASSERT_TRUE(log.get(3, line));
    EXPECT_EQ(line.text, "$GPTXT,3");
    ASSERT_TRUE(log.get(total - 1, line));
    EXPECT_EQ(line.arrivedMs, total - 1);

    log.mark(total - 1, LineState::DECODED);
    log.mark(2, LineState::CUT); // gone: nothing to mark
    ASSERT_TRUE(log.get(total - 1, line));
    EXPECT_EQ(line.state, LineState::DECODED);

    const std::string huge(5 * 1024 * 1024, 'x');
    const std::int64_t at = log.add(0, LineState::NOT_READ, huge.data(), static_cast<int>(huge.size()));
    ASSERT_TRUE(log.get(at, line));
    EXPECT_EQ(line.text.size(), SentenceLog::MOST_BYTES);
    EXPECT_TRUE(line.shortened);
}

// The line a lost port broke off comes out once, marked, and the next line is whole.
TEST(SentenceLogTest, QueueHandsOverTheLineABreakCutOff) {
    ByteQueue queue;
    const std::string before = "$GPGGA,1\r\n$GPGGA,23";
    const std::string after = "45,N*00\r\n$GPRMC,2\r\n";
    queue.append(before.data(), static_cast<int>(before.size()));
    queue.markBreak();
    queue.append(after.data(), static_cast<int>(after.size()));
    queue.signalStop();
    std::vector<std::pair<std::string, bool>> lines;
    int count = 0;
    bool cut = false;
    while (std::unique_ptr<char[]> line = queue.readLine(count, cut)) {
        EXPECT_EQ(count, static_cast<int>(std::string(line.get()).size()));
        lines.emplace_back(line.get(), cut);
    }
    EXPECT_EQ(lines, (std::vector<std::pair<std::string, bool>>{
                         {"$GPGGA,1", false}, {"$GPGGA,23", true}, {"45,N*00", false}, {"$GPRMC,2", false}}));
}

} // namespace
} // namespace veltaro
