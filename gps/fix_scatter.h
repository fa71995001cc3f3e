#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace veltaro {

// A place on the WGS-84 ellipsoid: degrees, north and east positive, and a height in metres.
struct EarthPoint {
    double latitude = 0;
    double longitude = 0;
    double height = 0;
};

// A local tangent plane at a reference point: metres east, north and up of it, from the east and north radii
// of curvature of WGS-84 at the reference. Good to a millimetre within 3 km, a centimetre within 10 km (less
// toward the poles): that takes the second-order terms too (the parallels bend poleward off the east axis and
// shorten, and the meridian's radius grows), which are already 10 cm at a kilometre. East and north are of
// the points on the ellipsoid, so a fix without a height lands where it would with one; up is the
// difference of the heights.
class TangentPlane {
public:
    explicit TangentPlane(const EarthPoint& reference);
    void offsets(const EarthPoint& point, double& east, double& north, double& up) const;

private:
    EarthPoint origin;
    double metresPerRadianEast;  // the parallel's radius: N cos(latitude)
    double metresPerRadianNorth; // the meridian's radius of curvature M
    double eastShrink;           // M sin(latitude): the parallel's radius lost per radian north
    double parallelBend;         // N sin(latitude) cos(latitude) / 2: north per squared radian of longitude
    double meridianStretch;      // half the growth of M per radian north
};

// What the fixes of a scatter say about a receiver. Distances in metres; NaN where nothing is known yet.
struct ScatterFigures {
    std::int64_t count = 0;
    std::int64_t firstMs = 0; // when the first and last fix arrived, on the parser's clock
    std::int64_t lastMs = 0;
    EarthPoint mean;
    double cep50 = 0; // half the fixes lie within this distance of the centre, horizontally
    double cep95 = 0;
    double drms2 = 0; // twice the root of the summed east and north variances
    double sigmaEast = 0;
    double sigmaNorth = 0;
    double sigmaUp = 0;
    // With a typed reference: how far the mean lies from it, and in which direction (degrees from north).
    double offset = 0;
    double bearing = 0;
};

// Every real fix of one device, around the mean of them or a point the user typed (the centre). Holds up to
// MAX_FIXES; the figures follow each fix without going over all of them again: the percentiles are exact to a
// millimetre below EXACT_LIMIT fixes and within 1% above. At most 32 bytes a fix.
class FixScatter {
public:
    static constexpr std::int64_t MAX_FIXES = 1000000;
    static constexpr std::int64_t EXACT_LIMIT = 100000;

    // A fix: degrees, and its height (NaN when the receiver sent none); ignored once MAX_FIXES are held, when
    // memory runs out, or without a latitude and longitude.
    void add(const EarthPoint& fix, std::int64_t arrivedMs);
    // Forgets every fix and frees their memory; a typed reference stays.
    void clear();
    // The typed reference, or none: the mean is the centre again. One without a latitude and longitude is none.
    void setReference(const EarthPoint& reference);
    void useMean();
    bool hasReference() const;

    std::int64_t size() const;
    EarthPoint centre() const;
    // Metres east and north of the centre of fix i, in the order added; NaN for an i not held.
    void offsetOf(std::int64_t i, double& east, double& north) const;
    ScatterFigures figures();

private:
    // 24 bytes, kept in blocks of BLOCK: a million fixes take 24 MB, and growing never copies them. The
    // distances below EXACT_LIMIT add at most 6 bytes, the histogram above it 24 KB.
    struct Fix {
        double latitude;
        double longitude;
        float height;            // NaN: none
        float secondsAfterFirst; // when it arrived
    };
    static_assert(sizeof(Fix) <= 32, "a fix must fit in 32 bytes");
    static constexpr std::int64_t BLOCK = 1024;

    // A running mean and sum of squared deviations, updated fix by fix without losing precision.
    struct Moments {
        std::int64_t count = 0;
        double mean = 0;
        double squares = 0;
        void add(double value);
    };

    EarthPoint mean() const;
    EarthPoint place(std::int64_t i) const;
    void refreeze();
    void measure();
    double percentile(double fraction);
    double rankedDistance(std::int64_t rank) const;

    std::vector<std::unique_ptr<Fix[]>> blocks;
    std::int64_t count = 0;
    std::int64_t firstMs = 0;
    std::int64_t lastMs = 0;
    // The moments are of the fixes' differences from the first fix (radians) and from the first height
    // (metres): small numbers keep their precision where whole degrees would lose it to rounding.
    EarthPoint origin;
    Moments latitudes;
    Moments longitudes;
    Moments heights;

    bool typed = false;
    EarthPoint reference;

    // The percentiles are of the distances to a frozen centre, measured for the first `measured` fixes: each
    // distance below EXACT_LIMIT, from then on a histogram of them.
    bool stale = true; // the frozen centre is to be set again before the next measuring
    TangentPlane frozenPlane{EarthPoint{}};
    std::int64_t measured = 0;
    std::vector<float> distances; // to a millimetre out to 16 km
    std::vector<std::uint32_t> bins;

    // offsetOf's plane, rebuilt when the centre has moved (so offsetOf is for one thread at a time).
    mutable EarthPoint drawCentre;
    mutable TangentPlane drawPlane{EarthPoint{}};
};

} // namespace veltaro
