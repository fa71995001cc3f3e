#include "gps/every_system.h"

#include "gps/field_reader.h"
#include "gps/nmea.h"
#include "gps/value_ranges.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

namespace veltaro {

namespace {

constexpr int MAX_GSV_FIELDS = 4 + 4 * MAX_SATELLITES;

// The system a talker speaks for; '?' for the combined talker GN, whose satellites are told apart by
// their numbers; 0 for a talker this program does not read.
char talkerSystem(const char* name) {
    const char talker[] = {upperAscii(name[1]), upperAscii(name[2]), '\0'};
    const struct {
        const char* talker;
        char system;
    } TALKERS[] = {{"GP", 'G'}, {"GL", 'R'}, {"GA", 'E'}, {"GB", 'C'}, {"BD", 'C'},
                   {"GQ", 'J'}, {"QZ", 'J'}, {"GI", 'I'}, {"GN", '?'}};
    for (const auto& t : TALKERS) {
        if (std::strcmp(talker, t.talker) == 0) {
            return t.system;
        }
    }
    return 0;
}

// A signal ID as NMEA 4.11 sends it: one hexadecimal digit (BeiDou's B2I is "B"); -1 for an empty field, which
// some receivers send in its place.
std::int32_t parseSignalId(const char* field, int n) {
    if (n == 0) {
        return -1;
    }
    if (n == 1 && field[0] >= 'A' && field[0] <= 'F') {
        return field[0] - 'A' + 10;
    }
    return parseDecimal(field, n);
}

// The system of a GSA's system ID (NMEA 4.10); 0 for none known.
char idSystem(int id) {
    return id >= 1 && id <= 6 ? "GRECJI"[id - 1] : 0;
}

// A satellite number as a talker sends it, to its system and its number within that system. GPS talkers
// list SBAS (33-64) and QZSS (193-202) too; a combined talker's numbers tell the system by their range,
// and some receivers number Galileo from 301 and BeiDou from 401.
void identify(char talker, int number, char& system, std::int32_t& prn) {
    system = talker;
    prn = number;
    if (talker == '?') {
        system = number >= 65 && number <= 96 ? 'R' : number > 300 && number <= 400 ? 'E' : number > 400 ? 'C' : 'G';
    }
    if (system == 'G') {
        system = number >= 33 && number <= 64 ? 'S' : number >= 193 && number <= 202 ? 'J' : 'G';
    } else if (system == 'E' && number > 300) {
        prn = number - 300;
    } else if (system == 'C' && number > 400) {
        prn = number - 400;
    }
}

int systemRank(char system) {
    const char* at = std::strchr(SYSTEM_LETTERS, system);
    return at != nullptr && system != '\0' ? static_cast<int>(at - SYSTEM_LETTERS) : 7;
}

bool before(const SystemSatellites& all, int a, int b) {
    const int rankA = systemRank(all.system[a]);
    const int rankB = systemRank(all.system[b]);
    return rankA != rankB ? rankA < rankB : all.prn[a] < all.prn[b];
}

void swapEntries(SystemSatellites& all, int a, int b) {
    std::swap(all.system[a], all.system[b]);
    std::swap(all.prn[a], all.prn[b]);
    std::swap(all.elevation[a], all.elevation[b]);
    std::swap(all.azimuth[a], all.azimuth[b]);
    std::swap(all.snr[a], all.snr[b]);
}

bool isUsed(const SystemCycles& cycles, char system, std::int32_t prn) {
    for (int i = 0; i < cycles.usedCount; ++i) {
        const SystemCycles::UsedList& list = cycles.used[i];
        for (int k = 0; k < list.count; ++k) {
            if (list.system[k] == system && list.prn[k] == prn) {
                return true;
            }
        }
    }
    return false;
}

bool signalBefore(const SignalTable& table, int a, int b) {
    const int rankA = systemRank(table.system[a]);
    const int rankB = systemRank(table.system[b]);
    if (rankA != rankB) {
        return rankA < rankB;
    }
    return table.prn[a] != table.prn[b] ? table.prn[a] < table.prn[b] : table.signal[a] < table.signal[b];
}

void swapSignals(SignalTable& table, int a, int b) {
    std::swap(table.system[a], table.system[b]);
    std::swap(table.prn[a], table.prn[b]);
    std::swap(table.signal[a], table.signal[b]);
    std::swap(table.snr[a], table.snr[b]);
    std::swap(table.elevation[a], table.elevation[b]);
    std::swap(table.azimuth[a], table.azimuth[b]);
    std::swap(table.used[a], table.used[b]);
}

// Every satellite and signal of the last complete cycles, once each.
void listSignals(SignalTable& table, const SystemCycles& cycles) {
    table = SignalTable{};
    for (int c = 0; c < cycles.cycleCount; ++c) {
        const SystemCycles::Cycle& cycle = cycles.cycles[c];
        for (int i = 0; i < cycle.complete && table.count < MAX_SIGNALS; ++i) {
            const SystemCycles::Sighting& s = cycle.last[i];
            int at = 0;
            while (at < table.count &&
                   !(table.system[at] == s.system && table.prn[at] == s.prn && table.signal[at] == cycle.signal)) {
                ++at;
            }
            if (at == table.count) {
                ++table.count;
            }
            table.system[at] = s.system;
            table.prn[at] = s.prn;
            table.signal[at] = cycle.signal;
            table.snr[at] = s.snr;
            table.elevation[at] = s.elevation;
            table.azimuth[at] = s.azimuth;
            table.used[at] = isUsed(cycles, s.system, s.prn) ? 1 : 0;
        }
    }
    for (int i = 1; i < table.count; ++i) {
        for (int j = i; j > 0 && signalBefore(table, j, j - 1); --j) {
            swapSignals(table, j, j - 1);
        }
    }
}

// The union of every system's and signal's last complete cycle: each satellite once, with its
// strongest signal.
void mergeSystems(GpsState& state, const SystemCycles& cycles) {
    SystemSatellites all;
    for (int c = 0; c < cycles.cycleCount; ++c) {
        const SystemCycles::Cycle& cycle = cycles.cycles[c];
        for (int i = 0; i < cycle.complete; ++i) {
            const SystemCycles::Sighting& s = cycle.last[i];
            int at = 0;
            while (at < all.count && !(all.system[at] == s.system && all.prn[at] == s.prn)) {
                ++at;
            }
            const bool added = at == all.count;
            if (added) {
                if (all.count == MAX_SYSTEM_SATELLITES) {
                    continue;
                }
                ++all.count;
                all.system[at] = s.system;
                all.prn[at] = s.prn;
            }
            if (added || s.snr > all.snr[at]) {
                all.elevation[at] = s.elevation;
                all.azimuth[at] = s.azimuth;
                all.snr[at] = s.snr;
            }
        }
    }
    for (int i = 1; i < all.count; ++i) {
        for (int j = i; j > 0 && before(all, j, j - 1); --j) {
            swapEntries(all, j, j - 1);
        }
    }
    for (int i = 0; i < all.count; ++i) {
        all.used[i] = isUsed(cycles, all.system[i], all.prn[i]) ? 1 : 0;
    }
    state.allSystems = all;
    listSignals(state.signals, cycles);
    // Used counts come from the GSA lists themselves: a satellite may be used before its GSV cycle comes.
    std::fill(std::begin(state.usedBySystem), std::end(state.usedBySystem), 0);
    state.usedAllSystems = 0;
    for (int i = 0; i < cycles.usedCount; ++i) {
        const SystemCycles::UsedList& list = cycles.used[i];
        for (int k = 0; k < list.count; ++k) {
            const int rank = systemRank(list.system[k]);
            if (rank < 7) {
                ++state.usedBySystem[rank];
                ++state.usedAllSystems;
            }
        }
    }
}

SystemCycles::Cycle* findCycle(SystemCycles& cycles, char talker, std::int32_t signal) {
    for (int c = 0; c < cycles.cycleCount; ++c) {
        if (cycles.cycles[c].talker == talker && cycles.cycles[c].signal == signal) {
            return &cycles.cycles[c];
        }
    }
    if (cycles.cycleCount == SystemCycles::MAX_CYCLES) {
        return nullptr;
    }
    SystemCycles::Cycle& added = cycles.cycles[cycles.cycleCount++];
    added.talker = talker;
    added.signal = signal;
    return &added;
}

// The cycle of a talker that waits for this message number, the one of the message's signal first; null for none.
SystemCycles::Cycle* waiting(SystemCycles& cycles, char talker, std::int32_t signal, int message) {
    SystemCycles::Cycle* found = nullptr;
    for (int c = 0; c < cycles.cycleCount; ++c) {
        SystemCycles::Cycle& cycle = cycles.cycles[c];
        if (cycle.talker == talker && cycle.next == message) {
            if (cycle.signal == signal) {
                return &cycle;
            }
            found = found != nullptr ? found : &cycle;
        }
    }
    return found;
}

// $GAGSV,3,1,10,03,44,149,40,05,42,071,39,08,08,190,,09,06,034,,7*74
//  1 messages in the cycle   2 this message's number   3 satellites in view
//  4.. groups of four: number, elevation, azimuth, SNR   last (NMEA 4.11): signal ID
// One cycle per system and signal; true when this message completed a cycle.
bool decodeSystemGsv(SystemCycles& cycles, char talker, const char* text, std::int64_t nowMs) {
    const char* fields[MAX_GSV_FIELDS];
    int lengths[MAX_GSV_FIELDS];
    int count = 0;
    FieldReader reader(text);
    while (count < MAX_GSV_FIELDS && reader.read(fields[count], lengths[count])) {
        ++count;
    }
    if (count < 3) {
        return false;
    }
    const int groupFields = count - 3;
    const std::int32_t signal = groupFields % 4 == 1 ? parseSignalId(fields[count - 1], lengths[count - 1]) : -1;
    const int total = parseDecimal(fields[0], lengths[0]);
    const int message = parseDecimal(fields[1], lengths[1]);
    const auto gather = [&](SystemCycles::Cycle& cycle) {
        for (int g = 3; g + 3 < count; g += 4) {
            if (lengths[g] == 0 || cycle.gathered >= MAX_SATELLITES) {
                continue; // an empty group fills a message up
            }
            SystemCycles::Sighting& s = cycle.gathering[cycle.gathered++];
            identify(talker, parseDecimal(fields[g], lengths[g]), s.system, s.prn);
            s.elevation = parseDecimal(fields[g + 1], lengths[g + 1]);
            s.azimuth = parseDecimal(fields[g + 2], lengths[g + 2]);
            s.snr = parseDecimal(fields[g + 3], lengths[g + 3]);
            refuseOutOfRange(s.elevation, s.azimuth, s.snr);
        }
        cycle.next = message + 1;
    };
    const auto complete = [&](SystemCycles::Cycle& cycle) {
        cycle.complete = cycle.gathered;
        cycle.completedMs = nowMs;
        cycle.next = 0;
        std::memcpy(cycle.last, cycle.gathering, sizeof cycle.last);
    };
    SystemCycles::Cycle* cycle =
        message == 1 ? findCycle(cycles, talker, signal) : waiting(cycles, talker, signal, message);
    if (cycle == nullptr || total < 1) {
        return false; // no room, or a message of a cycle whose start was lost
    }
    if (message == 1) {
        cycle->gathered = 0;
    } else if (cycle->signal != signal) {
        // Some receivers (Quectel LC79D) end a cycle of one signal with a message of another: the first is
        // complete as gathered, and the message starts the other signal's.
        complete(*cycle);
        cycle = findCycle(cycles, talker, signal);
        if (cycle == nullptr) {
            return true;
        }
        cycle->gathered = 0;
    }
    gather(*cycle);
    if (message == total) {
        complete(*cycle);
    }
    return true;
}

// $GNGSA,A,3,29,20,18,16,51,13,44,26,,,,,0.99,0.54,0.83,1*0E
//  3..14 numbers of the satellites used   18 (NMEA 4.10) system ID
// Each system's latest GSA replaces that system's list. Here a one-digit number is the number it is.
void recordUsed(SystemCycles& cycles, char talker, const char* text) {
    std::int32_t numbers[USED_PRN_COUNT];
    int count = 0;
    char key = talker == '?' ? 0 : talker;
    bool noFix = false;
    FieldReader reader(text);
    const char* field = nullptr;
    int n = 0;
    for (int number = 1; number <= 18 && reader.read(field, n); ++number) {
        if (number == 2) {
            noFix = n == 1 && field[0] == '1';
        } else if (number >= 3 && number <= 14 && n > 0) {
            numbers[count++] = parseDecimal(field, n);
        } else if (number == 18 && n > 0 && idSystem(parseDecimal(field, n)) != 0) {
            key = idSystem(parseDecimal(field, n));
        }
    }
    const char sender = key != 0 ? key : '?';
    SystemCycles::UsedList list;
    for (int i = 0; i < count; ++i) {
        identify(sender, numbers[i], list.system[i], list.prn[i]);
    }
    list.count = count;
    if (key == 0) {
        if (count == 0) {
            // A combined GSA with neither numbers nor system ID names no system; without a fix, though, no
            // system uses any satellite.
            cycles.usedCount = noFix ? 0 : cycles.usedCount;
            return;
        }
        key = list.system[0];
    }
    list.key = key;
    int at = 0;
    while (at < cycles.usedCount && cycles.used[at].key != key) {
        ++at;
    }
    if (at == cycles.usedCount) {
        if (cycles.usedCount == SystemCycles::MAX_USED_LISTS) {
            return;
        }
        ++cycles.usedCount;
    }
    cycles.used[at] = list;
}

} // namespace

void identifySatellite(char talker, int number, char& system, std::int32_t& prn) {
    identify(talker, number, system, prn);
}

char talkerSystemOf(const char* name) {
    return name[0] != '\0' && name[1] != '\0' ? talkerSystem(name) : 0;
}

int gsvSignalId(const char* fields) {
    FieldReader reader(fields);
    const char* field = nullptr;
    const char* last = nullptr;
    int n = 0;
    int lastLength = 0;
    int count = 0;
    while (reader.read(field, n)) {
        last = field;
        lastLength = n;
        ++count;
    }
    // Three fields, groups of four, and one more: the signal ID of NMEA 4.10.
    return count >= 4 && (count - 3) % 4 == 1 ? parseSignalId(last, lastLength) : -1;
}

void readSystemGsv(GpsState& state, SystemCycles& cycles, char system, const char* fields, std::int64_t nowMs) {
    if (decodeSystemGsv(cycles, system, fields, nowMs)) {
        mergeSystems(state, cycles);
        state.received |= RECEIVED_GSV;
    }
}

void readSystemGsa(GpsState& state, SystemCycles& cycles, char system, const char* fields) {
    recordUsed(cycles, system, fields);
    mergeSystems(state, cycles);
}

void expireCycles(GpsState& state, SystemCycles& cycles, std::int64_t nowMs) {
    int kept = 0;
    for (int c = 0; c < cycles.cycleCount; ++c) {
        const SystemCycles::Cycle& cycle = cycles.cycles[c];
        // A cycle still being gathered for the first time has nothing shown yet, so it stays.
        if (cycle.completedMs == SystemCycles::NEVER || nowMs - cycle.completedMs <= SystemCycles::CYCLE_LIFETIME_MS) {
            if (kept != c) {
                cycles.cycles[kept] = cycle;
            }
            ++kept;
        }
    }
    if (kept != cycles.cycleCount) {
        for (int c = kept; c < cycles.cycleCount; ++c) {
            cycles.cycles[c] = SystemCycles::Cycle{};
        }
        cycles.cycleCount = kept;
        mergeSystems(state, cycles);
    }
}

} // namespace veltaro
