#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro {

// An echo output of a live device.
struct EchoSetup {
    std::string port;
    std::uint32_t baud = 0;

    bool operator==(const EchoSetup&) const = default;
};

// "Read every satellite system" as the user left it.
enum class EverySystemChoice : std::uint8_t { NOT_CHOSEN, ON, OFF };

// How a live device was last started, kept for the next time.
struct SavedSetup {
    std::string port;       // UTF-8, as the port list names it; tells setups apart, whatever its case
    std::uint32_t baud = 0; // 0: found automatically
    EverySystemChoice everySystem = EverySystemChoice::NOT_CHOSEN;
    std::string logPath; // UTF-8; empty: no log
    std::vector<EchoSetup> echoes;
    bool startAtLaunch = false;
    std::int64_t lastUsed = 0;                // seconds since 1970
    std::vector<std::uint16_t> tcpServers;    // TCP ports its stream is served on
    std::vector<std::string> udpDestinations; // HOST:PORT its stream is sent to over UDP

    bool operator==(const SavedSetup&) const = default;
};

// Where and why a saved text cannot be read.
struct SetupsDamage {
    int line = 0; // from 1; 0 when it is not one line's fault
    const char* reason = "";
};

constexpr std::size_t MOST_SETUPS = 20;

// The setups as INI text a person can read and edit, in their order. False without the memory for it.
bool renderSetups(const std::vector<SavedSetup>& setups, std::string& text);
// Reads back a text renderSetups wrote, or one edited by hand. False when it is damaged: nothing is guessed.
bool parseSetups(std::string_view text, std::vector<SavedSetup>& setups, SetupsDamage& damage);

// Whether two port names are the same port: Windows ignores case in them.
bool samePort(std::string_view a, std::string_view b);
// Puts setup first, in place of the one for its port, and keeps the MOST_SETUPS most recent. False, with the
// list unchanged, without the memory for it.
bool remember(std::vector<SavedSetup>& setups, SavedSetup setup);
void forget(std::vector<SavedSetup>& setups, std::string_view port);

} // namespace veltaro
