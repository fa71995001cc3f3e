#include "ui/views/signals_page.h"

#include "gps/every_system.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <set>
#include <tuple>
#include <utility>

namespace veltaro {

namespace {

enum Column : int { SYSTEM, SAT, SIGNAL, CN0, ELEVATION, AZIMUTH, USED };

const char* systemName(char system) {
    switch (system) {
    case 'G':
        return "GPS";
    case 'R':
        return "GLONASS";
    case 'E':
        return "Galileo";
    case 'C':
        return "BeiDou";
    case 'J':
        return "QZSS";
    case 'I':
        return "NavIC";
    case 'S':
        return "SBAS";
    }
    return "";
}

int systemRank(char system) {
    const char* at = system != '\0' ? std::strchr(SYSTEM_LETTERS, system) : nullptr;
    return at != nullptr ? static_cast<int>(at - SYSTEM_LETTERS) : 7;
}

std::string label(const SignalRow& row) {
    return row.labelsSystem ? row.system + std::to_string(row.prn) : std::to_string(row.prn);
}

bool listed(const std::int32_t (&usedPrn)[USED_PRN_COUNT], std::int32_t prn) {
    return std::find(std::begin(usedPrn), std::end(usedPrn), prn) != std::end(usedPrn);
}

} // namespace

std::vector<SignalRow> signalRows(const GpsState& state) {
    std::vector<SignalRow> rows;
    if (state.everySystem != 0) {
        const SignalTable& table = state.signals;
        for (int i = 0; i < std::clamp(table.count, 0, MAX_SIGNALS); ++i) {
            rows.push_back({table.system[i], table.prn[i], table.signal[i], table.snr[i], table.elevation[i],
                            table.azimuth[i], table.used[i] != 0, true});
        }
        return rows;
    }
    const SatelliteTable& gps = state.satellites;
    for (int i = 0; i < std::clamp(gps.inView, 0, MAX_SATELLITES); ++i) {
        char system = 'G';
        std::int32_t prn = 0;
        identifySatellite('G', gps.prn[i], system, prn);
        rows.push_back({system, prn, state.gpsSignal, gps.snr[i], gps.elevation[i], gps.azimuth[i],
                        listed(state.usedPrn, gps.prn[i]), false});
    }
    return rows;
}

std::string signalName(char system, std::int32_t signal) {
    if (signal < 0) {
        return "L1";
    }
    struct Name {
        const char* systems;
        std::int32_t signal;
        const char* name;
    };
    const Name NAMES[] = {
        {"GJ", 1, "L1 C/A"}, {"GJ", 5, "L2 CM"}, {"GJ", 6, "L2 CL"}, {"GJ", 7, "L5 I"}, {"GJ", 8, "L5 Q"},
        {"R", 1, "G1 C/A"},  {"R", 3, "G2 C/A"}, {"E", 1, "E5a"},    {"E", 2, "E5b"},   {"E", 7, "E1 B/C"},
        {"C", 1, "B1I"},     {"C", 3, "B1C"},    {"C", 5, "B2a"},    {"C", 11, "B2I"},
    };
    for (const Name& name : NAMES) {
        if (name.signal == signal && system != '\0' && std::strchr(name.systems, system) != nullptr) {
            return name.name;
        }
    }
    return std::to_string(signal);
}

std::string signalSummary(const std::vector<SignalRow>& rows, const GpsState& state) {
    std::set<std::pair<char, std::int32_t>> satellites;
    std::set<std::pair<char, std::int32_t>> used;
    std::vector<std::pair<std::pair<char, std::int32_t>, std::int32_t>> strongest; // each satellite's best
    for (const SignalRow& row : rows) {
        const auto satellite = std::make_pair(row.system, row.prn);
        satellites.insert(satellite);
        if (row.used) {
            used.insert(satellite);
        }
        auto at = std::find_if(strongest.begin(), strongest.end(), [&](const auto& s) { return s.first == satellite; });
        if (at == strongest.end()) {
            strongest.emplace_back(satellite, row.snr);
        } else {
            at->second = std::max(at->second, row.snr);
        }
    }
    // While every system is read, each system's GSA counts its used satellites, heard or not.
    const std::size_t usedCount = state.everySystem != 0 ? static_cast<std::size_t>(state.usedAllSystems) : used.size();
    std::string text = std::to_string(satellites.size()) + " satellites, " + std::to_string(rows.size()) +
                       " signals, " + std::to_string(usedCount) + " used";
    std::vector<std::int32_t> heard;
    for (const auto& s : strongest) {
        if (s.second > 0) {
            heard.push_back(s.second);
        }
    }
    std::sort(heard.begin(), heard.end(), std::greater<>());
    const std::size_t n = std::min<std::size_t>(heard.size(), 4);
    if (n > 0) {
        double sum = 0;
        for (std::size_t i = 0; i < n; ++i) {
            sum += heard[i];
        }
        text += "; strongest " + std::to_string(n) + ": " + std::to_string(std::lround(sum / static_cast<double>(n))) +
                " dB-Hz on average";
    }
    return text;
}

SignalsPage::SignalsPage(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : ListPage(parent, ownedByParent, gdi,
               {{"System", 64, LVCFMT_LEFT},
                {"Sat", 48, LVCFMT_LEFT},
                {"Signal", 64, LVCFMT_LEFT},
                {"C/N0 dB-Hz", 76, LVCFMT_RIGHT},
                {"Elev", 44, LVCFMT_RIGHT},
                {"Azim", 44, LVCFMT_RIGHT},
                {"Used", 44, LVCFMT_LEFT}},
               0) {}

void SignalsPage::sortRows(std::vector<SignalRow>& table) const {
    const auto key = [this](const SignalRow& r) {
        const int byColumn = sortColumn == CN0         ? r.snr
                             : sortColumn == ELEVATION ? r.elevation
                             : sortColumn == AZIMUTH   ? r.azimuth
                             : sortColumn == USED      ? (r.used ? 1 : 0)
                             : sortColumn == SIGNAL    ? r.signal
                                                       : 0;
        // The system, number and signal order under the column's, so equal values keep a steady order.
        return std::make_tuple(sortColumn == SYSTEM || sortColumn == SAT ? systemRank(r.system) : 0, byColumn,
                               systemRank(r.system), r.prn, r.signal);
    };
    std::stable_sort(table.begin(), table.end(), [&](const SignalRow& a, const SignalRow& b) {
        return descending ? key(b) < key(a) : key(a) < key(b);
    });
}

void SignalsPage::update() {
    std::vector<SignalRow> fresh = data != nullptr ? signalRows(*static_cast<const GpsState*>(data)) : rows;
    sortRows(fresh);
    if (fresh.size() != rows.size()) {
        rows = std::move(fresh);
        setRowCount(static_cast<int>(rows.size()), false);
        InvalidateRect(list, nullptr, FALSE);
    } else {
        // Only the rows that changed are drawn again.
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!(rows[i] == fresh[i])) {
                rows[i] = fresh[i];
                SendMessageA(list, LVM_REDRAWITEMS, i, static_cast<LPARAM>(i));
            }
        }
    }
    if (data != nullptr) {
        const std::string text = signalSummary(rows, *static_cast<const GpsState*>(data));
        char shown[128] = "";
        GetWindowTextA(summary, shown, sizeof shown);
        if (text != shown) {
            SetWindowTextA(summary, text.c_str());
        }
    }
}

std::string SignalsPage::cellText(int row, int column) {
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        return "";
    }
    const SignalRow& r = rows[static_cast<std::size_t>(row)];
    switch (column) {
    case SYSTEM:
        return systemName(r.system);
    case SAT:
        return label(r);
    case SIGNAL:
        return signalName(r.system, r.signal);
    case CN0:
        return r.snr > 0 ? std::to_string(r.snr) : "--";
    case ELEVATION:
        return std::to_string(r.elevation);
    case AZIMUTH:
        return std::to_string(r.azimuth);
    default:
        return r.used ? "yes" : "";
    }
}

void SignalsPage::sortBy(int column) {
    descending = column == sortColumn ? !descending : false;
    sortColumn = column;
    sortRows(rows);
    InvalidateRect(list, nullptr, FALSE);
}

LRESULT SignalsPage::onListNotify(const NMHDR* header) {
    if (header->code == LVN_COLUMNCLICK) {
        sortBy(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
    }
    return 0;
}

} // namespace veltaro
