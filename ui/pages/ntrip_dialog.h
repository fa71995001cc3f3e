#pragma once

#include "core/ntrip_protocol.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace veltaro {

// The caster, mountpoint and credentials a device takes its corrections from, as the user typed them.
struct NtripChoice {
    std::string host;
    std::string port = "2101";
    std::string mountpoint;
    std::string user;
    std::string password;
};

// Fetches a caster's source table for the dialog's "Streams..." button: false with problem set when it cannot.
using FetchSourceTable =
    std::function<bool(const NtripChoice& caster, std::vector<SourceTableStream>& streams, std::string& problem)>;

// Asks for an NTRIP caster, mountpoint and credentials, starting from those in choice. True when confirmed;
// choice then holds them.
bool showNtripDialog(HWND owner, NtripChoice& choice, const FetchSourceTable& fetch);

} // namespace veltaro
