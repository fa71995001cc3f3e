#include "ports/file_port.h"

#include "support/captures.h"
#include "support/windows_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace veltaro {
namespace {

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string takeText(ByteQueue& queue) {
    int n = 0;
    std::unique_ptr<char[]> block = queue.takeAll(n);
    return block ? std::string(block.get(), static_cast<std::size_t>(n)) : std::string();
}

TEST(FilePortTest, ReplaysARecordingAtMost100BytesAPass) {
    std::string recording;
    for (int i = 0; i < 250; ++i) {
        recording += static_cast<char>('a' + i % 26);
    }
    const std::string path = test::temporaryPath("replay.nmea");
    writeFile(path, recording);

    FilePort port(path.c_str());
    ByteQueue queue;
    ASSERT_TRUE(port.initialize());
    ASSERT_TRUE(port.open(true, &queue));
    // Each pass appends once and signals; the consumer takes each chunk as it comes.
    std::vector<std::size_t> chunks;
    std::string replayed;
    while (replayed.size() < recording.size()) {
        const std::string chunk = test::receive(queue, 1);
        ASSERT_FALSE(chunk.empty()) << "the replay stalled after " << replayed.size() << " bytes";
        chunks.push_back(chunk.size());
        replayed += chunk;
    }
    port.stop();
    EXPECT_EQ(replayed, recording);
    EXPECT_EQ(chunks, (std::vector<std::size_t>{100, 100, 50}));
    EXPECT_EQ(takeText(queue), "") << "nothing after the end of the file";
}

TEST(FilePortTest, ReplaysAtTheReceiversPaceAndGoesOnWithWhatIsAppended) {
    struct Burst {
        const char* bytes;
        ULONGLONG due; // milliseconds after the first burst, by the time stamps
    };
    const Burst bursts[] = {
        {"$GPGSV,3,1,12\r\n$GPGGA,120000.00,4807.038,N\r\n$GPRMC,120000.00,A\r\n", 0},
        {"$GPGGA,120000.30,4807.038,N\r\n$GPGSA,A,3\r\n", 300},
        {"$GPGGA,120000.60,4807.038,N\r\n$PGRME,1\r\n", 600},
        {"$GPRMC,120001.00,A", 1000}, // the last line without its end
    };
    std::string recording;
    for (const Burst& burst : bursts) {
        recording += burst.bytes;
    }
    const std::string path = test::temporaryPath("paced.gpsl");
    writeFile(path, recording);

    FilePort port(path.c_str(), ReplayPace::RECEIVER);
    ByteQueue queue;
    port.initialize();
    const ULONGLONG opened = GetTickCount64(); // the first burst goes no earlier
    ASSERT_TRUE(port.open(true, &queue));
    // Where each piece began in the stream and when it arrived.
    std::vector<std::pair<std::size_t, ULONGLONG>> arrivals;
    std::string replayed;
    while (replayed.size() < recording.size()) {
        const std::string piece = test::receive(queue, 1);
        ASSERT_FALSE(piece.empty()) << "the replay stalled after " << replayed.size() << " bytes";
        arrivals.emplace_back(replayed.size(), GetTickCount64());
        replayed += piece;
    }
    EXPECT_EQ(replayed, recording);
    // No burst comes before its time (a late reader may take two at once, so only the earliest is checked);
    // the times count from the opening, which the first burst cannot precede.
    std::size_t offset = 0;
    for (const Burst& burst : bursts) {
        std::size_t piece = 0;
        while (piece + 1 < arrivals.size() && arrivals[piece + 1].first <= offset) {
            ++piece;
        }
        EXPECT_GE(arrivals[piece].second - opened, burst.due) << burst.bytes;
        offset += std::strlen(burst.bytes);
    }
    EXPECT_TRUE(test::pollUntil([&] { return port.status().atEnd; }));

    // A log that another program still writes goes on as it grows.
    std::ofstream(path, std::ios::binary | std::ios::app) << "\r\n$GPGGA,120002.00\r\n";
    EXPECT_EQ(test::receive(queue, 19), "\r\n$GPGGA,120002.00\r\n");
    port.stop();
}

// A recording of five minutes, a burst a second.
std::string fiveMinutes() {
    std::string recording;
    for (int s = 0; s < 300; ++s) {
        char line[64];
        std::snprintf(line, sizeof line, "$GPGGA,12%02d%02d.00,4807.038,N\r\n", s / 60, s % 60);
        recording += line;
    }
    return recording;
}

TEST(FilePortTest, ReplaySteeredFromPausedToAsFastAsPossibleDeliversTheWholeFileInOrder) {
    const std::string recording = fiveMinutes();
    const std::string path = test::temporaryPath("steered.gpsl");
    writeFile(path, recording);
    for (const bool pausedFirst : {false, true}) {
        SCOPED_TRACE(pausedFirst ? "paused at the start" : "playing");
        FilePort port(path.c_str(), ReplayPace::RECEIVER);
        ByteQueue queue;
        port.initialize();
        port.steer(pausedFirst, pausedFirst ? ReplaySpeed::REAL_TIME : ReplaySpeed::FASTEST);
        ASSERT_TRUE(port.open(true, &queue));
        if (pausedFirst) {
            port.steer(false, ReplaySpeed::FASTEST);
        }
        // In real time this would take five minutes, far beyond the wait's time-out.
        EXPECT_EQ(test::receive(queue, recording.size()), recording);
        port.stop();
    }
}

TEST(FilePortTest, TenTimesReplaysNoBurstBeforeATenthOfItsTime) {
    const std::string recording = "$GPGGA,120000.00,1\r\n$GPGGA,120002.00,2\r\n$GPGGA,120004.00,3\r\n";
    const std::string path = test::temporaryPath("tenfold.gpsl");
    writeFile(path, recording);
    FilePort port(path.c_str(), ReplayPace::RECEIVER);
    ByteQueue queue;
    port.initialize();
    port.steer(false, ReplaySpeed::TEN_TIMES);
    const ULONGLONG opened = GetTickCount64();
    ASSERT_TRUE(port.open(true, &queue));
    std::string replayed;
    for (const ULONGLONG due : {0, 200, 400}) {
        replayed += test::receive(queue, 20);
        EXPECT_GE(GetTickCount64() - opened, due);
    }
    EXPECT_EQ(replayed, recording);
    port.stop();
}

TEST(FilePortTest, ReceiverPaceFallsBackToTheFixedPaceWithoutTimeStamps) {
    const std::string recording(250, 'x');
    const std::string path = test::temporaryPath("untimed.gpsl");
    writeFile(path, recording);
    FilePort port(path.c_str(), ReplayPace::RECEIVER);
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(true, &queue));
    std::vector<std::size_t> chunks;
    for (std::size_t total = 0; total < recording.size();) {
        const std::string chunk = test::receive(queue, 1);
        ASSERT_FALSE(chunk.empty());
        chunks.push_back(chunk.size());
        total += chunk.size();
    }
    EXPECT_EQ(chunks, (std::vector<std::size_t>{100, 100, 50}));
    EXPECT_TRUE(test::pollUntil([&] { return port.status().atEnd; }));
    port.stop();
}

TEST(FilePortTest, RecordingThatCannotBeReadIsRefusedWithTheSystemsReason) {
    struct Case {
        std::string path;
        DWORD error;
    };
    const Case cases[] = {
        {test::temporaryPath("missing.gpsl"), ERROR_FILE_NOT_FOUND},
        {"Z:\\no\\such\\folder\\day.gpsl", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        FilePort port(c.path.c_str(), ReplayPace::RECEIVER);
        ByteQueue queue;
        port.initialize();
        EXPECT_FALSE(port.open(true, &queue)) << c.path;
        EXPECT_EQ(port.status().systemError, c.error) << c.path;
        EXPECT_FALSE(test::fileExists(c.path)) << "a replay creates nothing";
    }
}

TEST(FilePortTest, StopEndsASourceBeforeItsFirstRead) {
    const std::string path = test::temporaryPath("early-stop.nmea");
    writeFile(path, "$GPGGA,123519*47\r\n");
    FilePort port(path.c_str());
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(true, &queue));
    // The stop signal ends the first 200 ms wait, so the read after it never happens.
    EXPECT_TRUE(port.stop());
    EXPECT_EQ(takeText(queue), "");
}

TEST(FilePortTest, SinkWritesTheStreamFromByteZeroOverAnOlderFile) {
    const std::string path = test::temporaryPath("log.gpsl");
    writeFile(path, std::string(50000, 'O')); // longer than what follows: none of it may survive
    FilePort port(path.c_str());
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(false, &queue));

    std::string stream;
    for (const test::Capture& capture : test::loadCaptures()) {
        if (capture.name == "ublox8-uniqid-monhw.nmea" || capture.name == "telit-pls83-w.nmea") {
            stream += capture.bytes; // binary packets and odd line ends
        }
    }
    for (std::size_t at = 0; at < stream.size(); at += 777) {
        queue.append(stream.data() + at, static_cast<int>(std::min<std::size_t>(777, stream.size() - at)));
    }
    port.stop(); // the writer drains its queue before it ends
    EXPECT_EQ(test::readFile(path), stream);
}

TEST(FilePortTest, FullDiskNeverLeavesAHoleInTheLog) {
    std::string stream;
    for (const test::Capture& capture : test::loadCaptures()) {
        stream += capture.bytes;
        if (stream.size() > 300 * 1024) {
            break;
        }
    }
    struct Case {
        const char* what;
        bool pastTheBound; // more arrives while the disk is full than the log keeps for later
    };
    for (const Case c : {Case{"freed in time", false}, Case{"kept too much", true}}) {
        SCOPED_TRACE(c.what);
        test::SmallVolume volume(1024);
        ASSERT_EQ(volume.mounted, "mounted\n");
        volume.fill(1024 - 128);
        const std::string path = volume.windowsPath("log.gpsl");
        FilePort port(path.c_str());
        ByteQueue queue;
        port.initialize();
        ASSERT_TRUE(port.open(false, &queue));

        queue.append(stream.data(), static_cast<int>(stream.size()));
        ASSERT_TRUE(test::pollUntil([&] { return port.status().failure != nullptr; }));
        EXPECT_STREQ(port.status().failure, "disk full");
        EXPECT_EQ(port.status().systemError, static_cast<DWORD>(ERROR_DISK_FULL));
        std::string expected = stream;
        if (c.pastTheBound) {
            const std::string more(LOG_RETRY_LIMIT, 'x');
            queue.append(more.data(), static_cast<int>(more.size()));
            ASSERT_TRUE(test::pollUntil([&] { return port.status().endedAt >= 0; }));
            expected.resize(static_cast<std::size_t>(port.status().endedAt));
            EXPECT_LT(expected.size(), stream.size());
        }
        volume.free();
        const std::string later = "$LATER*00\r\n"; // arrives once there is room again
        queue.append(later.data(), static_cast<int>(later.size()));
        if (!c.pastTheBound) {
            expected += later;
        }
        ASSERT_TRUE(test::pollUntil([&] {
            return port.status().bytes == static_cast<std::int64_t>(expected.size()) || port.status().endedAt >= 0;
        }));
        port.stop();
        EXPECT_EQ(test::readFile(path), expected) << "the stream, or its start up to the failure";
        EXPECT_EQ(port.status().failure != nullptr, c.pastTheBound) << "a log that ended stays failed";
    }
}

TEST(FilePortTest, OpeningAMissingFileCreatesItInEitherDirection) {
    for (bool asSource : {true, false}) {
        const std::string path = test::temporaryPath(asSource ? "new-source.nmea" : "new-sink.gpsl");
        ASSERT_FALSE(test::fileExists(path));
        FilePort port(path.c_str());
        ByteQueue queue;
        port.initialize();
        EXPECT_TRUE(port.open(asSource, &queue));
        port.stop();
        EXPECT_TRUE(test::fileExists(path));
        EXPECT_EQ(test::readFile(path), "");
    }
}

TEST(FilePortTest, EmptyOrUnusablePathIsRefused) {
    for (bool asSource : {true, false}) {
        ByteQueue queue;
        FilePort empty("");
        empty.initialize();
        EXPECT_FALSE(empty.open(asSource, &queue));
        FilePort none(nullptr);
        none.initialize();
        EXPECT_FALSE(none.open(asSource, &queue));
        FilePort missingFolder("Z:\\no\\such\\folder\\log.gpsl");
        missingFolder.initialize();
        EXPECT_FALSE(missingFolder.open(asSource, &queue));
    }
}

TEST(FilePortTest, SecondOpenKeepsTheFirstQueueAndDirection) {
    const std::string path = test::temporaryPath("twice.gpsl");
    FilePort port(path.c_str());
    ByteQueue first;
    ByteQueue second;
    port.initialize();
    ASSERT_TRUE(port.open(false, &first));
    EXPECT_TRUE(port.open(true, &second));
    first.append("kept", 4);
    second.append("ignored", 7);
    port.stop();
    EXPECT_EQ(test::readFile(path), "kept");
    EXPECT_EQ(takeText(second), "ignored");
}

TEST(FilePortTest, AttachQueueHandsOnWhatTheOldQueueHeld) {
    FilePort port("unused");
    ByteQueue oldQueue;
    ByteQueue newQueue;
    port.attachQueue(&oldQueue);
    oldQueue.append("ab", 2);
    EXPECT_TRUE(port.attachQueue(&newQueue));
    newQueue.append("cd", 2);
    EXPECT_EQ(takeText(newQueue), "abcd");
    EXPECT_EQ(takeText(oldQueue), "");
}

TEST(FilePortTest, HasNoSettingsNoNameAndFlagsZeroAndOne) {
    FilePort port("unused");
    std::unique_ptr<char[]> block;
    int length = 77;
    EXPECT_FALSE(port.getSettings(block, length));
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(length, 77);
    EXPECT_FALSE(port.setSettings("abcd", 4));
    EXPECT_EQ(port.displayName(), nullptr);
    EXPECT_TRUE(port.queryFlag(0));
    EXPECT_TRUE(port.queryFlag(1));
    EXPECT_FALSE(port.queryFlag(2));
    EXPECT_TRUE(port.stop()) << "stop on a port never opened";
}

} // namespace
} // namespace veltaro
