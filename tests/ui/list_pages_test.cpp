#include "gps/gps_parser.h"
#include "gps/sentence_reader.h"
#include "support/captures.h"
#include "support/far_end.h"
#include "support/ui_support.h"
#include "support/windows_support.h"
#include "ui/framework/counts.h"
#include "ui/framework/drawing_resources.h"
#include "ui/main/main_frame.h"
#include "ui/views/sentences_page.h"
#include "ui/views/signals_page.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace veltaro {
namespace {

// Each line as the "Sentences" list shows it, with what became of it in the parser.
TEST(ListPagesTest, EachLineShowsWhatCameAndWhatBecameOfIt) {
    const std::string longLine(1500, 'y');
    const struct {
        std::string bytes; // as they arrive, line end included
        std::string shown;
        const char* state;
    } rows[] = {
        {test::sealed("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,") + "\r\n",
         test::sealed("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"), "decoded"},
        {"$GPRMC,225446,A,4916.45,N,00211.12,W,000.5,054.7,191194,020.3,E*68\r\n",
         "$GPRMC,225446,A,4916.45,N,00211.12,W,000.5,054.7,191194,020.3,E*68", "bad checksum"},
        {"$PGRMO,\x01\xE9\r\n", "$PGRMO,<01><E9>", "not read"},
        {"noise\tbetween\r\n", "noise<09>between", "not read"},
        {longLine + "\r\n", std::string(SentenceLog::MOST_BYTES, 'y') + "...", "not read"},
        {"$GPGSA,A,3,04,05", "$GPGSA,A,3,04,05", "cut"}, // the port is lost here
    };
    ByteQueue queue;
    GpsParser parser([](ObserverHandle, GpsParser*) {});
    for (const auto& row : rows) {
        queue.append(row.bytes.data(), static_cast<int>(row.bytes.size()));
    }
    queue.markBreak();
    ASSERT_TRUE(parser.start(&queue));
    parser.stop();
    const SentenceLog& log = parser.sentenceLog();
    ASSERT_EQ(log.end(), static_cast<std::int64_t>(std::size(rows)));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        LoggedLine line;
        ASSERT_TRUE(log.get(static_cast<std::int64_t>(i), line));
        EXPECT_EQ(shownLine(line), rows[i].shown);
        EXPECT_STREQ(lineStateName(line.state), rows[i].state) << rows[i].shown;
    }
}

TEST(ListPagesTest, SignalsAreNamedAsTheirSystemsCallThem) {
    const struct {
        char system;
        std::int32_t signal;
        const char* name;
    } names[] = {
        {'G', 1, "L1 C/A"}, {'G', 8, "L5 Q"},   {'J', 6, "L2 CL"}, {'R', 3, "G2 C/A"}, {'E', 7, "E1 B/C"},
        {'E', 2, "E5b"},    {'C', 11, "B2I"},   {'C', 5, "B2a"},   {'C', 2, "2"},      {'S', 1, "1"},
        {'G', -1, "L1"},    {'R', 1, "G1 C/A"}, {'I', 5, "5"},
    };
    for (const auto& n : names) {
        EXPECT_EQ(signalName(n.system, n.signal), n.name) << n.system << n.signal;
    }
}

// The F9P's last epoch, counted by hand from its GSV lines: 41 satellites in eight cycles (GPS L1 C/A and L2
// CL, GLONASS G1 and G2, Galileo E1 and E5b, BeiDou B1I and one cycle without a signal ID) of 12, 12, 10,
// 10, 9, 9, 10 and 10 signals; its four GSA lists use 8 + 3 + 3 + 6; the strongest satellites are G20 34,
// R81 35, E12 35 and C21 35 dB-Hz.
TEST(ListPagesTest, F9pLastEpochListsEverySatelliteOnEverySignal) {
    GpsState state;
    SentenceReader reader;
    for (const test::Burst& burst : test::burstsOf(test::readFile(VELTARO_NMEA_DIR "/ublox-zed-f9p-nmea.nmea"))) {
        for (std::string line : burst.lines) {
            reader.read(state, line.data(), static_cast<int>(line.size()), 0);
        }
    }
    const std::vector<SignalRow> rows = signalRows(state);
    EXPECT_EQ(signalSummary(rows, state), "41 satellites, 82 signals, 20 used; strongest 4: 35 dB-Hz on average");
    const auto find = [&](char system, int prn, int signal) {
        return std::find_if(rows.begin(), rows.end(), [&](const SignalRow& r) {
            return r.system == system && r.prn == prn && r.signal == signal;
        });
    };
    ASSERT_NE(find('E', 12, 7), rows.end());
    EXPECT_EQ(find('E', 12, 7)->snr, 30);
    EXPECT_EQ(find('E', 12, 2)->snr, 35);
    EXPECT_TRUE(find('E', 12, 2)->used);
    EXPECT_EQ(find('G', 10, 6)->snr, 18);
    EXPECT_FALSE(find('G', 5, 6)->used) << "G5 is in view, not in the GPS GSA";
}

class ListPagesFrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { createSharedGdi(); }
    ListPagesFrameTest() : frame(SW_SHOWNORMAL) {
        frame.showError = [](const std::string&) {};
    }

    void select(const char* title) {
        TreeNode& node = *test::nodesOf(frame, NODE_VIEW, title).at(0);
        SendMessageA(frame.treeWindow, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node.item));
    }
    static int rowsOf(HWND list) { return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }
    static std::string textOf(HWND window) {
        char text[256] = "";
        GetWindowTextA(window, text, sizeof text);
        return text;
    }

    MainFrame frame;
};

std::string clipboardText() {
    std::string text;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
                text = bytes;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
    }
    return text;
}

// A user streams a receiver, reads its signals, sorts them, then looks for its GGA lines, pauses, and copies them.
TEST_F(ListPagesFrameTest, UserReadsTheSignalsAndCopiesTheFilteredSentences) {
    frame.startDevice(5, 4800, false, false, 0, 0);
    ASSERT_EQ(frame.nodes.size(), 8u);
    const std::string capture = test::readFile(VELTARO_NMEA_DIR "/ublox-zed-f9p-nmea.nmea");
    const std::vector<std::string> lines = test::splitCrLfLines(capture);
    std::string ggaLines;
    int ggaCount = 0;
    for (const std::string& line : lines) {
        if (line.rfind("$GNGGA", 0) == 0) {
            ggaLines += (ggaLines.empty() ? "" : "\r\n") + line;
            ++ggaCount;
        }
    }
    test::FarEnd receiver(15);
    ASSERT_TRUE(receiver.write(capture));

    GpsDevice& device = *test::nodesOf(frame, NODE_DEVICE).at(0)->device;
    ASSERT_TRUE(test::pumpMessagesUntil(
        [&] { return device.parser->sentenceLog().end() == static_cast<std::int64_t>(lines.size()); }));
    select("Signals");
    SignalsPage& signals = *test::paneOf<SignalsPage>(*test::nodesOf(frame, NODE_VIEW, "Signals").at(0));
    ASSERT_TRUE(test::pumpMessagesUntil([&] {
        return textOf(signals.summary) == "41 satellites, 82 signals, 20 used; strongest 4: 35 dB-Hz on average";
    })) << textOf(signals.summary);
    EXPECT_EQ(rowsOf(signals.list), 82);
    signals.sortBy(3);
    signals.sortBy(3); // again: strongest first
    EXPECT_EQ(signals.rows.front().snr, 35);
    EXPECT_EQ(signals.rows.back().snr, 0);
    test::saveScreenshot("signals");

    select("Sentences");
    SentencesPage& sentences = *test::paneOf<SentencesPage>(*test::nodesOf(frame, NODE_VIEW, "Sentences").at(0));
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return rowsOf(sentences.list) == static_cast<int>(lines.size()); }))
        << textOf(sentences.count);
    SetWindowTextA(sentences.filter, "$GNGGA");
    EXPECT_EQ(rowsOf(sentences.list), ggaCount);
    EXPECT_NE(textOf(sentences.count).find(" " + std::to_string(ggaCount) + " shown"), std::string::npos)
        << textOf(sentences.count);

    SendMessageA(sentences.pause, BM_CLICK, 0, 0);
    ASSERT_TRUE(receiver.write(lines.back() + "\r\n" + test::sealed("$GNGGA,004025.00,,,,,0,00,,,M,,M,,") + "\r\n"));
    const std::string kept = withThousands(static_cast<std::int64_t>(lines.size()) + 2) + " lines kept";
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return textOf(sentences.count).rfind(kept, 0) == 0; }))
        << textOf(sentences.count);
    EXPECT_EQ(rowsOf(sentences.list), ggaCount) << "paused: the list stands still";

    SetFocus(sentences.list);
    test::pressKey('A', VK_CONTROL);
    ASSERT_TRUE(test::pumpMessagesUntil(
        [&] { return static_cast<int>(SendMessageA(sentences.list, LVM_GETSELECTEDCOUNT, 0, 0)) == ggaCount; }));
    OpenClipboard(nullptr);
    EmptyClipboard();
    CloseClipboard();
    test::pressKey('C', VK_CONTROL);
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return clipboardText() == ggaLines; })) << clipboardText().size();
    test::saveScreenshot("sentences");

    SendMessageA(sentences.pause, BM_CLICK, 0, 0);
    EXPECT_TRUE(test::pumpMessagesUntil([&] { return rowsOf(sentences.list) == ggaCount + 1; }))
        << "unpaused: the newest GGA joins";
}

// Once the ring is full every new line pushes the oldest out and the rows move up: the selection moves with
// its line, so Ctrl+C copies what the user picked.
TEST(ListPagesTest, SelectionStaysOnItsLineAsTheOldestLeave) {
    createSharedGdi();
    test::TestWindow parent(700, 400);
    ShowWindow(parent.get(), SW_SHOWNORMAL);
    SentenceLog log;
    const auto add = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            const std::string line = "$GPTXT," + std::to_string(i);
            log.add(0, LineState::NOT_READ, line.data(), static_cast<int>(line.size()));
        }
    };
    SentencesPage page(nullptr, false, sharedGdi(), log);
    page.setSize(700, 400);
    ASSERT_TRUE(page.create(parent.get()));
    const int full = static_cast<int>(SentenceLog::CAPACITY);
    add(0, full);
    page.refresh();
    ASSERT_TRUE(test::pumpMessagesUntil([&] { return SendMessageA(page.list, LVM_GETITEMCOUNT, 0, 0) == full; }));
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    SendMessageA(page.list, LVM_SETITEMSTATE, static_cast<WPARAM>(full - 10), reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(page.selectedText(), "$GPTXT," + std::to_string(full - 10));

    add(full, full + 3);
    page.refresh();
    ASSERT_TRUE(test::pumpMessagesUntil(
        [&] { return SendMessageA(page.list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == full - 13; }));
    EXPECT_EQ(page.selectedText(), "$GPTXT," + std::to_string(full - 10));
}

} // namespace
} // namespace veltaro
