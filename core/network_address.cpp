#include "core/network_address.h"

#include "core/plain_text.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace veltaro {

namespace {

constexpr const char* FORMS = "tcp://HOST:PORT, udp://:PORT or HOST:PORT";

bool refuse(std::string& problem, std::string sentence) {
    problem = std::move(sentence);
    return false;
}

// Splits "HOST:PORT" or "[IPV6]:PORT"; the host may be empty (the callers judge that). form is the shape the
// user is shown when the port is missing.
bool splitHostPort(std::string_view text, std::string& host, std::uint16_t& port, std::string& problem,
                   std::string_view form) {
    std::string_view hostText;
    std::string_view rest; // ":PORT", or less when the port is missing
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return refuse(problem, "The IPv6 address has no closing bracket: [ADDRESS]:PORT.");
        }
        hostText = text.substr(1, close - 1);
        rest = text.substr(close + 1);
        if (!rest.empty() && rest.front() != ':') {
            return refuse(problem, "An IPv6 address in brackets is followed by its port: [ADDRESS]:PORT.");
        }
    } else {
        const std::size_t colon = text.rfind(':');
        hostText = text.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : text.substr(colon);
        if (hostText.find(':') != std::string_view::npos) {
            return refuse(problem, "An IPv6 address goes in brackets: [ADDRESS]:PORT, e.g. [::1]:10110.");
        }
    }
    if (rest.size() <= 1) {
        return refuse(problem, "The address needs a port: " + std::string(form) + ".");
    }
    const auto badHostByte = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == 0x7F; };
    if (std::any_of(hostText.begin(), hostText.end(), badHostByte)) {
        return refuse(problem, "The host \"" + std::string(hostText) + "\" has a space or control character in it.");
    }
    if (!parsePort(std::string(rest.substr(1)), port, problem)) {
        return false;
    }
    host = hostText;
    return true;
}

} // namespace

bool parsePort(const std::string& text, std::uint16_t& port, std::string& problem) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) {
        return refuse(problem, "The port \"" + text + "\" is not a number: it must be one from 1 to 65535.");
    }
    unsigned long value = 0;
    for (const char c : text) {
        value = std::min(value * 10 + static_cast<unsigned long>(c - '0'), 65536UL); // no overflow, however long
    }
    if (value < 1 || value > 65535) {
        return refuse(problem, "The port must be a number from 1 to 65535, not " + text + ".");
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool parseHostPort(const std::string& text, std::string& host, std::uint16_t& port, std::string& problem) {
    const std::string_view address = trimmed(text, true);
    if (address.empty()) {
        return refuse(problem, "The address is empty: it is written HOST:PORT.");
    }
    std::string name;
    if (!splitHostPort(address, name, port, problem, "HOST:PORT")) {
        return false;
    }
    if (name.empty()) {
        return refuse(problem, "The address needs a host: HOST:PORT.");
    }
    host = std::move(name);
    return true;
}

bool parseSourceAddress(const std::string& text, NetworkAddress& address, std::string& problem) {
    std::string_view rest = trimmed(text, true);
    if (rest.empty()) {
        return refuse(problem, std::string("The address is empty: it is written ") + FORMS + ".");
    }
    Transport transport = Transport::TCP;
    std::string_view form = "HOST:PORT";
    const std::size_t schemeEnd = rest.find("://");
    if (schemeEnd != std::string_view::npos) {
        const std::string_view scheme = rest.substr(0, schemeEnd);
        if (sameText(scheme, "udp")) {
            transport = Transport::UDP;
            form = "udp://:PORT";
        } else if (sameText(scheme, "tcp")) {
            form = "tcp://HOST:PORT";
        } else {
            return refuse(problem, "\"" + std::string(scheme) +
                                       "://\" is not a kind of address Veltaro reads: " + "it takes " + FORMS + ".");
        }
        rest = rest.substr(schemeEnd + 3);
    }
    std::string host;
    std::uint16_t port = 0;
    if (!splitHostPort(rest, host, port, problem, form)) {
        return false;
    }
    if (transport == Transport::UDP && !host.empty()) {
        return refuse(problem, "A UDP source listens on a port of this computer and takes datagrams from any "
                               "sender, so it has no host: write udp://:PORT, e.g. \"udp://:10110\".");
    }
    if (transport == Transport::TCP && host.empty()) {
        return refuse(problem, "A TCP source needs a host: tcp://HOST:PORT.");
    }
    address = {transport, std::move(host), port};
    return true;
}

// A UDP listener's host is not written: it has none.
std::string addressText(const NetworkAddress& address) {
    const std::string port = std::to_string(address.port);
    if (address.transport == Transport::UDP) {
        return "udp://:" + port;
    }
    const bool v6 = address.host.find(':') != std::string::npos;
    return "tcp://" + (v6 ? "[" + address.host + "]" : address.host) + ":" + port;
}

} // namespace veltaro
