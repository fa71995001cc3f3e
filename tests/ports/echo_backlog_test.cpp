#include "ports/echo_backlog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro {
namespace {

std::string takeAll(EchoBacklog& backlog) {
    std::string out;
    backlog.takeFront(out, backlog.size());
    return out;
}

TEST(EchoBacklogTest, KeepsWholeLinesWithinItsBoundAndCountsWhatItDrops) {
    struct Case {
        const char* what;
        std::vector<std::string> adds; // in the order they arrive
        std::string kept;
        int dropped;
    };
    const Case cases[] = {
        {"under the bound everything stays", {"$A*1\r\n", "$B*2\r\n"}, "$A*1\r\n$B*2\r\n", 0},
        {"a line that starts full is dropped whole", {"12345678\r\n", "$DROP\r\n", "$DROP2\r\n"}, "12345678\r\n", 2},
        {"the line in progress is finished first", {"1234567", "890\r\n$X\r\n"}, "1234567890\r\n", 1},
        {"a line split over adds is dropped whole", {"12345678\r\n$DR", "OP\r\n"}, "12345678\r\n", 1},
        {"an endless line is cut at twice the bound", {std::string(30, 'x'), "yy\r\n$Z\r\n"}, std::string(16, 'x'), 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EchoBacklog backlog(8);
        for (const std::string& add : c.adds) {
            backlog.add(add.data(), add.size());
        }
        EXPECT_EQ(backlog.droppedLines(), c.dropped);
        EXPECT_EQ(takeAll(backlog), c.kept);
    }
}

TEST(EchoBacklogTest, TakesFromTheFrontInOrderAndAcceptsAgainOnceDrained) {
    EchoBacklog backlog(8);
    backlog.add("abcdefgh\n", 9);
    std::string piece;
    backlog.takeFront(piece, 4);
    EXPECT_EQ(piece, "abcd");
    backlog.add("dropped\n", 8); // still 5 bytes held: under the bound, so this one is kept
    backlog.takeFront(piece, 100);
    EXPECT_EQ(piece, "abcdefgh\ndropped\n");
    EXPECT_TRUE(backlog.empty());
    backlog.add("again\n", 6);
    EXPECT_EQ(takeAll(backlog), "again\n");
    EXPECT_EQ(backlog.droppedLines(), 0);
}

// The rest of a line a lost far end cut is dropped once, wherever it lies: the next far end starts on a whole line.
TEST(EchoBacklogTest, DropsTheRestOfACutLineWhereverItLies) {
    struct Case {
        const char* what;
        std::string piece;               // the rest of the write in flight
        std::vector<std::string> before; // in the backlog at the drop
        std::vector<std::string> after;  // arriving after it
        std::string written;             // what the next far end gets
    };
    const Case cases[] = {
        {"its end in the piece", "E\r\n$B\r\n", {"$C\r\n"}, {}, "$B\r\n$C\r\n"},
        {"its end in the backlog", "EST", {"\r\n$B\r\n"}, {"$C\r\n"}, "$B\r\n$C\r\n"},
        {"its end still to come", "", {"EST"}, {"ING\r\n", "$C\r\n"}, "$C\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EchoBacklog backlog(64);
        backlog.add("$A,T", 4); // the start of the cut line, taken before the loss
        std::string taken;
        backlog.takeFront(taken, 4);
        for (const std::string& add : c.before) {
            backlog.add(add.data(), add.size());
        }
        std::string piece = c.piece;
        backlog.dropRestOfLine(piece);
        for (const std::string& add : c.after) {
            backlog.add(add.data(), add.size());
        }
        EXPECT_EQ(piece + takeAll(backlog), c.written);
        EXPECT_EQ(backlog.droppedLines(), 1);
    }
}

} // namespace
} // namespace veltaro
