#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro::sim {

// One satellite as a GSV message reports it.
struct Satellite {
    int prn = 0;
    int elevation = 0; // degrees above the horizon
    int azimuth = 0;   // degrees from true north
    int snr = 0;       // dB
};

// What the receiver reports for one second.
struct Fix {
    std::chrono::sys_seconds time{};
    double latitude = 0;  // degrees, north positive
    double longitude = 0; // degrees, east positive
    double altitude = 0;  // metres above mean sea level
    double geoidSeparation = 0;
    double speedKnots = 0;
    double course = 0;             // degrees from true north
    std::vector<Satellite> inView; // ordered by PRN
    std::vector<int> used;         // PRNs of the satellites in the fix, at most 12
    double pdop = 0;
    double hdop = 0;
    double vdop = 0;
};

// The XOR of the characters between the leading "$" or "!" and the "*".
unsigned checksum(std::string_view body);

// A complete line: "$", body, "*", the checksum in two upper-case hex digits, CR LF.
std::string sentence(std::string_view body);

// "ddmm.mmmm,N" and "dddmm.mmmm,E": a coordinate's field and its hemisphere field.
std::string latitudeFields(double degrees);
std::string longitudeFields(double degrees);

std::string gga(const Fix& fix);
std::string rmc(const Fix& fix);
std::string gsa(const Fix& fix);
std::string gsv(const std::vector<Satellite>& inView); // the whole cycle, four satellites per message

// One second of output: GGA, RMC, GSA and a GSV cycle.
std::string cycle(const Fix& fix);

} // namespace veltaro::sim
