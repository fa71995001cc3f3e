#include "gps/fix_scatter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace veltaro {
namespace {

// WGS-84 worked through earth-centred coordinates, independently of the plane under test.
constexpr double A = 6378137.0;
constexpr double F = 1 / 298.257223563;
constexpr double E2 = F * (2 - F);
constexpr double RAD = std::numbers::pi / 180;

struct Vector {
    double x, y, z;
};

Vector earthCentred(const EarthPoint& p) {
    const double lat = p.latitude * RAD;
    const double lon = p.longitude * RAD;
    const double n = A / std::sqrt(1 - E2 * std::sin(lat) * std::sin(lat));
    return {(n + p.height) * std::cos(lat) * std::cos(lon), (n + p.height) * std::cos(lat) * std::sin(lon),
            (n * (1 - E2) + p.height) * std::sin(lat)};
}

EarthPoint geodetic(const Vector& v) {
    const double p = std::hypot(v.x, v.y);
    double lat = std::atan2(v.z, p * (1 - E2));
    double h = 0;
    for (int i = 0; i < 5; ++i) { // from a start this close, ample
        const double n = A / std::sqrt(1 - E2 * std::sin(lat) * std::sin(lat));
        h = p / std::cos(lat) - n;
        lat = std::atan2(v.z, p * (1 - E2 * n / (n + h)));
    }
    return {lat / RAD, std::atan2(v.y, v.x) / RAD, h};
}

// East, north and up of p in the frame of the reference's ellipsoid normal.
Vector eastNorthUp(const EarthPoint& reference, const EarthPoint& p) {
    const Vector r = earthCentred(reference);
    const Vector q = earthCentred(p);
    const double dx = q.x - r.x, dy = q.y - r.y, dz = q.z - r.z;
    const double lat = reference.latitude * RAD, lon = reference.longitude * RAD;
    return {-std::sin(lon) * dx + std::cos(lon) * dy,
            -std::sin(lat) * std::cos(lon) * dx - std::sin(lat) * std::sin(lon) * dy + std::cos(lat) * dz,
            std::cos(lat) * std::cos(lon) * dx + std::cos(lat) * std::sin(lon) * dy + std::sin(lat) * dz};
}

// The point on the ellipsoid below the place east and north of the reference in its frame.
EarthPoint onEllipsoid(const EarthPoint& reference, double east, double north) {
    const Vector r = earthCentred(reference);
    const double lat = reference.latitude * RAD, lon = reference.longitude * RAD;
    const Vector v = {r.x - std::sin(lon) * east - std::sin(lat) * std::cos(lon) * north,
                      r.y + std::cos(lon) * east - std::sin(lat) * std::sin(lon) * north, r.z + std::cos(lat) * north};
    EarthPoint p = geodetic(v);
    p.height = 0;
    return p;
}

const EarthPoint MUNICH = {48.1, 11.5, 0};

// Fixes from a circular normal distribution of 1 m in east and north around where(i).
template <typename Where>
FixScatter normalScatter(std::int64_t count, Where where, int figuresEvery = 0) {
    std::mt19937 random(20240611);
    std::normal_distribution<double> metres(0, 1);
    FixScatter scatter;
    for (std::int64_t i = 0; i < count; ++i) {
        const double east = metres(random);
        const double north = metres(random);
        scatter.add(onEllipsoid(where(i), east, north), i * 1000);
        if (figuresEvery > 0 && i % figuresEvery == 0) {
            scatter.figures();
        }
    }
    return scatter;
}

// The fixes' distances to the centre, sorted.
std::vector<double> sortedDistances(const FixScatter& scatter) {
    std::vector<double> distances;
    for (std::int64_t i = 0; i < scatter.size(); ++i) {
        double east = 0, north = 0;
        scatter.offsetOf(i, east, north);
        distances.push_back(std::hypot(east, north));
    }
    std::sort(distances.begin(), distances.end());
    return distances;
}

// The fraction's percentile, interpolated between order statistics.
double percentile(const std::vector<double>& sorted, double fraction) {
    const double rank = fraction * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(rank);
    const double low = sorted[below];
    return below + 1 < sorted.size() ? low + (rank - static_cast<double>(below)) * (sorted[below + 1] - low) : low;
}

TEST(FixScatterTest, NormalFixesGiveTheirDistributionsFigures) {
    FixScatter scatter = normalScatter(10000, [](std::int64_t) { return MUNICH; });
    const ScatterFigures f = scatter.figures();
    // A circular normal distribution of sigma 1: P(r < R) = 1 - exp(-R^2 / 2).
    EXPECT_NEAR(f.cep50, std::sqrt(2 * std::log(2.0)), 0.03 * f.cep50);
    EXPECT_NEAR(f.cep95, std::sqrt(2 * std::log(20.0)), 0.03 * f.cep95);
    EXPECT_NEAR(f.drms2, 2 * std::sqrt(2.0), 0.03 * f.drms2);
    EXPECT_NEAR(f.sigmaEast, 1, 0.03);
    EXPECT_NEAR(f.sigmaNorth, 1, 0.03);
    EXPECT_NEAR(f.mean.latitude, MUNICH.latitude, 0.05 / 111000);
    EXPECT_NEAR(f.mean.longitude, MUNICH.longitude, 0.05 / 74000);
    EXPECT_EQ(f.count, 10000);
    EXPECT_EQ(f.firstMs, 0);
    EXPECT_EQ(f.lastMs, 9999000);
}

TEST(FixScatterTest, SpreadIsAboutTheMean) {
    FixScatter scatter;
    const double places[][3] = {{1, 0, 500}, {-1, 0, 504}, {0, 2, 502}, {0, -2, 502}}; // east, north, height
    for (const auto& [east, north, height] : places) {
        EarthPoint fix = onEllipsoid(MUNICH, east + 5, north - 7); // the mean away from the point the fixes came from
        fix.height = height;
        scatter.add(fix, 0);
    }
    const ScatterFigures f = scatter.figures();
    EXPECT_NEAR(f.sigmaEast, std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(f.sigmaNorth, std::sqrt(2.0), 1e-6);
    EXPECT_NEAR(f.drms2, 2 * std::sqrt(2.5), 1e-6);
    EXPECT_NEAR(f.sigmaUp, std::sqrt(2.0), 1e-6);
    EXPECT_DOUBLE_EQ(f.mean.height, 502);
    EXPECT_NEAR(f.cep50, 1.5, 1e-6); // distances 1, 1, 2, 2
    EXPECT_NEAR(f.cep95, 2, 1e-6);
}

TEST(FixScatterTest, PercentilesMatchSortedDistances) {
    const EarthPoint typed = onEllipsoid(MUNICH, 1.5, 1.5);
    struct Case {
        const char* name;
        std::int64_t count;
        double wander;  // metres the fixes' true centre moves east over the run
        bool reference; // typed, rather than the mean
        int figuresEvery;
    };
    const Case cases[] = {
        {"exact", 20000, 0, false, 0},
        {"exact, asked along the way", 20000, 0, false, 97},
        {"exact, wandering", 50000, 3, false, 997},
        {"exact, typed reference", 20000, 0, true, 0},
        {"histogram", 300000, 0, false, 0},
        {"histogram, asked along the way", 150000, 0, false, 1000},
        {"histogram, wandering", 150000, 3, false, 5000},
        {"histogram, typed reference", 150000, 0, true, 1000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double step = c.wander / static_cast<double>(c.count);
        FixScatter scatter = normalScatter(
            c.count, [&](std::int64_t i) { return onEllipsoid(MUNICH, step * static_cast<double>(i), 0); },
            c.reference ? 0 : c.figuresEvery);
        if (c.reference) {
            scatter.setReference(typed);
            // Then more fixes, measured against the reference from the start.
            for (int i = 0; i < 3000; ++i) {
                scatter.add(onEllipsoid(MUNICH, 0.001 * (i % 7), 0.002 * (i % 5)), c.count + i);
                if (i % 100 == 0) {
                    scatter.figures();
                }
            }
        }
        const ScatterFigures f = scatter.figures();
        const bool exact = scatter.size() < FixScatter::EXACT_LIMIT;
        const std::vector<double> sorted = sortedDistances(scatter);
        for (const auto& [fraction, got] : {std::pair{0.5, f.cep50}, std::pair{0.95, f.cep95}}) {
            const double want = percentile(sorted, fraction);
            EXPECT_NEAR(got, want, exact ? 0.001 : 0.01 * want) << fraction;
        }
    }
}

// Two clusters a metre either side of the mean: every distance is about a metre, and when the mean moves
// east the east cluster's distances shrink by as much as the west one's grow, so a centre the percentiles
// have not followed shows at once.
TEST(FixScatterTest, PercentilesFollowTheMean) {
    struct Case {
        std::int64_t count;
        std::int64_t moreEast; // fixes then added to the east cluster only, moving the mean 5 mm or 2 cm
        double metres;         // of the percentiles: exact, or 1% of the metre
    };
    const Case cases[] = {{20000, 100, 0.001}, {150000, 3000, 0.01}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        std::mt19937 random(7);
        std::normal_distribution<double> centimetres(0, 0.01);
        FixScatter scatter;
        for (std::int64_t i = 0; i < c.count + c.moreEast; ++i) {
            const double east = i < c.count && i % 2 == 0 ? -1 : 1;
            scatter.add(onEllipsoid(MUNICH, east + centimetres(random), centimetres(random)), i);
            if (i + 1 == c.count) {
                scatter.figures();
            }
        }
        const ScatterFigures f = scatter.figures();
        const std::vector<double> sorted = sortedDistances(scatter);
        EXPECT_NEAR(f.cep50, percentile(sorted, 0.5), c.metres);
        EXPECT_NEAR(f.cep95, percentile(sorted, 0.95), c.metres);
    }
}

TEST(FixScatterTest, TypedReferenceGivesTheMeansOffsetAndBearing) {
    struct Case {
        double distance;
        double bearing;
        double metres; // tolerances
        double degrees;
    };
    const Case cases[] = {
        {5, 0, 0.001, 0.01},   {5, 90, 0.001, 0.01},   {7, 225, 0.001, 0.01},   {3, 315, 0.001, 0.01},
        {2, 160, 0.001, 0.01}, {3000, 0, 0.001, 1e-4}, {3000, 90, 0.001, 1e-4}, {4000, 225, 0.001, 1e-4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distance << " m at " << c.bearing);
        const double east = c.distance * std::sin(c.bearing * RAD);
        const double north = c.distance * std::cos(c.bearing * RAD);
        FixScatter scatter;
        scatter.setReference(MUNICH);
        // Two fixes either side of the place: the mean is there.
        scatter.add(onEllipsoid(MUNICH, east - 0.5, north), 0);
        scatter.add(onEllipsoid(MUNICH, east + 0.5, north), 1000);
        const ScatterFigures f = scatter.figures();
        EXPECT_NEAR(f.offset, c.distance, c.metres);
        EXPECT_NEAR(std::remainder(f.bearing - c.bearing, 360), 0, c.degrees);
        EXPECT_GE(f.bearing, 0);
        EXPECT_LT(f.bearing, 360);
    }
}

TEST(FixScatterTest, TangentPlaneAgreesWithEarthCentredCoordinates) {
    struct Case {
        EarthPoint reference;
        double east;
        double north;
        double metres; // tolerance
    };
    // The plane is good to a millimetre within 3 km; its error grows with the cube of the distance, and
    // towards the poles: at 10 km 1.1 cm at 48 degrees, at 50 km 5.5 m at 70 degrees.
    const Case cases[] = {
        {MUNICH, 0, 100, 0.001},
        {MUNICH, 1000, 0, 0.001},
        {MUNICH, -700, -700, 0.001},
        {{-33.9, 151.2, 0}, 300, -950, 0.001},
        {{70, -20, 0}, -1000, 20, 0.001},
        {{0, 0, 0}, 800, 600, 0.001},
        {{-10, 179.9999, 0}, 900, -300, 0.001}, // across the date line
        {MUNICH, 2100, -2100, 0.001},
        {{70, -20, 0}, 0, -3000, 0.001},
        {MUNICH, 7000, 7000, 0.012},
        {{70, -20, 0}, 50000, 0, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reference.latitude << " " << c.reference.longitude << ": " << c.east
                                        << " m east, " << c.north << " m north");
        const EarthPoint point = onEllipsoid(c.reference, c.east, c.north);
        const Vector want = eastNorthUp(c.reference, point);
        double east = 0, north = 0, up = 0;
        TangentPlane(c.reference).offsets(point, east, north, up);
        EXPECT_NEAR(east, want.x, c.metres);
        EXPECT_NEAR(north, want.y, c.metres);
    }
}

TEST(FixScatterTest, UpIsTheHeightDifference) {
    double east = 0, north = 0, up = 0;
    TangentPlane({48.1, 11.5, 520}).offsets({48.1001, 11.5, 533.5}, east, north, up);
    EXPECT_DOUBLE_EQ(up, 13.5);
    TangentPlane({48.1, 11.5, 520}).offsets({48.1001, 11.5, NAN}, east, north, up);
    EXPECT_TRUE(std::isnan(up));
    EXPECT_FALSE(std::isnan(north));
}

TEST(FixScatterTest, OffsetsAreFromTheCentre) {
    FixScatter scatter;
    const EarthPoint fixes[] = {onEllipsoid(MUNICH, 2, 0), onEllipsoid(MUNICH, -2, 0), onEllipsoid(MUNICH, 0, 3)};
    for (const EarthPoint& fix : fixes) {
        scatter.add(fix, 0);
    }
    const EarthPoint typed = onEllipsoid(MUNICH, 0, -10);
    for (bool reference : {false, true, false}) {
        SCOPED_TRACE(reference);
        if (reference) {
            scatter.setReference(typed);
        } else {
            scatter.useMean();
        }
        EXPECT_EQ(scatter.hasReference(), reference);
        const EarthPoint centre = scatter.centre();
        const EarthPoint want = reference ? typed : scatter.figures().mean;
        EXPECT_DOUBLE_EQ(centre.latitude, want.latitude);
        EXPECT_DOUBLE_EQ(centre.longitude, want.longitude);
        for (std::int64_t i = 0; i < 3; ++i) {
            double east = 0, north = 0, wantEast = 0, wantNorth = 0, up = 0;
            scatter.offsetOf(i, east, north);
            TangentPlane(centre).offsets(fixes[i], wantEast, wantNorth, up);
            EXPECT_DOUBLE_EQ(east, wantEast);
            EXPECT_DOUBLE_EQ(north, wantNorth);
        }
    }
    double east = 0, north = 0;
    scatter.offsetOf(3, east, north);
    EXPECT_TRUE(std::isnan(east) && std::isnan(north));
}

TEST(FixScatterTest, MeanCrossesTheDateLine) {
    FixScatter scatter;
    scatter.add({-17, 179.9999, 0}, 0);
    scatter.add({-17, -179.9997, 0}, 0);
    const ScatterFigures f = scatter.figures();
    EXPECT_NEAR(f.mean.longitude, -179.9999, 1e-9);
    const double apart = eastNorthUp({-17, 179.9999, 0}, {-17, -179.9997, 0}).x;
    EXPECT_NEAR(f.cep50, apart / 2, 0.001);
}

void expectNothingKnown(const ScatterFigures& f) {
    EXPECT_EQ(f.count, 0);
    for (double value : {f.mean.latitude, f.mean.longitude, f.mean.height, f.cep50, f.cep95, f.drms2, f.sigmaEast,
                         f.sigmaNorth, f.sigmaUp, f.offset, f.bearing}) {
        EXPECT_TRUE(std::isnan(value)) << value;
    }
}

TEST(FixScatterTest, EmptyScatterKnowsNothing) {
    FixScatter scatter;
    expectNothingKnown(scatter.figures());
    scatter.setReference(MUNICH);
    expectNothingKnown(scatter.figures());
    EXPECT_DOUBLE_EQ(scatter.centre().latitude, MUNICH.latitude);
}

TEST(FixScatterTest, ClearStartsAgainAndKeepsTheReference) {
    FixScatter scatter = normalScatter(150000, [](std::int64_t) { return MUNICH; });
    scatter.setReference(MUNICH);
    scatter.figures();
    scatter.clear();
    EXPECT_EQ(scatter.size(), 0);
    expectNothingKnown(scatter.figures());
    EXPECT_TRUE(scatter.hasReference());
    scatter.add(onEllipsoid(MUNICH, 0, 4), 77000);
    const ScatterFigures f = scatter.figures();
    EXPECT_EQ(f.count, 1);
    EXPECT_EQ(f.firstMs, 77000);
    EXPECT_NEAR(f.cep50, 4, 0.001);
    EXPECT_NEAR(f.offset, 4, 0.001);
    EXPECT_DOUBLE_EQ(f.sigmaNorth, 0);
}

TEST(FixScatterTest, KeepsNoMoreThanItsLimit) {
    FixScatter scatter;
    for (std::int64_t i = 0; i <= FixScatter::MAX_FIXES; ++i) {
        scatter.add({48.1 + 1e-7 * static_cast<double>(i % 100), 11.5, 500}, i);
    }
    EXPECT_EQ(scatter.size(), FixScatter::MAX_FIXES);
    const ScatterFigures f = scatter.figures();
    EXPECT_EQ(f.count, FixScatter::MAX_FIXES);
    EXPECT_EQ(f.lastMs, FixScatter::MAX_FIXES - 1);
}

TEST(FixScatterTest, FixesWithoutAPlaceAreIgnoredAndHeightsOnlyWhereSent) {
    struct Case {
        std::vector<double> heights;
        double mean;
        double sigma;
    };
    const Case cases[] = {
        {{10, NAN, 14, NAN}, 12, 2},
        {{NAN, 7}, 7, 0},
        {{NAN, NAN}, NAN, NAN},
    };
    for (const Case& c : cases) {
        FixScatter scatter;
        scatter.add({NAN, 11.5, 3}, 0);
        scatter.add({48.1, INFINITY, 3}, 0);
        for (double height : c.heights) {
            scatter.add({48.1, 11.5, height}, 0);
        }
        EXPECT_EQ(scatter.size(), static_cast<std::int64_t>(c.heights.size()));
        const ScatterFigures f = scatter.figures();
        EXPECT_EQ(std::isnan(f.mean.height), std::isnan(c.mean));
        EXPECT_EQ(std::isnan(f.sigmaUp), std::isnan(c.sigma));
        if (!std::isnan(c.mean)) {
            EXPECT_DOUBLE_EQ(f.mean.height, c.mean);
            EXPECT_DOUBLE_EQ(f.sigmaUp, c.sigma);
        }
    }
}

TEST(FixScatterTest, ReferenceWithoutAPlaceIsTheMean) {
    FixScatter scatter;
    scatter.setReference(MUNICH);
    scatter.setReference({NAN, NAN, 0});
    EXPECT_FALSE(scatter.hasReference());
}

} // namespace
} // namespace veltaro
