#include "gps/sentence_table.h"

#include "gps/field_reader.h"
#include "gps/more_sentences.h"
#include "gps/nmea.h"

#include <cstring>

namespace veltaro {

namespace {

constexpr std::size_t NAME_LENGTH = 6; // "$", a talker of two letters, a sentence of three

bool gga(SentenceContext& c, const char* fields) {
    return decodeGga(c.state, fields);
}

bool rmc(SentenceContext& c, const char* fields) {
    return decodeRmc(c.state, fields);
}

bool gns(SentenceContext& c, const char* fields) {
    return decodeGns(c.state, fields);
}

bool gsa(SentenceContext& c, const char* fields) {
    decodeGsa(c.state, fields);
    if (c.cycles != nullptr) {
        readSystemGsa(c.state, *c.cycles, c.system, fields);
    }
    return false;
}

bool gsv(SentenceContext& c, const char* fields) {
    // The GPS table of the single-system views holds one signal: L1 C/A, or all signals in one (ID 0). The
    // default reading refuses the others before they get here.
    if (c.system == 'G' && (c.cycles == nullptr || gsvSignalId(fields) <= 1)) {
        decodeGsv(c.state, c.working, fields);
    }
    if (c.cycles != nullptr) {
        readSystemGsv(c.state, *c.cycles, c.system, fields, c.nowMs);
    }
    return false;
}

bool vtg(SentenceContext& c, const char* fields) {
    decodeVtg(c.state, fields);
    return false;
}

bool zda(SentenceContext& c, const char* fields) {
    decodeZda(c.state, fields);
    return false;
}

bool gst(SentenceContext& c, const char* fields) {
    decodeGst(c.state, fields);
    return false;
}

// Every sentence read: a new one is one row.
const SentenceType SENTENCES[] = {
    {"GGA", KIND_FIX, true, true, gga},          {"RMC", KIND_FIX, true, true, rmc},
    {"GNS", KIND_FIX, false, true, gns},         {"GSA", KIND_FIX, true, false, gsa},
    {"GSV", KIND_SATELLITES, true, false, gsv},  {"VTG", KIND_FIX, false, false, vtg},
    {"ZDA", KIND_ANY_TALKER, false, false, zda}, {"GST", KIND_ANY_TALKER, false, false, gst},
};

} // namespace

const SentenceType* findSentence(const char* name, char& system) {
    system = 0;
    if (name[0] != '$' || std::strlen(name) != NAME_LENGTH) {
        return nullptr;
    }
    system = talkerSystemOf(name);
    if (system == 0) {
        return nullptr;
    }
    for (const SentenceType& row : SENTENCES) {
        if (equalsIgnoringCase(name + 3, row.type)) {
            return &row;
        }
    }
    return nullptr;
}

bool decodeEverySystem(GpsState& state, SatelliteTable& working, SystemCycles& cycles, char* line, int count,
                       std::int64_t nowMs) {
    if (count <= 0 || line[0] != '$') {
        return false;
    }
    const char* fields = splitSentence(line, count);
    SentenceContext context{state, working, &cycles, 0, nowMs};
    const SentenceType* row = findSentence(line, context.system);
    return row != nullptr && row->decode(context, fields);
}

} // namespace veltaro
