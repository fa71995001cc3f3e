#include "ui/views/fix_readout.h"

#include "ui/framework/gdi_owners.h"
#include "ui/views/age_caption.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace veltaro {

namespace {

constexpr int MARGIN = 4;
constexpr const char* NOTHING = "--";
constexpr const char* QUALITY_NAMES[] = {"invalid",   "GPS",       "DGPS",   "PPS",      "RTK fixed",
                                         "RTK float", "estimated", "manual", "simulated"};

bool has(const GpsState& state, Received what) {
    return (state.received & what) != 0;
}

std::string printed(const char* pattern, auto... values) {
    char text[100];
    std::snprintf(text, sizeof text, pattern, values...);
    return text;
}

// Degrees and minutes to four decimals from hundredths of a degree; minutes that round to 60 carry into
// the degrees, so 59.99999' reads 1 degree on.
std::string angle(double hundredths, int degreeDigits, char positive, char negative) {
    const long long steps = std::llround(std::abs(hundredths) / 100.0 * 600000.0); // 1/10000 minute
    return printed("%0*lld\xB0%02lld.%04lld' %c", degreeDigits, steps / 600000, steps % 600000 / 10000, steps % 10000,
                   hundredths < 0 ? negative : positive);
}

// A DOP as receivers send it: up to two decimals, at least one.
std::string dop(double value) {
    std::string text = printed("%.2f", value);
    if (text.back() == '0') {
        text.pop_back();
    }
    return text;
}

std::string fixTypeName(const GpsState& state) {
    if (!has(state, RECEIVED_GSA)) {
        return NOTHING;
    }
    switch (state.fixType) {
    case 1:
        return "none";
    case 2:
        return "2D";
    case 3:
        return "3D";
    default:
        return std::to_string(state.fixType);
    }
}

std::string qualityName(const GpsState& state) {
    if (!has(state, RECEIVED_GGA)) {
        return NOTHING;
    }
    const int quality = state.fixQuality;
    return quality >= 0 && quality < static_cast<int>(std::size(QUALITY_NAMES)) ? QUALITY_NAMES[quality]
                                                                                : std::to_string(quality);
}

std::string utcLine(const GpsState& state) {
    const bool date = has(state, RECEIVED_DATE);
    const bool time = has(state, RECEIVED_TIME);
    if (!date && !time) {
        return "UTC --";
    }
    // Two-digit years: receivers of the last century still send 80 to 99.
    const int year = state.year + (state.year >= 80 && state.year <= 99 ? 1900 : 2000);
    return "UTC " + (date ? printed("%04d-%02d-%02d", year, state.month, state.day) : NOTHING) + " " +
           (time ? printed("%02d:%02d:%02d", state.hour, state.minute, state.second) : NOTHING);
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string::npos; end = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    lines.push_back(text.substr(start));
    return lines;
}

} // namespace

std::string readoutText(const GpsState& state) {
    std::string text;
    const std::string age = ageText(state);
    if (!age.empty()) {
        text = age + "\r\n";
    }
    const bool fix = has(state, RECEIVED_FIX);
    text += utcLine(state) + "\r\n";
    text += "Lat " + (fix ? angle(state.fixLatitude, 2, 'N', 'S') : NOTHING) + "\r\n";
    text += "Lon " + (fix ? angle(state.fixLongitude, 3, 'E', 'W') : NOTHING) + "\r\n";
    text += "Alt " + (has(state, RECEIVED_ALTITUDE) ? printed("%.1f m", state.altitude) : NOTHING) + "\r\n";
    text += "Fix " + fixTypeName(state) + " (" + qualityName(state) + ")\r\n";
    text += "Sats " + (has(state, RECEIVED_GGA) ? printed("%.0f", state.satsUsed) : NOTHING) + " used, " +
            (has(state, RECEIVED_GSV)
                 ? std::to_string(state.everySystem != 0 ? state.allSystems.count : state.satellites.inView)
                 : NOTHING) +
            " in view\r\n";
    text += has(state, RECEIVED_GSA) ? "DOP H " + dop(state.gsaHdop) + " P " + dop(state.pdop) + " V " + dop(state.vdop)
                                     : std::string("DOP --");
    return text;
}

FixReadout::FixReadout(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "", true, true, 0}) {}

void FixReadout::refresh() {
    if (hwnd == nullptr || data == nullptr) {
        return;
    }
    // Updates come up to 25 times a second: only a changed text is set and repainted.
    const std::string text = readoutText(*static_cast<const GpsState*>(data));
    char shown[512] = "";
    GetWindowTextA(hwnd, shown, sizeof shown);
    if (text != shown) {
        SetWindowTextA(hwnd, text.c_str());
        InvalidateRect(hwnd, nullptr, FALSE);
    }
}

void FixReadout::draw(HDC dc, int w, int h) {
    const RECT client{0, 0, w, h};
    FillRect(dc, &client, gdi.faceBrush);
    if (data == nullptr) {
        return;
    }
    SelectedObject font(dc, gdi.guiFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    int y = MARGIN;
    for (const std::string& line : splitLines(readoutText(*static_cast<const GpsState*>(data)))) {
        TextOutA(dc, MARGIN, y, line.c_str(), static_cast<int>(line.size()));
        y += metrics.tmHeight;
    }
}

} // namespace veltaro
