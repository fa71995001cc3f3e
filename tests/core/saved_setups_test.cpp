#include "core/saved_setups.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace veltaro {
namespace {

using Choice = EverySystemChoice;

TEST(SavedSetupsTest, ReadsBackWhatItWroteAndKeepsPathsReadable) {
    const struct {
        std::vector<SavedSetup> setups;
        std::vector<std::string> verbatim; // as a person reads them in the text
    } rows[] = {
        {{}, {}},
        {{{"COM5", 4800, Choice::NOT_CHOSEN, "C:\\Users\\Ann\\GPS logs\\today.gpsl", {}, false, 1718000000, {}, {}}},
         {"[COM5]", "C:\\Users\\Ann\\GPS logs\\today.gpsl"}},
        {{{"COM7",
           0,
           Choice::ON,
           "Z:\\tmp\\Zürich\\日本\\log.gpsl",
           {{"COM8", 9600}, {"\\\\.\\COM12", 115200}},
           true,
           0,
           {},
           {}},
          {"COM3", 4294967295u, Choice::OFF, "", {{"COM7", 4800}}, false, 9223372036854775807, {}, {}},
          {"tcp://[::1]:10110", 0, Choice::NOT_CHOSEN, "", {}, false, 5, {10110, 2947}, {"255.255.255.255:10110"}}},
         {"Z:\\tmp\\Zürich\\日本\\log.gpsl", "\\\\.\\COM12"}},
        {{{" COM 5 ", 38400, Choice::NOT_CHOSEN, "  a=b;c %41\t\r\n# ", {{"x, y ", 1}, {"]", 2}}, true, 42, {}, {}},
          {"[COM]", 0, Choice::NOT_CHOSEN, "[x]", {}, false, 1, {}, {}},
          {";COM1", 0, Choice::NOT_CHOSEN, "; not a comment", {}, false, 2, {}, {}},
          {"#2", 0, Choice::NOT_CHOSEN, "D:\\", {}, false, 3, {}, {}},
          {"Gerät", 0, Choice::NOT_CHOSEN, " ", {{"%", 3}}, false, 4, {}, {}}},
         {"a=b;c", "[[COM]]", "[x]", "D:\\", "Gerät"}},
    };
    for (const auto& row : rows) {
        std::string text;
        ASSERT_TRUE(renderSetups(row.setups, text));
        SCOPED_TRACE(text);
        std::vector<SavedSetup> read;
        SetupsDamage damage;
        EXPECT_TRUE(parseSetups(text, read, damage)) << damage.line << ": " << damage.reason;
        EXPECT_TRUE(read == row.setups);
        for (const std::string& part : row.verbatim) {
            EXPECT_NE(text.find(part), std::string::npos) << part;
        }
    }
}

TEST(SavedSetupsTest, ReadsTextsEditedByHand) {
    const struct {
        std::string text;
        std::vector<SavedSetup> setups;
    } rows[] = {
        {"\xEF\xBB\xBF# saved by hand\n[COM4]\n", {{"COM4", 0, Choice::NOT_CHOSEN, "", {}, false, 0, {}, {}}}},
        {"\r\n  [ COM6 ]  \r\nBAUD=9600\r\n\tEvery System\t=\tNO\r\nlog=%c3%bc%20\r\n\r\nLast Used = 007\r\n",
         {{"COM6", 9600, Choice::OFF, "ü ", {}, false, 7, {}, {}}}},
        {"[COM1]\nbaud = 0\nnetwork = udp://239.0.0.1:5000\necho = COM2 ,4800\necho=COM3,9600\n"
         "start at launch = Yes\n[COM9]\n",
         {{"COM1", 0, Choice::NOT_CHOSEN, "", {{"COM2", 4800}, {"COM3", 9600}}, true, 0, {}, {}},
          {"COM9", 0, Choice::NOT_CHOSEN, "", {}, false, 0, {}, {}}}},
    };
    for (const auto& row : rows) {
        std::vector<SavedSetup> read;
        SetupsDamage damage;
        EXPECT_TRUE(parseSetups(row.text, read, damage)) << row.text << damage.line << ": " << damage.reason;
        EXPECT_TRUE(read == row.setups) << row.text;
    }
}

TEST(SavedSetupsTest, RefusesADamagedTextAndSaysWhere) {
    const struct {
        std::string text;
        int line;
        std::string reason;
    } rows[] = {
        {"baud = 4800\n[COM5]\n", 1, "a key before the first port"},
        {"; devices\n\r\n[COM5]\r\nbaud 4800\r\n", 4, "a line that is neither a port, a key nor a comment"},
        {"[COM5\n", 1, "a port name without its \"]\""},
        {"[COM5]\n[ ]\n", 2, "a setup without a port"},
        {"[COM5]\nbaud = auto\n[com5]\n", 3, "a port given twice"},
        {"[COM5]\nbaud = 4800\nBaud = 9600\n", 3, "a key given twice"},
        {"[COM5]\nbaud = -4800\n", 2, "a number that is not one"},
        {"[COM5]\nbaud = 4294967296\n", 2, "a number that is not one"},
        {"[COM5]\nlast used = 1.7e9\n", 2, "a number that is not one"},
        {"[COM5]\necho = COM7, 96OO\n", 2, "a number that is not one"},
        {"[COM5]\nevery system = maybe\n", 2, "a choice that is neither yes nor no"},
        {"[COM5]\nlog = C:\\100%\\x.gpsl\n", 2, "a % not followed by two hex digits"},
        {"[COM%G5]\n", 1, "a % not followed by two hex digits"},
        {"[COM5]\necho = COM7\n", 2, "an echo that is not \"port, baud rate\""},
        {"[COM5]\necho = , 9600\n", 2, "an echo without a port"},
        {"[COM5]\nserve tcp = 65536\n", 2, "a TCP port that is not a number from 1 to 65535"},
        {"[COM5]\nsend udp = \n", 2, "a UDP output without its destination"},
    };
    for (const auto& row : rows) {
        const std::vector<SavedSetup> before = {{"COM1", 4800, Choice::ON, "log", {}, false, 1, {}, {}}};
        std::vector<SavedSetup> read = before;
        SetupsDamage damage;
        EXPECT_FALSE(parseSetups(row.text, read, damage)) << row.text;
        EXPECT_EQ(damage.line, row.line) << row.text;
        EXPECT_EQ(damage.reason, row.reason) << row.text;
        EXPECT_TRUE(read == before) << "nothing of a damaged text is taken";
    }
}

SavedSetup usedAt(const std::string& port, std::int64_t seconds) {
    return {port, 4800, Choice::NOT_CHOSEN, "", {}, false, seconds, {}, {}};
}

// The first three ports, the number of setups and the last port.
std::string summary(const std::vector<SavedSetup>& setups) {
    std::string text;
    for (std::size_t i = 0; i < std::min<std::size_t>(3, setups.size()); ++i) {
        text += setups[i].port + " ";
    }
    return text + "... " + std::to_string(setups.size()) + " " + (setups.empty() ? "" : setups.back().port);
}

TEST(SavedSetupsTest, RememberedFirstInPlaceOfItsPortTwentyAtMost) {
    const struct {
        bool forgets;
        std::string port;
        std::string after;
    } steps[] = {
        {false, "COM1", "COM1 P17 P16 ... 18 P1"},   {false, "COM2", "COM2 COM1 P17 ... 19 P1"},
        {false, "COM3", "COM3 COM2 COM1 ... 20 P1"}, {false, "com1", "com1 COM3 COM2 ... 20 P1"},
        {false, "COM4", "COM4 com1 COM3 ... 20 P2"}, {true, "cOm1", "COM4 COM3 COM2 ... 19 P2"},
        {true, "COM9", "COM4 COM3 COM2 ... 19 P2"},
    };
    std::vector<SavedSetup> setups;
    std::int64_t seconds = 0;
    while (++seconds <= 17) {
        ASSERT_TRUE(remember(setups, usedAt("P" + std::to_string(seconds), seconds)));
    }
    for (const auto& step : steps) {
        if (step.forgets) {
            forget(setups, step.port);
        } else {
            EXPECT_TRUE(remember(setups, usedAt(step.port, ++seconds)));
            EXPECT_EQ(setups.front().lastUsed, seconds);
        }
        EXPECT_EQ(summary(setups), step.after) << step.port;
    }
}

} // namespace
} // namespace veltaro
