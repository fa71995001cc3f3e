#include "core/saved_setups.h"

#include "core/plain_text.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <utility>

namespace veltaro {

namespace {

constexpr const char* BAD_ESCAPE = "a % not followed by two hex digits";
constexpr const char* BAD_NUMBER = "a number that is not one";
constexpr const char* NOT_YES_OR_NO = "a choice that is neither yes nor no";

// "%" and control characters are written as %XX, so that a value stays on its line and reads back the same,
// and so are spaces at either end, as the spaces around "=" are not part of it. Everything else, non-ASCII
// UTF-8 included, is written as it is: a path stays readable.
std::string escaped(std::string_view value) {
    constexpr char HEX[] = "0123456789ABCDEF";
    const std::size_t first = value.find_first_not_of(' ');
    const std::size_t last = value.find_last_not_of(' ');
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if ((byte == ' ' && (i < first || i > last)) || byte == '%' || byte < 0x20 || byte == 0x7F) {
            text += '%';
            text += HEX[byte >> 4];
            text += HEX[byte & 0xF];
        } else {
            text += value[i];
        }
    }
    return text;
}

bool unescaped(std::string_view text, std::string& value) {
    value.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            value += text[i];
            continue;
        }
        const int high = i + 2 < text.size() ? hexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? hexDigit(text[i + 2]) : -1;
        if (low < 0) {
            return false;
        }
        value += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

// Decimal digits only: no sign, no spaces, nothing that does not fit.
template <typename Number>
bool readNumber(std::string_view text, Number& value) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool readYesNo(std::string_view text, bool& value) {
    value = sameText(text, "yes");
    return value || sameText(text, "no");
}

const char* yesNo(bool value) {
    return value ? "yes" : "no";
}

// Takes one key's value, still escaped, into setup; the reason it is damaged, or nullptr.
const char* readKey(SavedSetup& setup, std::string_view key, std::string_view value) {
    if (sameText(key, "baud")) {
        if (sameText(value, "auto")) {
            setup.baud = 0;
            return nullptr;
        }
        return readNumber(value, setup.baud) ? nullptr : BAD_NUMBER;
    }
    if (sameText(key, "every system")) {
        bool on = false;
        if (!readYesNo(value, on)) {
            return NOT_YES_OR_NO;
        }
        setup.everySystem = on ? EverySystemChoice::ON : EverySystemChoice::OFF;
        return nullptr;
    }
    if (sameText(key, "log")) {
        return unescaped(value, setup.logPath) ? nullptr : BAD_ESCAPE;
    }
    if (sameText(key, "echo")) {
        // The port may hold commas; the rate after the last one does not.
        const std::size_t comma = value.rfind(',');
        if (comma == std::string_view::npos) {
            return "an echo that is not \"port, baud rate\"";
        }
        EchoSetup echo;
        if (!unescaped(trimmed(value.substr(0, comma)), echo.port)) {
            return BAD_ESCAPE;
        }
        if (echo.port.empty()) {
            return "an echo without a port";
        }
        if (!readNumber(trimmed(value.substr(comma + 1)), echo.baud)) {
            return BAD_NUMBER;
        }
        setup.echoes.push_back(std::move(echo));
        return nullptr;
    }
    if (sameText(key, "serve tcp")) {
        std::uint32_t port = 0;
        if (!readNumber(value, port) || port == 0 || port > 65535) {
            return "a TCP port that is not a number from 1 to 65535";
        }
        setup.tcpServers.push_back(static_cast<std::uint16_t>(port));
        return nullptr;
    }
    if (sameText(key, "send udp")) {
        std::string destination;
        if (!unescaped(value, destination)) {
            return BAD_ESCAPE;
        }
        if (destination.empty()) {
            return "a UDP output without its destination";
        }
        setup.udpDestinations.push_back(std::move(destination));
        return nullptr;
    }
    if (sameText(key, "start at launch")) {
        return readYesNo(value, setup.startAtLaunch) ? nullptr : NOT_YES_OR_NO;
    }
    if (sameText(key, "last used")) {
        return readNumber(value, setup.lastUsed) ? nullptr : BAD_NUMBER;
    }
    return nullptr; // a key of a later version: left to it
}

bool parseLines(std::string_view text, std::vector<SavedSetup>& setups, SetupsDamage& damage) {
    constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF"; // as Notepad may save it
    if (text.substr(0, BYTE_ORDER_MARK.size()) == BYTE_ORDER_MARK) {
        text.remove_prefix(BYTE_ORDER_MARK.size());
    }
    std::vector<SavedSetup> read;
    std::vector<std::string> keys; // of the setup being read, each once
    int number = 0;
    const auto fail = [&](const char* reason) {
        damage = {number, reason};
        return false;
    };
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t newline = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, newline - start);
        start = newline + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        line = trimmed(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                return fail("a port name without its \"]\"");
            }
            SavedSetup setup;
            if (!unescaped(trimmed(line.substr(1, line.size() - 2)), setup.port)) {
                return fail(BAD_ESCAPE);
            }
            if (setup.port.empty()) {
                return fail("a setup without a port");
            }
            if (std::any_of(read.begin(), read.end(),
                            [&](const SavedSetup& s) { return samePort(s.port, setup.port); })) {
                return fail("a port given twice");
            }
            read.push_back(std::move(setup));
            keys.clear();
            continue;
        }
        const std::size_t equals = line.find('=');
        const std::string_view key = trimmed(line.substr(0, equals == std::string_view::npos ? 0 : equals));
        if (key.empty()) {
            return fail("a line that is neither a port, a key nor a comment");
        }
        if (read.empty()) {
            return fail("a key before the first port");
        }
        // Outputs may come several times; every other key once.
        if (!sameText(key, "echo") && !sameText(key, "serve tcp") && !sameText(key, "send udp")) {
            if (std::any_of(keys.begin(), keys.end(), [&](const std::string& k) { return sameText(k, key); })) {
                return fail("a key given twice");
            }
            keys.emplace_back(key);
        }
        if (const char* reason = readKey(read.back(), key, trimmed(line.substr(equals + 1)))) {
            return fail(reason);
        }
    }
    setups = std::move(read);
    return true;
}

} // namespace

bool renderSetups(const std::vector<SavedSetup>& setups, std::string& text) {
    try {
        std::string out = "; Veltaro's saved devices, the most recently used first.\r\n"
                          "; In values, %XX stands for the byte XX: a \"%\", a control character, or a space at "
                          "either end.\r\n";
        for (const SavedSetup& setup : setups) {
            out += "\r\n[" + escaped(setup.port) + "]\r\n";
            out += "baud = " + (setup.baud == 0 ? std::string("auto") : std::to_string(setup.baud)) + "\r\n";
            if (setup.everySystem != EverySystemChoice::NOT_CHOSEN) {
                out += std::string("every system = ") + yesNo(setup.everySystem == EverySystemChoice::ON) + "\r\n";
            }
            if (!setup.logPath.empty()) {
                out += "log = " + escaped(setup.logPath) + "\r\n";
            }
            for (const EchoSetup& echo : setup.echoes) {
                out += "echo = " + escaped(echo.port) + ", " + std::to_string(echo.baud) + "\r\n";
            }
            for (const std::uint16_t port : setup.tcpServers) {
                out += "serve tcp = " + std::to_string(port) + "\r\n";
            }
            for (const std::string& destination : setup.udpDestinations) {
                out += "send udp = " + escaped(destination) + "\r\n";
            }
            out += std::string("start at launch = ") + yesNo(setup.startAtLaunch) + "\r\n";
            out += "last used = " + std::to_string(setup.lastUsed) + "\r\n";
        }
        text = std::move(out);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool parseSetups(std::string_view text, std::vector<SavedSetup>& setups, SetupsDamage& damage) {
    try {
        return parseLines(text, setups, damage);
    } catch (const std::bad_alloc&) {
        damage = {0, "not enough memory to read it"};
        return false;
    }
}

bool samePort(std::string_view a, std::string_view b) {
    return sameText(a, b);
}

bool remember(std::vector<SavedSetup>& setups, SavedSetup setup) {
    std::vector<SavedSetup> kept;
    try {
        kept.reserve(std::min(setups.size() + 1, MOST_SETUPS));
    } catch (const std::bad_alloc&) {
        return false;
    }
    // Within the room reserved, moving the setups in cannot fail.
    kept.push_back(std::move(setup));
    for (SavedSetup& other : setups) {
        if (kept.size() == MOST_SETUPS) {
            break;
        }
        if (!samePort(other.port, kept.front().port)) {
            kept.push_back(std::move(other));
        }
    }
    setups = std::move(kept);
    return true;
}

void forget(std::vector<SavedSetup>& setups, std::string_view port) {
    std::erase_if(setups, [&](const SavedSetup& setup) { return samePort(setup.port, port); });
}

} // namespace veltaro
