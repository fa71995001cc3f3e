#include "ui/views/fix_readout.h"

#include "ui/framework/gdi_owners.h"
#include "ui/framework/utf8_text.h"
#include "ui/views/age_caption.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

namespace veltaro {

namespace {

constexpr int MARGIN = 4; // at 96 DPI
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

// A length in metres to as many decimals as sent, within limits: "36.3017".
std::string metres(double value, Decimals sent, int least, int most) {
    return printed("%.*f", std::clamp<int>(sent, least, most), value);
}

// A DOP as receivers send it: up to two decimals, at least one; one from 10 and none from 100, so the DOP line
// fits its column.
std::string dop(double value) {
    const double size = std::abs(value);
    std::string text = printed("%.*f", size < 9.995 ? 2 : size < 99.95 ? 1 : 0, value);
    if (size < 9.995 && text.back() == '0') {
        text.pop_back();
    }
    return text;
}

std::string fixTypeName(const GpsState& state) {
    if (!has(state, RECEIVED_FIX_TYPE)) {
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

// How many satellite systems the latest GSA lists use, while every system is read.
int systemsUsed(const GpsState& state) {
    return static_cast<int>(std::count_if(std::begin(state.usedBySystem), std::end(state.usedBySystem),
                                          [](std::int32_t used) { return used > 0; }));
}

std::string qualityName(const GpsState& state) {
    if (!has(state, RECEIVED_QUALITY)) {
        return NOTHING;
    }
    const int quality = state.fixQuality;
    if (quality == 1 && state.everySystem != 0 && systemsUsed(state) > 1) {
        return "GNSS"; // a fix from several systems is no GPS fix
    }
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

// Satellites used: every system's GSA lists while every system is read, else GGA's field.
std::string usedText(const GpsState& state) {
    if (state.everySystem != 0 && state.usedAllSystems > 0) {
        return std::to_string(state.usedAllSystems);
    }
    return has(state, RECEIVED_SATS_USED) ? printed("%.0f", state.satsUsed) : NOTHING;
}

std::string dopLine(const GpsState& state) {
    if (!has(state, RECEIVED_GSA)) {
        return "DOP --";
    }
    const auto value = [&](Received bit, double dilution) { return has(state, bit) ? dop(dilution) : NOTHING; };
    return "DOP H " + value(RECEIVED_GSA_HDOP, state.gsaHdop) + " P " + value(RECEIVED_PDOP, state.pdop) + " V " +
           value(RECEIVED_VDOP, state.vdop);
}

// "Error N2.4 E3.5 U14 m", in centimetres when every error is below a metre (RTK: "Error N1.2 E1.5 U31 cm"),
// each with one decimal below 10 units and none above: the line fits the column and keeps what matters. An
// error of a kilometre or more is no estimate of a fix (receivers without one send such values).
std::string errorLine(const GpsState& state) {
    const double errors[] = {state.errorNorth, state.errorEast, state.errorUp};
    const auto shown = [](double error) { return !std::isnan(error) && std::abs(error) < 1000; };
    bool centimetres = std::any_of(std::begin(errors), std::end(errors), shown);
    for (double error : errors) {
        centimetres = centimetres && (!shown(error) || std::abs(error) < 1);
    }
    std::string line = "Error";
    for (int i = 0; i < 3; ++i) {
        const double value = errors[i] * (centimetres ? 100 : 1);
        line += std::string(" ") + "NEU"[i] +
                (shown(errors[i]) ? printed("%.*f", std::abs(value) < 9.95 ? 1 : 0, value) : NOTHING);
    }
    return line + (centimetres ? " cm" : " m");
}

// "Used G8 R3 E3 C6": the satellites each system's latest GSA lists, four systems a line so each fits.
std::string usedBySystemLines(const GpsState& state) {
    std::string lines;
    int onLine = 0;
    for (int i = 0; i < 7; ++i) {
        if (state.usedBySystem[i] > 0) {
            lines += (onLine % 4 == 0 ? (onLine == 0 ? "Used" : "\r\nUsed") : "") +
                     printed(" %c%d", SYSTEM_LETTERS[i], state.usedBySystem[i]);
            ++onLine;
        }
    }
    return lines;
}

} // namespace

// Degrees and minutes from hundredths of a degree, to as many decimals of a minute as the receiver sent (4 to
// 8); minutes that round to 60 carry into the degrees, so 59.99999' reads 1 degree on.
std::string angleText(double hundredths, Decimals sent, int degreeDigits, char positive, char negative) {
    const int decimals = std::clamp<int>(sent, 4, 8);
    long long unit = 1; // a step of the last decimal, in the minute's smallest unit
    for (int i = 0; i < decimals; ++i) {
        unit *= 10;
    }
    const long long steps = std::llround(std::abs(hundredths) / 100.0 * 60.0 * static_cast<double>(unit));
    return printed("%0*lld\xC2\xB0%02lld.%0*lld' %c", degreeDigits, steps / (60 * unit), steps % (60 * unit) / unit,
                   decimals, steps % unit, hundredths < 0 ? negative : positive);
}

std::string readoutText(const GpsState& state) {
    std::string text;
    const std::string age = ageText(state);
    if (!age.empty()) {
        text = age + "\r\n";
    }
    const bool fix = has(state, RECEIVED_FIX);
    const bool altitude = has(state, RECEIVED_ALTITUDE);
    const bool separation = has(state, RECEIVED_SEPARATION);
    text += utcLine(state) + "\r\n";
    text += "Lat " + (fix ? angleText(state.fixLatitude, state.latitudeDecimals, 2, 'N', 'S') : NOTHING) + "\r\n";
    text += "Lon " + (fix ? angleText(state.fixLongitude, state.longitudeDecimals, 3, 'E', 'W') : NOTHING) + "\r\n";
    text +=
        "Alt " +
        (altitude ? metres(state.altitude, state.altitudeDecimals, 1, 4) + (separation ? " m MSL" : " m") : NOTHING) +
        "\r\n";
    text += "Fix " + fixTypeName(state) + " (" + qualityName(state) + ")\r\n";
    text += "Sats " + usedText(state) + " used, " +
            (has(state, RECEIVED_GSV)
                 ? std::to_string(state.everySystem != 0 ? state.allSystems.count : state.satellites.inView)
                 : NOTHING) +
            " in view\r\n";
    text += dopLine(state);
    // Lines beyond the seven, each once its data has come.
    if (fix && state.reportsNoFix()) {
        text += "\r\nLast fix " + std::to_string(state.fixAgeSeconds) + " s ago";
    }
    if (state.everySystem != 0 && state.usedAllSystems > 0) {
        text += "\r\n" + usedBySystemLines(state);
    }
    if (altitude && separation) {
        const Decimals decimals = std::max(state.altitudeDecimals, state.separationDecimals);
        text += "\r\nEllipsoid " + metres(state.altitude + state.separation, decimals, 1, 4) + " m";
    }
    if (has(state, RECEIVED_GST)) {
        text += "\r\n" + errorLine(state);
    }
    return text;
}

FixReadout::FixReadout(ContainerPane* parent, bool ownedByParent, const SharedGdi& gdi)
    : LeafView(parent, ownedByParent, gdi, {0, "", true, true, 0}) {}

void FixReadout::refresh() {
    if (hwnd == nullptr || data == nullptr) {
        return;
    }
    const std::string text = readoutText(*static_cast<const GpsState*>(data));
    char shown[512] = "";
    GetWindowTextA(hwnd, shown, sizeof shown);
    if (text != shown) {
        SetWindowTextA(hwnd, text.c_str());
    }
    LeafView::refresh();
}

bool FixReadout::describe(HDC dc, int w, int h, std::vector<PicturePart>& parts) const {
    parts.push_back({{0, 0, w, h}, 0}); // the face
    if (data == nullptr) {
        return true;
    }
    SelectedObject font(dc, gdi.guiFont);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    int y = gdi.scaled(MARGIN);
    // A line's own text decides its pixels: a readout where one value changed repaints that line.
    for (const std::string& line : splitLines(readoutText(*static_cast<const GpsState*>(data)))) {
        parts.push_back({{0, y, w, y + metrics.tmHeight}, LookDigest().add(line).value()});
        y += metrics.tmHeight;
    }
    return true;
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
    int y = gdi.scaled(MARGIN);
    for (const std::string& line : splitLines(readoutText(*static_cast<const GpsState*>(data)))) {
        textOut(dc, gdi.scaled(MARGIN), y, line);
        y += metrics.tmHeight;
    }
}

} // namespace veltaro
