#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veltaro {

// What a client asks an NTRIP caster for: a mountpoint's stream, or with an empty mountpoint the source table.
struct NtripRequest {
    std::string host;
    std::uint16_t port = 2101;
    std::string mountpoint; // without the leading '/'
    std::string user;       // no Authorization header when both user and password are empty
    std::string password;
};

// The request's bytes: an NTRIP 2.0 request ("GET /MOUNT HTTP/1.1", Host, "Ntrip-Version: Ntrip/2.0",
// User-Agent "NTRIP Veltaro/<version>", Basic authorization, "Connection: close"), which NTRIP 1.0 casters
// answer in their own way too.
std::string ntripRequestText(const NtripRequest& request);

// Base64 of bytes, as HTTP Basic authorization takes "user:password".
std::string base64(const std::string& bytes);

// How a caster answered, once its head is complete.
struct NtripReply {
    enum Kind {
        INCOMPLETE,   // the head has not all come yet
        STREAM,       // "ICY 200 OK" (1.0) or "HTTP/1.x 200" (2.0): corrections follow the head
        SOURCE_TABLE, // "SOURCETABLE 200 OK", or a 2.0 200 whose Content-Type is gnss/sourcetable
        REFUSED,      // anything else
    };
    Kind kind = INCOMPLETE;
    std::size_t headLength = 0; // bytes of the head, its blank line included: the body starts here (a refusal is
                                // read from the status line alone; headLength is then at least that line's, or 0)
    bool chunked = false;       // "Transfer-Encoding: chunked" (2.0)
    // For REFUSED, what the user reads: "401 Unauthorized", "mountpoint not found" (a 404, or a 1.0 caster that
    // answers an unknown mountpoint with its source table), or the status line's code and text as sent.
    std::string refusal;
};

// Reads the head of what a caster sent so far. asked is the mountpoint asked for ("" for the source table): a
// source table sent in answer to a mountpoint means the caster does not know it. "ICY 200 OK\r\n" ends its head
// at once: a "\r\n" right after it is skipped only if it has already come, else it is kept in the body. A head
// that has not ended within 16 KiB is refused as not a caster's.
NtripReply readNtripReply(const std::string& received, const std::string& asked);

// Takes an HTTP chunked body apart as it arrives, in pieces of any size.
class ChunkedDecoder {
public:
    // Appends the data bytes of what arrived to out; false when the framing is broken (the stream is then
    // unusable: feed no more), true at the last chunk too (ended() says so; bytes after it are ignored).
    bool feed(const char* bytes, std::size_t n, std::string& out);
    bool ended() const { return state == State::ENDED; }

private:
    enum class State { SIZE, EXTENSION, SIZE_LF, DATA, DATA_CR, DATA_LF, TRAILER, ENDED };
    State state = State::SIZE;
    std::size_t remaining = 0; // data bytes left in the current chunk
    int sizeDigits = 0;
    bool trailerLineEmpty = true;
};

// One stream ("STR" record) of a caster's source table.
struct SourceTableStream {
    std::string mountpoint;
    std::string identifier;    // usually the place
    std::string format;        // "RTCM 3.2"
    std::string formatDetails; // "1004(1),1005(10),..."
    std::string country;       // ISO 3166 code
    double latitude = 0;
    double longitude = 0;
    bool needsPosition = false; // NMEA flag 1: the caster wants the client's GGA (a virtual reference station)
};

// The streams of a source table's text (the body after the head, "ENDSOURCETABLE" ending it); records of other
// kinds (CAS, NET) and malformed ones are skipped.
std::vector<SourceTableStream> parseSourceTable(const std::string& body);

} // namespace veltaro
