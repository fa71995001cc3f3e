#include "gps/fix_scatter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>

namespace veltaro {

namespace {

constexpr double NONE = std::numeric_limits<double>::quiet_NaN();
constexpr double RADIANS_PER_DEGREE = std::numbers::pi / 180;
constexpr double SEMI_MAJOR_AXIS = 6378137.0;
constexpr double FLATTENING = 1 / 298.257223563;
constexpr double ECCENTRICITY_SQUARED = FLATTENING * (2 - FLATTENING);

// The histogram: bin 0 holds distances below FINEST, bin b >= 1 those from FINEST * 10^((b - 1) / 500) up
// to the next bin's, a ratio of 1.0046 each; 12 decades reach 100,000 km, beyond any distance on Earth.
constexpr double FINEST = 1e-4;
constexpr int BINS_PER_DECADE = 500;
constexpr int BINS = 1 + 12 * BINS_PER_DECADE;
// How far the centre may move from the frozen one, as a fraction of CEP50, before the histogram is
// measured again.
constexpr double DRIFT = 0.0025;
// Why the percentiles above EXACT_LIMIT stay within 1%: a fix's distance to the frozen centre differs from
// its distance to the true one by at most the drift, so every percentile moves by at most the drift, under
// 0.25% of CEP50 and so of CEP95. Each order statistic is then taken from inside the bin that holds it, off
// by less than the bin's ratio, 0.46%, and so is the interpolation between two of them: under 0.75% in all,
// or 0.1 mm for distances below the first bin.

// The radii of curvature in the prime vertical (N) and the meridian (M), and M's growth per radian north.
struct Radii {
    double primeVertical;
    double meridian;
    double meridianGrowth;
};

Radii radiiAt(double latitudeDegrees) {
    const double sine = std::sin(latitudeDegrees * RADIANS_PER_DEGREE);
    const double cosine = std::cos(latitudeDegrees * RADIANS_PER_DEGREE);
    const double w = 1 - ECCENTRICITY_SQUARED * sine * sine;
    const double primeVertical = SEMI_MAJOR_AXIS / std::sqrt(w);
    const double meridian = primeVertical * (1 - ECCENTRICITY_SQUARED) / w;
    return {primeVertical, meridian, 3 * meridian * ECCENTRICITY_SQUARED * sine * cosine / w};
}

// The longitude difference the short way round, in degrees.
double longitudeDifference(double to, double from) {
    double difference = to - from;
    if (difference > 180) {
        difference -= 360;
    } else if (difference < -180) {
        difference += 360;
    }
    return difference;
}

double horizontalDistance(const TangentPlane& plane, const EarthPoint& point) {
    double east = 0;
    double north = 0;
    double up = 0;
    plane.offsets(point, east, north, up);
    return std::sqrt(east * east + north * north);
}

int binOf(double distance) {
    if (distance < FINEST) {
        return 0;
    }
    const double bin = 1 + std::floor(BINS_PER_DECADE * std::log10(distance / FINEST));
    return static_cast<int>(std::min(bin, double{BINS - 1}));
}

} // namespace

TangentPlane::TangentPlane(const EarthPoint& reference) : origin(reference) {
    const Radii radii = radiiAt(reference.latitude);
    const double sine = std::sin(reference.latitude * RADIANS_PER_DEGREE);
    const double cosine = std::cos(reference.latitude * RADIANS_PER_DEGREE);
    metresPerRadianEast = radii.primeVertical * cosine;
    metresPerRadianNorth = radii.meridian;
    eastShrink = radii.meridian * sine;
    parallelBend = radii.primeVertical * sine * cosine / 2;
    meridianStretch = radii.meridianGrowth / 2;
}

void TangentPlane::offsets(const EarthPoint& point, double& east, double& north, double& up) const {
    const double dLatitude = (point.latitude - origin.latitude) * RADIANS_PER_DEGREE;
    const double dLongitude = longitudeDifference(point.longitude, origin.longitude) * RADIANS_PER_DEGREE;
    east = (metresPerRadianEast - eastShrink * dLatitude) * dLongitude;
    north = (metresPerRadianNorth + meridianStretch * dLatitude) * dLatitude + parallelBend * dLongitude * dLongitude;
    up = point.height - origin.height;
}

void FixScatter::Moments::add(double value) {
    ++count;
    const double deviation = value - mean;
    mean += deviation / static_cast<double>(count);
    squares += deviation * (value - mean);
}

void FixScatter::add(const EarthPoint& fix, std::int64_t arrivedMs) {
    const std::int64_t held = size();
    if (held >= MAX_FIXES || !std::isfinite(fix.latitude) || !std::isfinite(fix.longitude)) {
        return;
    }
    try {
        if (static_cast<std::int64_t>(blocks.size()) * BLOCK == held) {
            std::unique_ptr<Fix[]> block(new (std::nothrow) Fix[BLOCK]);
            if (!block) {
                return;
            }
            blocks.push_back(std::move(block));
        }
        if (held + 1 < EXACT_LIMIT) {
            // Room for every distance now, so measuring them never allocates; half as much again rather than
            // twice, so that the room kept stays within the 32 bytes.
            const std::size_t room = distances.capacity();
            if (room < static_cast<std::size_t>(held + 1)) {
                distances.reserve(
                    std::min(room + std::max<std::size_t>(room / 2, BLOCK), std::size_t{EXACT_LIMIT - 1}));
            }
        } else if (bins.empty()) {
            bins.assign(BINS, 0);
            std::vector<float>().swap(distances);
            stale = true;
        }
    } catch (const std::bad_alloc&) {
        return;
    }

    if (held == 0) {
        origin = {fix.latitude, fix.longitude, NONE};
        firstMs = arrivedMs;
    }
    lastMs = arrivedMs;
    const bool hasHeight = std::isfinite(fix.height);
    blocks.back()[static_cast<std::size_t>(held % BLOCK)] = {
        fix.latitude, fix.longitude,
        hasHeight ? static_cast<float>(fix.height) : std::numeric_limits<float>::quiet_NaN(),
        static_cast<float>(static_cast<double>(arrivedMs - firstMs) / 1000)};
    ++count;
    latitudes.add((fix.latitude - origin.latitude) * RADIANS_PER_DEGREE);
    longitudes.add(longitudeDifference(fix.longitude, origin.longitude) * RADIANS_PER_DEGREE);
    if (hasHeight) {
        if (heights.count == 0) {
            origin.height = fix.height;
        }
        heights.add(fix.height - origin.height);
    }
}

void FixScatter::clear() {
    std::vector<std::unique_ptr<Fix[]>>().swap(blocks);
    count = 0;
    std::vector<float>().swap(distances);
    std::vector<std::uint32_t>().swap(bins);
    latitudes = {};
    longitudes = {};
    heights = {};
    firstMs = 0;
    lastMs = 0;
    measured = 0;
    stale = true;
}

void FixScatter::setReference(const EarthPoint& point) {
    if (!std::isfinite(point.latitude) || !std::isfinite(point.longitude)) {
        useMean();
        return;
    }
    reference = point;
    typed = true;
    stale = true;
}

void FixScatter::useMean() {
    typed = false;
    stale = true;
}

bool FixScatter::hasReference() const {
    return typed;
}

std::int64_t FixScatter::size() const {
    return count;
}

EarthPoint FixScatter::centre() const {
    return typed ? reference : mean();
}

EarthPoint FixScatter::mean() const {
    if (latitudes.count == 0) {
        return {NONE, NONE, NONE};
    }
    return {origin.latitude + latitudes.mean / RADIANS_PER_DEGREE,
            longitudeDifference(origin.longitude + longitudes.mean / RADIANS_PER_DEGREE, 0),
            heights.count > 0 ? origin.height + heights.mean : NONE};
}

EarthPoint FixScatter::place(std::int64_t i) const {
    const Fix& fix = blocks[static_cast<std::size_t>(i / BLOCK)][static_cast<std::size_t>(i % BLOCK)];
    return {fix.latitude, fix.longitude, fix.height};
}

void FixScatter::offsetOf(std::int64_t i, double& east, double& north) const {
    if (i < 0 || i >= size()) {
        east = NONE;
        north = NONE;
        return;
    }
    const EarthPoint now = centre();
    if (now.latitude != drawCentre.latitude || now.longitude != drawCentre.longitude) {
        drawCentre = now;
        drawPlane = TangentPlane(now);
    }
    double up = 0;
    drawPlane.offsets(place(i), east, north, up);
}

void FixScatter::refreeze() {
    frozenPlane = TangentPlane(centre());
    measured = 0;
    distances.clear();
    std::fill(bins.begin(), bins.end(), 0);
    stale = false;
}

// Brings the distances or the histogram up to the fixes added since, measured to the frozen centre.
void FixScatter::measure() {
    const bool exact = bins.empty();
    for (; measured < size(); ++measured) {
        const double distance = horizontalDistance(frozenPlane, place(measured));
        if (exact) {
            distances.push_back(static_cast<float>(distance)); // room kept by add
        } else {
            ++bins[static_cast<std::size_t>(binOf(distance))];
        }
    }
}

// Between the two order statistics around the fraction of the distances, as a sorted list would give it.
double FixScatter::percentile(double fraction) {
    const double rank = fraction * static_cast<double>(measured - 1);
    const std::int64_t below = static_cast<std::int64_t>(rank);
    const double part = rank - static_cast<double>(below);
    if (!bins.empty()) {
        const double low = rankedDistance(below);
        return part > 0 ? low + part * (rankedDistance(below + 1) - low) : low;
    }
    const auto at = distances.begin() + below;
    std::nth_element(distances.begin(), at, distances.end());
    const double low = *at;
    return part > 0 ? low + part * (*std::min_element(at + 1, distances.end()) - low) : low;
}

// The histogram's estimate of the distance of the given rank: inside its bin, where the bin's distances
// would lie if spread evenly over it.
double FixScatter::rankedDistance(std::int64_t rank) const {
    std::int64_t before = 0;
    for (int bin = 0; bin < BINS; ++bin) {
        const std::int64_t inBin = bins[static_cast<std::size_t>(bin)];
        if (rank < before + inBin) {
            const double within = (static_cast<double>(rank - before) + 0.5) / static_cast<double>(inBin);
            return bin == 0 ? FINEST * within : FINEST * std::pow(10.0, (bin - 1 + within) / BINS_PER_DECADE);
        }
        before += inBin;
    }
    return NONE;
}

ScatterFigures FixScatter::figures() {
    ScatterFigures figures;
    figures.count = size();
    figures.firstMs = firstMs;
    figures.lastMs = lastMs;
    figures.mean = mean();
    figures.cep50 = NONE;
    figures.cep95 = NONE;
    figures.drms2 = NONE;
    figures.sigmaEast = NONE;
    figures.sigmaNorth = NONE;
    figures.sigmaUp = NONE;
    figures.offset = NONE;
    figures.bearing = NONE;
    if (figures.count == 0) {
        return figures;
    }

    // The variances in radians become metres at the mean's radii: over a scatter's few metres the plane's
    // second-order terms change them by parts in a million.
    const double held = static_cast<double>(figures.count);
    const Radii radii = radiiAt(figures.mean.latitude);
    const double eastScale = radii.primeVertical * std::cos(figures.mean.latitude * RADIANS_PER_DEGREE);
    const double varianceEast = longitudes.squares / held * eastScale * eastScale;
    const double varianceNorth = latitudes.squares / held * radii.meridian * radii.meridian;
    figures.sigmaEast = std::sqrt(varianceEast);
    figures.sigmaNorth = std::sqrt(varianceNorth);
    figures.drms2 = 2 * std::sqrt(varianceEast + varianceNorth);
    if (heights.count > 0) {
        figures.sigmaUp = std::sqrt(heights.squares / static_cast<double>(heights.count));
    }

    // Below EXACT_LIMIT a centre moved by more than 0.1 mm is measured again, each time; above, only once it
    // has moved by a fair part of CEP50, so a fix costs one more bin.
    const double drift = stale ? 0 : horizontalDistance(frozenPlane, centre());
    if (stale || (bins.empty() && drift > FINEST)) {
        refreeze();
    }
    measure();
    figures.cep50 = percentile(0.5);
    if (!bins.empty() && drift > std::max(FINEST, DRIFT * figures.cep50)) {
        refreeze();
        measure();
        figures.cep50 = percentile(0.5);
    }
    figures.cep95 = percentile(0.95);

    if (typed) {
        double east = 0;
        double north = 0;
        double up = 0;
        TangentPlane(reference).offsets(figures.mean, east, north, up);
        figures.offset = std::hypot(east, north);
        figures.bearing = std::fmod(std::atan2(east, north) / RADIANS_PER_DEGREE + 360, 360);
    }
    return figures;
}

} // namespace veltaro
