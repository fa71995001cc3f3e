#include "core/ntrip_protocol.h"

#include "core/plain_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace veltaro {

namespace {

// A head that has not ended within this many bytes is not a caster's.
constexpr std::size_t HEAD_LIMIT = 16 * 1024;
constexpr std::size_t SHOWN_LINE = 60;
constexpr const char* NOT_FOUND = "mountpoint not found";

// A line of what a caster sent, fit to show the user: at most SHOWN_LINE characters, control and non-ASCII
// bytes as '?' (a cut could split a UTF-8 sequence, and garbage is seldom text).
std::string shown(std::string_view line) {
    if (line.empty()) {
        return "an empty line";
    }
    std::string text(line.substr(0, SHOWN_LINE));
    const auto unfit = [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F;
    };
    std::replace_if(text.begin(), text.end(), unfit, '?');
    return line.size() > SHOWN_LINE ? text + "..." : text;
}

NtripReply refused(std::size_t headLength, std::string refusal) {
    NtripReply reply;
    reply.kind = NtripReply::REFUSED;
    reply.headLength = headLength;
    reply.refusal = std::move(refusal);
    return reply;
}

NtripReply notCaster(std::string_view why) {
    return refused(0, "not an NTRIP caster: " + std::string(why));
}

// The three digits after the first space of a status line, and what follows them; false when they are not there.
bool statusCode(std::string_view line, std::string_view& protocol, int& code, std::string_view& rest) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos || line.size() < space + 4) {
        return false;
    }
    protocol = line.substr(0, space);
    rest = trimmed(line.substr(space + 1));
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + std::min<std::size_t>(rest.size(), 3), code);
    return error == std::errc() && end == rest.data() + 3 && code >= 100 && (rest.size() == 3 || rest[3] == ' ');
}

// Locale-independent (std::from_chars); a leading '+' is taken too. Anything else than a finite number is 0.
double number(std::string_view field) {
    field = trimmed(field);
    if (field.size() > 1 && field[0] == '+' && field[1] != '-') {
        field.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
    return error == std::errc() && end == field.data() + field.size() && std::isfinite(value) ? value : 0;
}

} // namespace

std::string base64(const std::string& bytes) {
    constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t count = std::min<std::size_t>(bytes.size() - i, 3);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            group = group << 8 | (k < count ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            text += k <= count ? ALPHABET[group >> (18 - 6 * k) & 0x3F] : '=';
        }
    }
    return text;
}

std::string ntripRequestText(const NtripRequest& request) {
    const bool v6 = request.host.find(':') != std::string::npos;
    std::string text = "GET /" + request.mountpoint + " HTTP/1.1\r\n";
    text += "Host: " + (v6 ? "[" + request.host + "]" : request.host) + ":" + std::to_string(request.port) + "\r\n";
    text += "Ntrip-Version: Ntrip/2.0\r\n";
    text += "User-Agent: NTRIP Veltaro/" VELTARO_VERSION_TEXT "\r\n";
    if (!request.user.empty() || !request.password.empty()) {
        text += "Authorization: Basic " + base64(request.user + ":" + request.password) + "\r\n";
    }
    return text + "Connection: close\r\n\r\n";
}

// A refusal is read from the status line alone (a caster that refuses may close without ending its head); so is
// an NTRIP 1.0 "ICY 200 OK", which may have no blank line after it. When only "ICY 200 OK\r\n" has come, its head
// is taken as complete there: a "\r\n" that comes later is kept in the body, where a receiver hunting for the
// start of its next RTCM message skips it.
NtripReply readNtripReply(const std::string& received, const std::string& asked) {
    const std::string_view text = std::string_view(received).substr(0, HEAD_LIMIT);
    const std::size_t lineEnd = text.find("\r\n");
    if (lineEnd == std::string_view::npos) {
        return received.size() >= HEAD_LIMIT ? notCaster("its reply's first line does not end") : NtripReply();
    }
    const std::string_view line = text.substr(0, lineEnd);
    std::string_view protocol;
    std::string_view rest;
    int code = 0;
    if (!statusCode(line, protocol, code, rest) ||
        !(protocol == "ICY" || protocol == "SOURCETABLE" || protocol.starts_with("HTTP/"))) {
        return notCaster(shown(line));
    }
    if (code == 401) {
        return refused(lineEnd + 2, "401 Unauthorized");
    }
    if (code == 404 || (protocol == "SOURCETABLE" && code == 200 && !asked.empty())) {
        return refused(lineEnd + 2, NOT_FOUND);
    }
    if (code != 200) {
        return refused(lineEnd + 2, shown(rest));
    }
    NtripReply reply;
    if (protocol == "ICY") {
        reply.kind = NtripReply::STREAM;
        reply.headLength = lineEnd + 2 + (text.compare(lineEnd + 2, 2, "\r\n") == 0 ? 2 : 0);
        return reply;
    }
    const std::size_t headEnd = text.find("\r\n\r\n", lineEnd);
    if (headEnd == std::string_view::npos) {
        return received.size() >= HEAD_LIMIT ? notCaster("the head of its reply does not end") : NtripReply();
    }
    bool sourceTable = protocol == "SOURCETABLE";
    for (std::size_t start = lineEnd + 2; start < headEnd + 2;) {
        const std::size_t end = text.find("\r\n", start);
        const std::string_view header = text.substr(start, end - start);
        start = end + 2;
        const std::size_t colon = header.find(':');
        const std::string_view name = trimmed(header.substr(0, colon));
        const std::string_view value = colon == std::string_view::npos ? "" : trimmed(header.substr(colon + 1));
        if (sameText(name, "Content-Type")) {
            sourceTable = sourceTable || sameText(trimmed(value.substr(0, value.find(';'))), "gnss/sourcetable");
        } else if (sameText(name, "Transfer-Encoding")) {
            const std::size_t comma = value.rfind(',');
            reply.chunked = sameText(trimmed(comma == std::string_view::npos ? value : value.substr(comma + 1)),
                                     "chunked"); // the last coding applied
        }
    }
    if (sourceTable && !asked.empty()) {
        return refused(headEnd + 4, NOT_FOUND);
    }
    reply.kind = sourceTable ? NtripReply::SOURCE_TABLE : NtripReply::STREAM;
    reply.headLength = headEnd + 4;
    return reply;
}

bool ChunkedDecoder::feed(const char* bytes, std::size_t n, std::string& out) {
    for (std::size_t i = 0; i < n; ++i) {
        const char c = bytes[i];
        switch (state) {
        case State::SIZE: {
            const int digit = hexDigit(c);
            if (digit >= 0 && sizeDigits < 15 && remaining <= SIZE_MAX >> 4) {
                remaining = remaining << 4 | static_cast<std::size_t>(digit);
                ++sizeDigits;
            } else if (sizeDigits == 0 || (c != ';' && c != '\r')) {
                return false; // no size, a 16th digit (or one too many for size_t), or something else after it
            } else {
                state = c == ';' ? State::EXTENSION : State::SIZE_LF;
            }
            break;
        }
        case State::EXTENSION: // ignored up to the end of its line
            if (c == '\r') {
                state = State::SIZE_LF;
            } else if (c == '\n') {
                return false;
            }
            break;
        case State::SIZE_LF:
            if (c != '\n') {
                return false;
            }
            sizeDigits = 0;
            trailerLineEmpty = true;
            state = remaining == 0 ? State::TRAILER : State::DATA;
            break;
        case State::DATA: {
            const std::size_t take = std::min(remaining, n - i);
            out.append(bytes + i, take);
            remaining -= take;
            i += take - 1;
            if (remaining == 0) {
                state = State::DATA_CR;
            }
            break;
        }
        case State::DATA_CR:
            if (c != '\r') {
                return false;
            }
            state = State::DATA_LF;
            break;
        case State::DATA_LF:
            if (c != '\n') {
                return false;
            }
            state = State::SIZE;
            break;
        case State::TRAILER: // header lines, ignored, up to an empty one
            if (c == '\n') {
                if (trailerLineEmpty) {
                    state = State::ENDED;
                }
                trailerLineEmpty = true;
            } else if (c != '\r') {
                trailerLineEmpty = false;
            }
            break;
        case State::ENDED:
            return true; // what follows the last chunk is not the body's
        }
    }
    return true;
}

// A record without a mountpoint, or with fewer fields than up to the NMEA flag, is skipped.
std::vector<SourceTableStream> parseSourceTable(const std::string& body) {
    std::vector<SourceTableStream> streams;
    for (std::size_t start = 0; start < body.size();) {
        std::size_t end = body.find('\n', start);
        end = end == std::string::npos ? body.size() : end;
        std::string_view line = std::string_view(body).substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (trimmed(line) == "ENDSOURCETABLE") {
            break;
        }
        if (!line.starts_with("STR;")) {
            continue;
        }
        std::vector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            const std::size_t semicolon = line.find(';', from);
            fields.push_back(line.substr(from, semicolon - from));
            if (semicolon == std::string_view::npos) {
                break;
            }
            from = semicolon + 1;
        }
        if (fields.size() < 12 || fields[1].empty()) {
            continue;
        }
        streams.push_back({std::string(fields[1]), std::string(fields[2]), std::string(fields[3]),
                           std::string(fields[4]), std::string(fields[8]), number(fields[9]), number(fields[10]),
                           trimmed(fields[11]) == "1"});
    }
    return streams;
}

} // namespace veltaro
