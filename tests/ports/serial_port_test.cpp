#include "ports/serial_port.h"

#include "ports/system_error.h"
#include "support/far_end.h"
#include "support/windows_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

namespace veltaro {
namespace {

// Virtual pairs made by the test runner: COM5-COM15, COM6-COM16, COM12-COM22.
constexpr int SOURCE = 5;
constexpr int SOURCE_FAR = 15;
constexpr int SINK = 6;
constexpr int SINK_FAR = 16;
constexpr int HIGH = 12;
constexpr int HIGH_FAR = 22;
// A pair a test makes and removes itself, as an adapter plugged in and pulled.
constexpr int PLUGGED = 8;
constexpr int PLUGGED_FAR = 18;

std::string sampleBytes(std::size_t size) {
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i) {
        bytes += static_cast<char>((i * 7 + i / 256) & 0xff); // every byte value, CR, LF, XON and XOFF included
    }
    return bytes;
}

// Numbered lines of one length, as an echo's input: what its far end receives shows which lines came, in which
// order, and whether each came whole.
constexpr std::size_t LINE_SIZE = 37; // does not divide the echo's write piece: a lost piece would cut a line
constexpr std::size_t NUMBER_AT = 26;

std::string numberedLines(int count) {
    std::string stream;
    for (int i = 0; i < count; ++i) {
        char line[LINE_SIZE + 1];
        std::snprintf(line, sizeof line, "$GPTXT,01,01,02,ECHO LINE %06d*00\r\n", i);
        stream += line;
    }
    return stream;
}

// Whether received is whole lines of stream, in order, each at most once, from line first on; lines counts them.
testing::AssertionResult wholeLinesInOrder(const std::string& received, const std::string& stream, int first,
                                           std::int64_t& lines) {
    const int count = static_cast<int>(stream.size() / LINE_SIZE);
    int next = first;
    lines = 0;
    for (std::size_t at = 0; at < received.size(); at += LINE_SIZE) {
        const std::string line = received.substr(at, LINE_SIZE);
        const int number = std::atoi(line.c_str() + std::min(NUMBER_AT, line.size()));
        if (number < next || number >= count) {
            return testing::AssertionFailure() << "out of order at byte " << at << ": " << line;
        }
        if (line != stream.substr(static_cast<std::size_t>(number) * LINE_SIZE, LINE_SIZE)) {
            return testing::AssertionFailure() << "cut at byte " << at << ": " << line;
        }
        next = number + 1;
        ++lines;
    }
    return testing::AssertionSuccess();
}

TEST(SerialPortTest, SourceQueuesEveryBurstInOrder) {
    SerialPort port(SOURCE, 4800);
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(true, &queue));
    test::FarEnd remote(SOURCE_FAR);
    ASSERT_TRUE(remote.isOpen());

    // A lone byte, a line and a long burst, each sent once the one before arrived: a reader woken by the
    // first character of a burst hands that character on, then the rest, then waits again.
    for (const std::size_t size : {1u, 82u, 20000u}) {
        const std::string sent = sampleBytes(size);
        ASSERT_TRUE(remote.write(sent));
        EXPECT_EQ(test::receive(queue, sent.size()), sent) << size << " bytes";
    }
    EXPECT_TRUE(port.stop());
}

TEST(SerialPortTest, EveryBurstReachesTheQueueWithoutWaitingForTheNextOne) {
    // Bytes the receiver sent before the port opened raise no event of their own.
    test::FarEnd remote(SOURCE_FAR);
    ASSERT_TRUE(remote.isOpen());
    const std::string early = sampleBytes(133);
    ASSERT_TRUE(remote.write(early));
    SerialPort port(SOURCE, 115200);
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(true, &queue));
    ASSERT_TRUE(test::receive(queue, early.size()) == early);

    // Then bursts of the shapes that can leave bytes in the driver: a short one after a long one, sizes about
    // the read buffer's, a tail that arrives about as the reader's gather ends. Each must arrive before the
    // next is sent, so no later byte comes to fetch what one left behind.
    struct Shape {
        std::size_t head;
        std::size_t tail; // sent after a pause that moves through the gather time
    };
    const Shape shapes[] = {{20000, 0}, {133, 0}, {1, 0},      {511, 1},     {512, 0}, {513, 0},
                            {82, 82},   {1, 1},   {4096, 133}, {133, 20000}, {2, 0},   {600, 600}};
    const int rounds = 120;
    for (int round = 0; round < rounds; ++round) {
        const Shape& shape = shapes[static_cast<std::size_t>(round) % std::size(shapes)];
        const std::string head = sampleBytes(shape.head + static_cast<std::size_t>(round)).substr(round);
        const std::string tail = sampleBytes(shape.tail);
        ASSERT_TRUE(remote.write(head));
        if (!tail.empty()) {
            Sleep(static_cast<DWORD>(round * 7 % 70)); // shapes the input; nothing waits on it
            ASSERT_TRUE(remote.write(tail));
        }
        const std::string received = test::receive(queue, head.size() + tail.size());
        ASSERT_EQ(received.size(), head.size() + tail.size()) << "round " << round;
        ASSERT_TRUE(received == head + tail) << "round " << round;
    }
    port.stop();
}

TEST(SerialPortTest, SinkSendsWhatItsQueueReceives) {
    SerialPort port(SINK, 9600);
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(false, &queue));
    test::FarEnd remote(SINK_FAR);
    ASSERT_TRUE(remote.isOpen());

    const std::string sent = sampleBytes(5000);
    for (std::size_t at = 0; at < sent.size(); at += 500) {
        queue.append(sent.data() + at, 500);
    }
    EXPECT_EQ(remote.read(sent.size()), sent);
    EXPECT_TRUE(port.stop());
}

TEST(SerialPortTest, WhatWasHandedToTheDriverReachesALateReader) {
    SerialPort port(SINK, 115200);
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(false, &queue));
    test::FarEnd remote(SINK_FAR);
    ASSERT_TRUE(remote.isOpen());

    // Less than the virtual pair buffers (about 36 KB), so the port hands it all to the driver before its
    // stop; the far end reads only after the stop, and nothing handed over may be thrown away.
    const std::string sent = sampleBytes(30000);
    queue.append(sent.data(), static_cast<int>(sent.size()));
    port.stop();
    const std::string received = remote.read(sent.size());
    ASSERT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

TEST(SerialPortTest, EchoWhoseFarEndPausesSendsWholeLinesAndCountsTheOnesItDropped) {
    SerialPort port(SINK, 115200);
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(false, &queue));
    test::FarEnd remote(SINK_FAR); // reads only once the echo has waited out a whole write time-out
    ASSERT_TRUE(remote.isOpen());

    // More lines than the virtual pair, a write and the echo's backlog hold.
    constexpr int LINES = 4000;
    const std::string stream = numberedLines(LINES);
    queue.append(stream.data(), static_cast<int>(stream.size())); // taken whole: the drops are known at once
    ASSERT_TRUE(test::pollUntil([&] {
        const char* failure = port.status().failure;
        return failure != nullptr && std::strcmp(failure, "far end not reading") == 0;
    }));
    const std::int64_t dropped = port.status().droppedLines;
    EXPECT_GT(dropped, 0);

    const std::string received = remote.read(static_cast<std::size_t>(LINES - dropped) * LINE_SIZE);
    std::int64_t lines = 0;
    ASSERT_TRUE(wholeLinesInOrder(received, stream, 0, lines));
    EXPECT_EQ(lines + dropped, LINES) << "every line sent was received whole or counted as dropped";
    EXPECT_TRUE(test::pollUntil([&] {
        return port.status().failure == nullptr && port.status().bytes == static_cast<std::int64_t>(received.size());
    })) << "writing again, and nothing written beyond what arrived";
    port.stop();
}

TEST(SerialPortTest, PulledEchoIsReopenedAndResumesWithWhatItsBacklogHeld) {
    test::ComPair pair(PLUGGED, PLUGGED_FAR);
    ASSERT_TRUE(pair.make());
    ByteQueue queue;
    SerialPort port(PLUGGED, 115200);
    port.initialize();
    ASSERT_TRUE(port.open(false, &queue));

    // A few lines go through, then the adapter is pulled. Two blocks of lines come while it is out, each more
    // than the echo's backlog holds: the first meets the echo's first write, the second its search for the device.
    constexpr int BEFORE = 10;
    constexpr int BLOCK = 2000;
    const std::string stream = numberedLines(BEFORE + 2 * BLOCK);
    const std::size_t pulledAt = BEFORE * LINE_SIZE;
    const std::size_t blockSize = BLOCK * LINE_SIZE;
    {
        test::FarEnd remote(PLUGGED_FAR);
        queue.append(stream.data(), static_cast<int>(pulledAt));
        ASSERT_EQ(remote.read(pulledAt), stream.substr(0, pulledAt));
    }
    ASSERT_TRUE(pair.remove());
    queue.append(stream.data() + pulledAt, static_cast<int>(blockSize));
    ASSERT_TRUE(test::pollUntil([&] { return port.status().failure != nullptr; }));
    EXPECT_STREQ(port.status().failure, "port lost");
    EXPECT_NE(port.status().systemError, 0u) << "the system's reason is kept with it";
    EXPECT_TRUE(port.status().reopening);
    const std::int64_t droppedBeforeSearch = port.status().droppedLines;
    queue.append(stream.data() + pulledAt + blockSize, static_cast<int>(blockSize));
    ASSERT_TRUE(test::pollUntil([&] { return port.status().droppedLines > droppedBeforeSearch; }))
        << "a lost echo goes on taking its queue into its bounded backlog";
    EXPECT_STREQ(port.status().failure, "port lost");

    ASSERT_TRUE(pair.make());
    test::FarEnd remote(PLUGGED_FAR);
    ASSERT_TRUE(remote.isOpen());
    ASSERT_TRUE(test::pollUntil([&] { return port.status().failure == nullptr; })) << "reopened";
    const std::int64_t dropped = port.status().droppedLines;
    const std::string received = remote.read(static_cast<std::size_t>(2 * BLOCK - dropped) * LINE_SIZE);
    std::int64_t lines = 0;
    ASSERT_TRUE(wholeLinesInOrder(received, stream, BEFORE, lines));
    EXPECT_EQ(lines + dropped, 2 * BLOCK) << "every line since the pull was received whole or counted as dropped";
    EXPECT_EQ(received.substr(0, LINE_SIZE), stream.substr(pulledAt, LINE_SIZE)) << "the refused write comes first";
    EXPECT_TRUE(test::pollUntil([&] {
        return port.status().bytes == static_cast<std::int64_t>(pulledAt + received.size());
    })) << "nothing written beyond what arrived";

    // Pulled again and stopped while out: it does not wait for its device to come back.
    ASSERT_TRUE(pair.remove());
    queue.append(stream.data(), static_cast<int>(LINE_SIZE));
    ASSERT_TRUE(test::pollUntil([&] { return port.status().failure != nullptr; }));
    test::expectToEnd([&] { port.stop(); });
}

// Pulled while its far end was not reading, with a line half written: the far end it finds on its return gets
// whole lines from the next one on, and the cut line is counted as dropped.
TEST(SerialPortTest, ReopenedEchoStartsItsNewFarEndOnTheNextWholeLine) {
    test::ComPair pair(PLUGGED, PLUGGED_FAR);
    ASSERT_TRUE(pair.make());
    ByteQueue queue;
    SerialPort port(PLUGGED, 115200);
    port.initialize();
    ASSERT_TRUE(port.open(false, &queue));
    constexpr int LINES = 3000; // more than the pair buffers: the driver takes part of a write
    const std::string stream = numberedLines(LINES);
    {
        test::FarEnd stalled(PLUGGED_FAR);
        ASSERT_TRUE(stalled.isOpen());
        queue.append(stream.data(), static_cast<int>(stream.size()));
        ASSERT_TRUE(test::pollUntil([&] {
            const char* failure = port.status().failure;
            return failure != nullptr && std::strcmp(failure, "far end not reading") == 0;
        }));
    }
    const auto written = static_cast<std::size_t>(port.status().bytes);
    ASSERT_NE(written % LINE_SIZE, 0u) << "a line is cut where the driver stopped taking";
    ASSERT_TRUE(pair.remove());
    ASSERT_TRUE(test::pollUntil([&] { return port.status().reopening; }));

    ASSERT_TRUE(pair.make());
    test::FarEnd remote(PLUGGED_FAR);
    ASSERT_TRUE(remote.isOpen());
    // Written to only once the cut line is dropped and counted.
    ASSERT_TRUE(test::pollUntil([&] { return port.status().bytes > static_cast<std::int64_t>(written); }));
    const int next = static_cast<int>(written / LINE_SIZE) + 1;
    const std::int64_t dropped = port.status().droppedLines;
    const std::string received = remote.read(static_cast<std::size_t>(LINES - next + 1 - dropped) * LINE_SIZE);
    EXPECT_EQ(received.substr(0, LINE_SIZE), stream.substr(static_cast<std::size_t>(next) * LINE_SIZE, LINE_SIZE));
    std::int64_t lines = 0;
    ASSERT_TRUE(wholeLinesInOrder(received, stream, next, lines));
    EXPECT_EQ(next - 1 + lines + dropped, LINES) << "each line written before the pull, received after, or dropped";
    port.stop();
}

TEST(SerialPortTest, QueueOfARunningPortIsKept) {
    for (bool asSource : {true, false}) {
        SCOPED_TRACE(asSource ? "source" : "sink");
        SerialPort port(asSource ? SOURCE : SINK, 9600);
        ByteQueue queue;
        ByteQueue other;
        port.initialize();
        ASSERT_TRUE(port.open(asSource, &queue));
        test::FarEnd remote(asSource ? SOURCE_FAR : SINK_FAR);
        ASSERT_TRUE(remote.isOpen());

        EXPECT_FALSE(port.attachQueue(&other)) << "the worker holds its queue";
        const std::string sent = sampleBytes(3000);
        if (asSource) {
            ASSERT_TRUE(remote.write(sent));
            EXPECT_EQ(test::receive(queue, sent.size()), sent);
        } else {
            queue.append(sent.data(), static_cast<int>(sent.size()));
            EXPECT_EQ(remote.read(sent.size()), sent);
        }
        EXPECT_TRUE(port.stop());
        EXPECT_TRUE(port.attachQueue(&other)) << "a stopped port takes a new queue";
    }
}

TEST(SerialPortTest, LineRunsAtTheChosenSpeedWithEightDataBitsNoParityOneStopBit) {
    struct Case {
        int port;
        int remote;
        int baud;
    };
    for (const Case& c : {Case{SOURCE, SOURCE_FAR, 4800}, Case{HIGH, HIGH_FAR, 38400}}) {
        SCOPED_TRACE(c.port);
        SerialPort port(c.port, c.baud);
        ByteQueue queue;
        port.initialize();
        ASSERT_TRUE(port.open(true, &queue)) << "COM" << c.port;
        // A byte that arrives proves the reader runs, and it applies the settings first.
        test::FarEnd remote(c.remote);
        ASSERT_TRUE(remote.write("$"));
        ASSERT_EQ(test::receive(queue, 1), "$");

        const std::string settings = test::runUnixCommand("stty -a -F " + test::terminalOf(c.port));
        EXPECT_NE(settings.find("speed " + std::to_string(c.baud) + " baud"), std::string::npos) << settings;
        EXPECT_NE(settings.find(" cs8"), std::string::npos) << settings;
        EXPECT_NE(settings.find("-parenb"), std::string::npos) << settings;
        EXPECT_NE(settings.find("-cstopb"), std::string::npos) << settings;
        port.stop();
    }
}

std::string lineSpeed(int port) {
    return test::runUnixCommand("stty -F " + test::terminalOf(port) + " speed");
}

// A receiver on the far end that sends NMEA lines while the port is set to rate, noise at other rates and nothing
// at rates far below.
class OneRateReceiver {
public:
    OneRateReceiver(int port, int farPort, std::uint32_t rate) {
        process = test::runUnixCommand(std::string(VELTARO_SCRIPTS_DIR) + "/one-rate-receiver.sh " +
                                       test::terminalOf(port) + " " + test::terminalOf(farPort) + " " +
                                       std::to_string(rate) + " >/dev/null 2>&1 & echo $!");
        process.erase(process.find_last_not_of('\n') + 1);
    }
    ~OneRateReceiver() { stop(); }
    OneRateReceiver(const OneRateReceiver&) = delete;
    OneRateReceiver& operator=(const OneRateReceiver&) = delete;

    void stop() {
        if (!process.empty()) {
            test::runUnixCommand("kill " + process);
            process.clear();
        }
    }

private:
    std::string process; // its process id
};

// What the receiver sends at its rate: numbered lines of one length.
constexpr std::size_t RATE_LINE_SIZE = 34;
constexpr std::size_t RATE_LINE_NUMBER_AT = 26;

TEST(SerialPortTest, AutomaticRateIsFoundAndOnlyTheLinesFromTheConfirmingOneOnAreDelivered) {
    test::ComPair pair(PLUGGED, PLUGGED_FAR);
    ASSERT_TRUE(pair.make());
    OneRateReceiver receiver(PLUGGED, PLUGGED_FAR, 38400);
    SerialPort port(PLUGGED, 0);
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(true, &queue));

    // 4800 gets its time in silence and 9600 with noise coming all the while; then 38400 shows lines.
    EXPECT_TRUE(test::pollUntil([&] { return port.status().baud.trying == 9600; })) << "moved on from a silent rate";
    constexpr int LINES = 20;
    const std::string received = test::receive(queue, LINES * RATE_LINE_SIZE);
    ASSERT_GE(received.size(), LINES * RATE_LINE_SIZE);
    const BaudStatus baud = port.status().baud;
    EXPECT_EQ(baud.found, 38400u);
    EXPECT_EQ(baud.trying, 0u) << "no longer searching";
    EXPECT_FALSE(baud.nothingFound);
    EXPECT_EQ(lineSpeed(PLUGGED), "38400\n");

    // Every byte is a line sent at 38400, whole, one after the other from the first: nothing read at a wrong rate
    // comes before them or between them.
    const int first = std::atoi(received.c_str() + RATE_LINE_NUMBER_AT);
    for (int i = 0; i < LINES; ++i) {
        char line[RATE_LINE_SIZE + 1];
        std::snprintf(line, sizeof line, "$GPTXT,01,01,02,RATE LINE %06d\r\n", first + i);
        ASSERT_EQ(received.substr(static_cast<std::size_t>(i) * RATE_LINE_SIZE, RATE_LINE_SIZE), line) << "line " << i;
    }

    // Pulled and plugged in again: the port goes on at the rate found, without looking for it again.
    receiver.stop();
    ASSERT_TRUE(pair.remove());
    ASSERT_TRUE(test::pollUntil([&] { return port.status().reopening; }));
    ASSERT_TRUE(pair.make());
    ASSERT_TRUE(test::pollUntil([&] { return port.status().failure == nullptr; })) << "reopened";
    EXPECT_EQ(lineSpeed(PLUGGED), "38400\n");
    EXPECT_EQ(port.status().baud.found, 38400u);
    EXPECT_EQ(port.status().baud.trying, 0u);
    port.stop();
}

// The error the driver of a COM port gives for nine data bits, asked directly; 0 if it takes them.
DWORD nineDataBitsRefusal(int portNumber) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", portNumber);
    const WinHandle device(CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(device.get(), &dcb)) {
        return GetLastError();
    }
    dcb.ByteSize = 9;
    return SetCommState(device.get(), &dcb) ? 0 : GetLastError();
}

TEST(SerialPortTest, AutomaticRateSkipsTheRatesThePortRefusesWithTheSystemsReason) {
    const DWORD refusal = nineDataBitsRefusal(SOURCE_FAR);
    ASSERT_NE(refusal, 0u);
    ASSERT_FALSE(systemErrorText(refusal).empty());
    SerialPort port(SOURCE, 0);
    // No port takes nine data bits: the driver refuses the line settings at every rate.
    const SerialPort::LineSettings settings{SOURCE, 0, NOPARITY, 9, ONESTOPBIT};
    ASSERT_TRUE(port.setSettings(reinterpret_cast<const char*>(&settings), sizeof settings));
    ByteQueue queue;
    port.initialize();
    ASSERT_TRUE(port.open(true, &queue));

    // Taken at once: the list is made again as each round refuses the rates anew.
    BaudStatus baud;
    ASSERT_TRUE(test::pollUntil([&] {
        baud = port.status().baud;
        return baud.refused.size() == BaudSearch::RATES.size();
    }));
    for (std::size_t i = 0; i < BaudSearch::RATES.size(); ++i) {
        EXPECT_EQ(baud.refused[i].rate, BaudSearch::RATES[i]) << "in the order tried";
        EXPECT_EQ(baud.refused[i].reason, systemErrorText(refusal)) << baud.refused[i].rate;
    }
    EXPECT_TRUE(baud.nothingFound) << "a round without a rate found nothing";
    EXPECT_NE(baud.trying, 0u) << "and the search goes on";
    EXPECT_EQ(baud.found, 0u);
    EXPECT_STREQ(port.status().failure, nullptr) << "the port itself works";
    test::expectToEnd([&] { port.stop(); });
}

TEST(SerialPortTest, PortOpenElsewhereIsRefused) {
    SerialPort first(SOURCE, 4800);
    SerialPort second(SOURCE, 4800);
    ByteQueue queue;
    first.initialize();
    second.initialize();
    ASSERT_TRUE(first.open(true, &queue));
    EXPECT_FALSE(second.open(true, &queue));
    first.stop();
    EXPECT_TRUE(second.open(true, &queue)) << "free again once the first is stopped";
    second.stop();
}

TEST(SerialPortTest, MissingPortsCannotBeOpened) {
    for (int number : {-1, 0, 9, 99}) {
        SerialPort port(number, 4800);
        ByteQueue queue;
        port.initialize();
        EXPECT_FALSE(port.open(true, &queue)) << "COM" << number;
        EXPECT_TRUE(port.stop());
    }
}

TEST(SerialPortTest, DisplayNameIsTheComName) {
    EXPECT_STREQ(SerialPort(3, 4800).displayName().get(), "COM3");
    EXPECT_STREQ(SerialPort(12, 4800).displayName().get(), "COM12");
    EXPECT_STREQ(SerialPort(-1, 4800).displayName().get(), "COM-1");
    EXPECT_STREQ(SerialPort(2000000000, 4800).displayName().get(), "COM200000") << "at most nine characters";
}

TEST(SerialPortTest, SettingsBlockHoldsTheFiveLineValues) {
    SerialPort port(3, 4800);
    std::unique_ptr<char[]> block;
    int length = 0;
    ASSERT_TRUE(port.getSettings(block, length));
    ASSERT_EQ(length, 20);
    SerialPort::LineSettings settings;
    std::memcpy(&settings, block.get(), sizeof settings);
    EXPECT_EQ(settings.portNumber, 3);
    EXPECT_EQ(settings.baudRate, 4800);
    EXPECT_EQ(settings.parity, 0);
    EXPECT_EQ(settings.byteSize, 8);
    EXPECT_EQ(settings.stopBits, 0);

    // A shorter block replaces only the leading fields.
    const std::int32_t leading[] = {7, 115200};
    EXPECT_TRUE(port.setSettings(reinterpret_cast<const char*>(leading), sizeof leading));
    ASSERT_TRUE(port.getSettings(block, length));
    std::memcpy(&settings, block.get(), sizeof settings);
    EXPECT_EQ(settings.portNumber, 7);
    EXPECT_EQ(settings.baudRate, 115200);
    EXPECT_EQ(settings.byteSize, 8);
    EXPECT_STREQ(port.displayName().get(), "COM7");
}

TEST(SerialPortTest, FlagsAreAllFalse) {
    SerialPort port(3, 4800);
    EXPECT_FALSE(port.queryFlag(0));
    EXPECT_FALSE(port.queryFlag(1));
    EXPECT_FALSE(port.queryFlag(2));
}

} // namespace
} // namespace veltaro
