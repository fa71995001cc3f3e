#include "tools/simulator/sky.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace veltaro::sim {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int SATELLITE_COUNT = 16;
constexpr double ROUND = 1800.0;  // seconds until a satellite rises again
constexpr double VISIBLE = 0.55;  // part of the round spent above the horizon
constexpr int MIN_ELEVATION = 10; // below this a receiver leaves a satellite out of the fix
constexpr std::size_t MAX_USED = 12;

} // namespace

Sky::Sky(std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<int> prns(32);
    std::iota(prns.begin(), prns.end(), 1);
    std::shuffle(prns.begin(), prns.end(), random);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int k = 0; k < SATELLITE_COUNT; ++k) {
        Pass pass{};
        pass.prn = prns[static_cast<std::size_t>(k)];
        pass.phase = (k + 0.4 * unit(random)) / SATELLITE_COUNT;
        pass.maxElevation = 25.0 + 63.0 * unit(random);
        pass.riseAzimuth = 360.0 * unit(random);
        pass.sweep = (90.0 + 110.0 * unit(random)) * (unit(random) < 0.5 ? -1.0 : 1.0);
        pass.snrOffset = static_cast<int>(std::lround(6.0 * unit(random))) - 3;
        passes.push_back(pass);
    }
}

std::vector<Satellite> Sky::inView(std::chrono::sys_seconds time) const {
    const double rounds = static_cast<double>(time.time_since_epoch().count()) / ROUND;
    std::vector<Satellite> satellites;
    for (const Pass& pass : passes) {
        const double phase = std::fmod(rounds + pass.phase, 1.0);
        if (phase >= VISIBLE) {
            continue;
        }
        const double progress = phase / VISIBLE; // 0 rising, 1 setting
        const double elevation = pass.maxElevation * std::sin(PI * progress);
        const double azimuth = std::fmod(pass.riseAzimuth + pass.sweep * progress + 360.0, 360.0);
        // Low satellites shine through more air: the signal grows with the elevation.
        const long snr = std::lround(18.0 + 30.0 * std::sin(elevation * PI / 180.0)) + pass.snrOffset;
        satellites.push_back({pass.prn, static_cast<int>(std::lround(elevation)),
                              static_cast<int>(std::lround(azimuth) % 360),
                              static_cast<int>(std::clamp(snr, 0L, 99L))});
    }
    std::sort(satellites.begin(), satellites.end(),
              [](const Satellite& a, const Satellite& b) { return a.prn < b.prn; });
    return satellites;
}

std::vector<int> usedSatellites(const std::vector<Satellite>& inView) {
    std::vector<Satellite> candidates;
    std::copy_if(inView.begin(), inView.end(), std::back_inserter(candidates),
                 [](const Satellite& s) { return s.elevation >= MIN_ELEVATION; });
    std::sort(candidates.begin(), candidates.end(),
              [](const Satellite& a, const Satellite& b) { return a.elevation > b.elevation; });
    candidates.resize(std::min(candidates.size(), MAX_USED));
    std::vector<int> prns;
    for (const Satellite& s : candidates) {
        prns.push_back(s.prn);
    }
    std::sort(prns.begin(), prns.end());
    return prns;
}

} // namespace veltaro::sim
