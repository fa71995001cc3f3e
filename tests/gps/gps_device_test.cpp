#include "gps/gps_device.h"

#include "gps/nmea.h"
#include "gps/receiver_pace.h"
#include "ports/file_port.h"
#include "ports/serial_port.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/scripted_port.h"
#include "support/windows_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro {
namespace {

using test::ScriptedPort;

void feed(ByteQueue* queue, const std::string& bytes) {
    queue->append(bytes.data(), static_cast<int>(bytes.size()));
}

// What the parser makes of a stream, decoded here without any thread.
struct Reference {
    GpsState state;
    int lines = 0;
};

Reference decodeStream(const std::string& bytes) {
    Reference reference;
    ByteQueue queue;
    feed(&queue, bytes);
    queue.signalStop();
    SatelliteTable working;
    int count = 0;
    while (std::unique_ptr<char[]> line = queue.readLine(count)) {
        decodeSentence(reference.state, working, line.get(), count);
        ++reference.lines;
    }
    reference.state.active = 1;
    return reference;
}

bool sameState(const GpsState& a, const GpsState& b) {
    return a.latitude == b.latitude && a.longitude == b.longitude && a.course == b.course && a.hour == b.hour &&
           a.minute == b.minute && a.second == b.second && a.day == b.day && a.rmcValid == b.rmcValid &&
           a.fixType == b.fixType && a.fixQuality == b.fixQuality && a.active == b.active &&
           std::memcmp(&a.satellites, &b.satellites, sizeof a.satellites) == 0 &&
           std::memcmp(a.usedPrn, b.usedPrn, sizeof a.usedPrn) == 0;
}

std::string capture(const char* name) {
    return test::readFile(std::string(VELTARO_NMEA_DIR) + "/" + name);
}

TEST(GpsDeviceTest, StartReportsWhyItFailed) {
    GpsDevice noPort(nullptr);
    EXPECT_FALSE(noPort.start(nullptr));
    EXPECT_EQ(noPort.error, DEVICE_ERROR_NO_PORT);
    EXPECT_EQ(noPort.inputQueue, nullptr) << "nothing is built";

    auto refusesInitialize = std::make_unique<ScriptedPort>();
    refusesInitialize->initializeResult = false;
    GpsDevice uninitialized(std::move(refusesInitialize));
    EXPECT_FALSE(uninitialized.start(nullptr));
    EXPECT_EQ(uninitialized.error, DEVICE_ERROR_INITIALIZE_PORT);

    auto refusesOpen = std::make_unique<ScriptedPort>();
    refusesOpen->openResult = false;
    GpsDevice unopened(std::move(refusesOpen));
    EXPECT_FALSE(unopened.start(nullptr));
    EXPECT_EQ(unopened.error, DEVICE_ERROR_OPEN_PORT);
    EXPECT_NE(unopened.inputQueue, nullptr);
    EXPECT_EQ(unopened.tee, nullptr);

    GpsDevice missing(std::make_unique<SerialPort>(9, 4800));
    EXPECT_FALSE(missing.start(nullptr));
    EXPECT_EQ(missing.error, DEVICE_ERROR_OPEN_PORT);
}

// A device over a scripted source that the test feeds, and a window that counts its notifications.
class ScriptedDeviceTest : public testing::Test {
protected:
    ScriptedPort* scripted = new ScriptedPort; // owned by the device
    GpsDevice device{std::unique_ptr<Port>(scripted)};
    test::UpdateCounter observer;
};

TEST_F(ScriptedDeviceTest, SnapshotCatchesUpWithTheLastLine) {
    ASSERT_NE(observer.window(), nullptr) << "no window: Wine needs an X display";
    ASSERT_TRUE(device.start(observer.window()));
    ASSERT_NE(scripted->fed, nullptr);

    const std::string stream = capture("garmin48.nmea");
    const Reference reference = decodeStream(stream);
    // Notifications are merged while one is outstanding: the last one brings the state after the last line.
    feed(scripted->fed, stream);
    ASSERT_TRUE(
        test::pumpMessagesUntil([&] { return sameState(device.snapshot, reference.state) && observer.count() >= 2; }));
    EXPECT_LE(observer.count(), 1 + reference.lines);

    // A notification from another parser is not this device's.
    const GpsState before = device.snapshot;
    GpsParser other([](ObserverHandle, GpsParser*) {});
    SendMessageA(device.notifyWindow, WM_GPSUPDATE, 0, reinterpret_cast<LPARAM>(&other));
    EXPECT_TRUE(sameState(device.snapshot, before));
}

// Bytes that end no line are not silence: the page can say they arrive (a wrong baud rate, a line without end).
TEST_F(ScriptedDeviceTest, ReportTellsBytesWithoutALineFromSilence) {
    ASSERT_TRUE(device.start(observer.window()));
    EXPECT_FALSE(device.report().bytesWithoutLine) << "nothing came";
    scripted->send("\x8e\x3f\x91 no line end yet");
    EXPECT_TRUE(device.report().bytesWithoutLine);
    EXPECT_FALSE(device.report().bytesWithoutLine) << "nothing more came since";
    scripted->send(" ... and its end\r\n");
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.parser->linesDecoded() == 1; }));
    EXPECT_FALSE(device.report().bytesWithoutLine) << "a line came";
}

// While the receiver reports no fix, the snapshot tells how long ago the last one came, on the device's own
// clock, so the readout counts up without a line arriving.
TEST_F(ScriptedDeviceTest, LostFixTellsItsAgeAsTimeGoesOn) {
    ASSERT_TRUE(device.start(observer.window()));
    feed(scripted->fed, test::sealed("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") + "\r\n" +
                            test::sealed("$GPGGA,123520,,,,,0,00,,,M,,M,,") + "\r\n");
    ASSERT_TRUE(
        test::pumpMessagesUntil([&] { return device.snapshot.reportsNoFix() && device.snapshot.fixAgeSeconds >= 2; }));
    EXPECT_NEAR(device.snapshot.fixLatitude, 4811.73, 1e-9) << "the last fix stays";
}

// The views learn that the source is lost from the snapshot; the main window is told only of a change.
TEST_F(ScriptedDeviceTest, SnapshotSaysWhileTheSourceIsLost) {
    ASSERT_TRUE(device.start(observer.window()));
    EXPECT_FALSE(device.markAge());
    scripted->lose();
    EXPECT_TRUE(device.markAge());
    EXPECT_EQ(device.snapshot.sourceLost, 1);
    EXPECT_FALSE(device.markAge()) << "no change, no news";
    scripted->regain();
    EXPECT_TRUE(device.markAge());
    EXPECT_EQ(device.snapshot.sourceLost, 0);
}

TEST_F(ScriptedDeviceTest, OutputsJoinOnlyOnceTheirPortIsOpen) {
    ASSERT_TRUE(device.start(nullptr));

    EXPECT_FALSE(device.addLogFile("Z:\\no\\such\\folder\\log.gpsl"));
    EXPECT_EQ(device.error, DEVICE_ERROR_OPEN_PORT);
    EXPECT_FALSE(device.addLogFile(""));
    EXPECT_FALSE(device.addEchoPort(std::make_unique<SerialPort>(9, 4800)));
    EXPECT_EQ(device.error, DEVICE_ERROR_OPEN_PORT);

    const std::string log = test::temporaryPath("outputs.gpsl");
    EXPECT_TRUE(device.addEchoPort(std::make_unique<SerialPort>(6, 4800)));
    EXPECT_TRUE(device.addLogFile(log.c_str()));
    EXPECT_EQ(device.error, DEVICE_ERROR_NONE);

    const DeviceReport report = device.report();
    ASSERT_EQ(report.outputs.size(), 2u) << "failed outputs left nothing behind";
    EXPECT_EQ(report.outputs[0].name, "COM6");
    EXPECT_EQ(report.outputs[1].name, log);
}

// One log stopped while the stream goes on: it holds what came before, the other log and the device go on.
TEST_F(ScriptedDeviceTest, StoppedOutputEndsWhereItWasStoppedAndTheOthersGoOn) {
    ASSERT_TRUE(device.start(nullptr));
    const std::string first = test::temporaryPath("stopped-output.gpsl");
    const std::string second = test::temporaryPath("going-on.gpsl");
    ASSERT_TRUE(device.addLogFile(first.c_str()));
    ASSERT_TRUE(device.addLogFile(second.c_str()));
    const std::string before = capture("garmin48.nmea");
    const std::string after = capture("isync.nmea");
    const Reference reference = decodeStream(before);
    feed(scripted->fed, before);
    // The parser's queue comes first in the tee: once it decoded everything, both logs' queues hold it too.
    ASSERT_TRUE(test::pollUntil([&] { return device.parser->linesDecoded() == reference.lines; }));
    device.stopOutput(0);
    EXPECT_TRUE(device.report().outputs[0].stopped);
    EXPECT_FALSE(device.report().outputs[1].stopped);
    feed(scripted->fed, after);
    device.stop();
    EXPECT_TRUE(test::readFile(first) == before) << "the stopped log ends at the stop";
    EXPECT_TRUE(test::readFile(second) == before + after) << "the other log goes on";
}

TEST_F(ScriptedDeviceTest, StopDeliversEverythingStillQueued) {
    ASSERT_TRUE(device.start(nullptr));
    const std::string log = test::temporaryPath("clean-stop.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));

    std::string stream;
    for (int i = 0; i < 20; ++i) {
        stream += capture("telit-he910.nmea");
    }
    for (std::size_t at = 0; at < stream.size(); at += 4096) {
        scripted->fed->append(stream.data() + at, static_cast<int>(std::min<std::size_t>(4096, stream.size() - at)));
    }
    device.stop(); // at once, with most of the stream still in the queues
    EXPECT_EQ(test::readFile(log), stream);
}

TEST_F(ScriptedDeviceTest, FloodOfLinesIsToldInFewNotificationsAndKeepsEveryPosition) {
    ASSERT_TRUE(device.start(observer.window()));
    std::string stream = "$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*39\r\n";
    const int fixes = 3000;
    for (int i = 0; i < fixes; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "$GPGGA,000000,%04d.000,N,00000.000,E,1,08,0.9,545.4,M,46.9,M,,", i);
        stream += test::sealed(line) + "\r\n";
    }
    feed(scripted->fed, stream);
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return device.newFixes.size() == fixes; }));
    for (int i = 0; i < fixes; ++i) {
        ASSERT_NEAR(device.newFixes[static_cast<std::size_t>(i)].latitude, (i / 100) * 100 + (i % 100) * 100 / 60.0,
                    1e-9);
    }
    EXPECT_LT(observer.count(), fixes / 2) << "merged, not one per line";
}

// Under a folder whose name no ANSI code page can write, a log is written byte for byte and replays.
TEST_F(ScriptedDeviceTest, LogUnderANonAsciiFolderIsWrittenAndReplayed) {
    const std::string folder = "Z:\\tmp\\Z\xC3\xBCrich";
    const std::string log = folder + "\\\xE6\x97\xA5\xE6\x9C\xAC\\log.gpsl"; // Z:\tmp\Zürich\日本\log.gpsl
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "\\\xE6\x97\xA5\xE6\x9C\xAC").c_str(), nullptr);
    ASSERT_TRUE(device.start(nullptr));
    ASSERT_TRUE(device.addLogFile(log.c_str())) << "the log under a non-ASCII folder would not open";
    const std::string stream = capture("telit-he910.nmea");
    scripted->fed->append(stream.data(), static_cast<int>(stream.size()));
    device.stop();
    // The name on disk is the Unicode one, not its bytes read in another code page.
    EXPECT_NE(GetFileAttributesW(L"Z:\\tmp\\Z\u00fcrich\\\u65e5\u672c\\log.gpsl"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(test::readFile(log), stream);

    GpsDevice replay{std::make_unique<FilePort>(log.c_str(), ReplayPace::RECEIVER)};
    static_cast<FilePort*>(replay.port.get())->steer(false, ReplaySpeed::FASTEST);
    ASSERT_TRUE(replay.start(nullptr));
    EXPECT_TRUE(test::pollUntil([&] { return replay.parser->linesDecoded() == decodeStream(stream).lines; }));
    replay.stop();
    DeleteFileA(log.c_str());
}

TEST(GpsDeviceTest, StopEndsWithAnEchoNobodyReadsAndTheLogComplete) {
    // Two devices, as the main window has them, each with a log and an echo whose far end never reads.
    std::string stream;
    while (stream.size() < 300 * 1024) {
        stream += capture("telit-he910.nmea");
    }
    struct Running {
        GpsDevice device{std::make_unique<ScriptedPort>()};
        std::string log;
    };
    Running devices[2];
    const int echoPorts[] = {7, 11}; // COM17 and COM21 are never read
    for (int i = 0; i < 2; ++i) {
        ScriptedPort* source = static_cast<ScriptedPort*>(devices[i].device.port.get());
        ASSERT_TRUE(devices[i].device.start(nullptr));
        devices[i].log = test::temporaryPath("unread-echo.gpsl");
        ASSERT_TRUE(devices[i].device.addLogFile(devices[i].log.c_str()));
        ASSERT_TRUE(devices[i].device.addEchoPort(std::make_unique<SerialPort>(echoPorts[i], 4800)));
        feed(source->fed, stream);
    }
    // While running, each echo keeps a bounded backlog and drops whole lines beyond it.
    for (Running& running : devices) {
        ASSERT_EQ(running.device.report().outputs.size(), 2u);
        EXPECT_TRUE(test::pollUntil([&] { return running.device.report().outputs[1].status.droppedLines > 0; }));
    }
    const ULONGLONG started = GetTickCount64();
    test::expectToEnd([&] {
        const ULONGLONG deadline = GetTickCount64() + STOP_DEADLINE_MS;
        for (Running& running : devices) {
            running.device.requestStop(deadline);
        }
        for (Running& running : devices) {
            running.device.waitStopped();
        }
    });
    std::printf("both devices stopped in %llu ms\n", GetTickCount64() - started);
    for (Running& running : devices) {
        EXPECT_EQ(test::readFile(running.log), stream);
        const DeviceReport report = running.device.report();
        ASSERT_EQ(report.outputs.size(), 2u);
        EXPECT_LT(report.outputs[1].status.bytes, static_cast<std::int64_t>(stream.size())) << "the far end held back";
    }
}

TEST(GpsDeviceTest, UnpluggedReceiverResumesIntoTheSameLogAndDecoderWithoutJoiningItsCutLine) {
    // Pulled in the middle of a sentence, plugged back in the middle of another: the two halves would
    // read as a fix at a place the receiver never reported.
    const std::string complete = capture("garmin48.nmea");
    const std::string first = complete + "$GPGGA,235959,4807.0";
    // The joined line's checksum matches: only the reconnect can tell it was cut.
    const std::string joined = test::sealed("$GPGGA,235959,4807.038,N,00231.000,W,2,08,0.9,545.4,M,46.9,M,,");
    const std::string second = joined.substr(std::string("$GPGGA,235959,4807.0").size()) + "\r\n" +
                               test::sealed("$GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1") + "\r\n";
    const Reference reference = decodeStream(complete + second);
    ASSERT_FALSE(sameState(decodeStream(first + second).state, reference.state)) << "the join would show";
    test::ComPair pair(8, 18);
    ASSERT_TRUE(pair.make());

    GpsDevice device(std::make_unique<SerialPort>(8, 4800));
    test::UpdateCounter observer;
    ASSERT_TRUE(device.start(observer.window())) << "error " << device.error;
    const std::string log = test::temporaryPath("replugged.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    {
        test::FarEnd receiver(18);
        ASSERT_TRUE(receiver.write(first));
        ASSERT_TRUE(test::pollUntil([&] { return device.port->status().bytes == std::int64_t(first.size()); }));
    }

    ASSERT_TRUE(pair.remove());
    ASSERT_TRUE(test::pollUntil([&] { return device.port->status().failure != nullptr; }));
    EXPECT_STREQ(device.port->status().failure, "port lost");
    ASSERT_TRUE(pair.make());
    ASSERT_TRUE(test::pollUntil([&] { return device.port->status().failure == nullptr; })) << "reopened";

    test::FarEnd receiver(18);
    ASSERT_TRUE(receiver.isOpen());
    ASSERT_TRUE(receiver.write(second));
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return sameState(device.snapshot, reference.state); }));
    EXPECT_EQ(device.parser->linesDecoded(), reference.lines);
    for (const TrackFix& fix : device.newFixes) {
        ASSERT_GT(fix.longitude, 0) << "no position from the joined halves, which are west";
    }
    EXPECT_EQ(device.port->status().bytes, static_cast<std::int64_t>(first.size() + second.size()));
    device.stop();
    EXPECT_EQ(test::readFile(log), first + second) << "one log, nothing missing or repeated, the cut line kept";
}

TEST(GpsDeviceTest, ReceiverStreamReachesLogEchoAndSnapshotUnchanged) {
    // Binary packets between the sentences, then a GP receiver with a fix.
    const std::string stream = capture("ublox8-uniqid-monhw.nmea") + capture("bu353s4.nmea");
    const Reference reference = decodeStream(stream);

    GpsDevice device(std::make_unique<SerialPort>(5, 4800));
    test::UpdateCounter observer;
    ASSERT_NE(observer.window(), nullptr) << "no window: Wine needs an X display";
    ASSERT_TRUE(device.start(observer.window())) << "error " << device.error;
    const std::string log = test::temporaryPath("receiver.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    ASSERT_TRUE(device.addEchoPort(std::make_unique<SerialPort>(6, 4800)));

    test::FarEnd receiver(15);
    test::FarEnd echo(16);
    ASSERT_TRUE(receiver.isOpen());
    ASSERT_TRUE(echo.isOpen());
    ASSERT_TRUE(receiver.write(stream));
    EXPECT_EQ(echo.read(stream.size()), stream);

    EXPECT_TRUE(test::pumpMessagesUntil([&] { return sameState(device.snapshot, reference.state); }));
    EXPECT_NEAR(device.snapshot.latitude, -(3700 + 47.0877 * 100 / 60), 1e-9);

    device.stop();
    EXPECT_EQ(test::readFile(log), stream);
}

// A recorded log replays as its receiver sent it: no sooner than its time stamps say, and unchanged into
// a log, an echo and the decoder.
TEST(GpsDeviceTest, RecordedLogReplaysAtItsOwnPaceIntoLogEchoAndSnapshot) {
    const std::string path = std::string(VELTARO_NMEA_DIR) + "/rst39.nmea"; // ten fixes a second for 4 s
    const std::string recording = test::readFile(path);
    const Reference reference = decodeStream(recording);
    std::optional<std::chrono::milliseconds> first;
    std::optional<std::chrono::milliseconds> last;
    forEachLine(recording, [&](std::string_view line) {
        if (const auto stamp = timeStamp(line)) {
            first = first ? first : stamp;
            last = stamp;
        }
    });
    ASSERT_TRUE(first && last);

    GpsDevice device(std::make_unique<FilePort>(path.c_str(), ReplayPace::RECEIVER));
    test::UpdateCounter observer;
    const ULONGLONG started = GetTickCount64(); // the replay begins as the file opens
    ASSERT_TRUE(device.open(observer.window())) << "error " << device.error;
    const std::string log = test::temporaryPath("replayed.gpsl");
    ASSERT_TRUE(device.addLogFile(log.c_str()));
    ASSERT_TRUE(device.addEchoPort(std::make_unique<SerialPort>(6, 115200)));
    test::FarEnd echo(16);
    ASSERT_TRUE(echo.isOpen());
    ASSERT_TRUE(device.run());
    EXPECT_TRUE(echo.read(recording.size()) == recording);
    EXPECT_GE(GetTickCount64() - started, static_cast<ULONGLONG>((*last - *first).count()));
    EXPECT_TRUE(test::pumpMessagesUntil(
        [&] { return device.port->status().atEnd && sameState(device.snapshot, reference.state); }));
    device.stop();
    EXPECT_TRUE(test::readFile(log) == recording);
}

} // namespace
} // namespace veltaro
