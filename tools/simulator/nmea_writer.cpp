#include "tools/simulator/nmea_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace veltaro::sim {

namespace {

std::string coordinateFields(double degrees, int degreeDigits, char positive, char negative) {
    // Rounded once, in ten-thousandths of a minute, so that 59.99996' carries into the degrees
    // instead of printing as 60.0000.
    const long long units = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
    const long long minutes = units % 600000;
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degreeDigits, units / 600000, minutes / 10000,
                  minutes % 10000, degrees < 0 && units != 0 ? negative : positive);
    return text;
}

// hhmmss.00
std::string timeField(std::chrono::sys_seconds time) {
    const std::chrono::hh_mm_ss clock(time - std::chrono::floor<std::chrono::days>(time));
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d%02d.00", static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()), static_cast<int>(clock.seconds().count()));
    return text;
}

// ddmmyy
std::string dateField(std::chrono::sys_seconds time) {
    const std::chrono::year_month_day date(std::chrono::floor<std::chrono::days>(time));
    char text[16];
    std::snprintf(text, sizeof text, "%02u%02u%02d", static_cast<unsigned>(date.day()),
                  static_cast<unsigned>(date.month()), static_cast<int>(date.year()) % 100);
    return text;
}

// ddd.d in [0, 360): rounded first, so 359.96 reads 000.0 rather than 360.0.
std::string courseField(double course) {
    const long tenths = ((std::lround(course * 10.0) % 3600) + 3600) % 3600;
    char text[16];
    std::snprintf(text, sizeof text, "%03ld.%ld", tenths / 10, tenths % 10);
    return text;
}

} // namespace

unsigned checksum(std::string_view body) {
    unsigned sum = 0;
    for (char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    return sum;
}

std::string sentence(std::string_view body) {
    constexpr char HEX[] = "0123456789ABCDEF";
    const unsigned sum = checksum(body);
    std::string line = "$";
    line += body;
    line += '*';
    line += HEX[sum >> 4];
    line += HEX[sum & 0xF];
    line += "\r\n";
    return line;
}

std::string latitudeFields(double degrees) {
    return coordinateFields(degrees, 2, 'N', 'S');
}

std::string longitudeFields(double degrees) {
    return coordinateFields(degrees, 3, 'E', 'W');
}

// $GPGGA,123519.00,4807.0380,N,01131.0000,E,1,08,0.9,545.4,M,46.9,M,,*hh
//  time, latitude, longitude, fix quality 1 (GPS), satellites used, HDOP, altitude, geoid separation,
//  no differential age or station
std::string gga(const Fix& fix) {
    char body[128];
    std::snprintf(body, sizeof body, "GPGGA,%s,%s,%s,1,%02zu,%.1f,%.1f,M,%.1f,M,,", timeField(fix.time).c_str(),
                  latitudeFields(fix.latitude).c_str(), longitudeFields(fix.longitude).c_str(), fix.used.size(),
                  fix.hdop, fix.altitude, fix.geoidSeparation);
    return sentence(body);
}

// $GPRMC,123519.00,A,4807.0380,N,01131.0000,E,022.4,084.4,230394,,,A*hh
//  time, status A (valid), latitude, longitude, speed in knots, course, date ddmmyy,
//  no magnetic variation, mode A (autonomous)
std::string rmc(const Fix& fix) {
    char body[128];
    std::snprintf(body, sizeof body, "GPRMC,%s,A,%s,%s,%05.1f,%s,%s,,,A", timeField(fix.time).c_str(),
                  latitudeFields(fix.latitude).c_str(), longitudeFields(fix.longitude).c_str(), fix.speedKnots,
                  courseField(fix.course).c_str(), dateField(fix.time).c_str());
    return sentence(body);
}

// $GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1*hh
//  automatic mode, 3D fix, twelve PRN fields (empty when unused), PDOP, HDOP, VDOP
std::string gsa(const Fix& fix) {
    std::string body = "GPGSA,A,3";
    for (std::size_t i = 0; i < 12; ++i) {
        char field[8] = ",";
        if (i < fix.used.size()) {
            std::snprintf(field, sizeof field, ",%02d", fix.used[i]);
        }
        body += field;
    }
    char dops[48];
    std::snprintf(dops, sizeof dops, ",%.1f,%.1f,%.1f", fix.pdop, fix.hdop, fix.vdop);
    return sentence(body + dops);
}

// $GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*hh
//  messages in the cycle, this message's number, satellites in view, then PRN, elevation, azimuth
//  and SNR for up to four satellites
std::string gsv(const std::vector<Satellite>& inView) {
    const std::size_t messages = inView.empty() ? 1 : (inView.size() + 3) / 4;
    std::string lines;
    for (std::size_t m = 0; m < messages; ++m) {
        char body[96];
        int n = std::snprintf(body, sizeof body, "GPGSV,%zu,%zu,%02zu", messages, m + 1, inView.size());
        for (std::size_t i = m * 4; i < inView.size() && i < m * 4 + 4; ++i) {
            const Satellite& s = inView[i];
            n += std::snprintf(body + n, sizeof body - static_cast<std::size_t>(n), ",%02d,%02d,%03d,%02d", s.prn,
                               s.elevation, s.azimuth, s.snr);
        }
        lines += sentence(body);
    }
    return lines;
}

std::string cycle(const Fix& fix) {
    return gga(fix) + rmc(fix) + gsa(fix) + gsv(fix.inView);
}

} // namespace veltaro::sim
