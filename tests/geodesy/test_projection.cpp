#include "geodesy/dms.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/parelip.h"
#include "platform/dialogs.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <stdexcept>

using namespace kolmo;

TEST(Projection, WorkedExamples)
{
    Mat p(1, 2);
    p << 46.5, 14.5;
    Mat g = elipgk(p, 1, 2, 1);
    EXPECT_NEAR(g(0, 0), 151270.3285, 1e-4);
    EXPECT_NEAR(g(0, 1), 461622.5663, 1e-4);
    p << 46.0, 15.0;
    EXPECT_NEAR(elipgk(p, 1, 2, 1)(0, 0), 95576.3177, 1e-4);
    EXPECT_NEAR(elipgk(p, 1, 3, 1)(0, 0), 95058.9009, 1e-4);
    Mat q(1, 2);
    q << 100000, 450000;
    Mat e = gkelip(q, 1, 2, 1);
    EXPECT_NEAR(e(0, 0), 46.03797709, 1e-8);
    EXPECT_NEAR(e(0, 1), 14.35402593, 1e-8);
    Mat c(1, 3);
    c << 46, 15, 300;
    Mat k = elipkart(c, 1, 2);
    EXPECT_NEAR(k(0, 0), 4287289.3120, 1e-4);
    EXPECT_NEAR(k(0, 1), 1148775.7089, 1e-4);
    EXPECT_NEAR(k(0, 2), 4565463.3427, 1e-4);
}

namespace {

Mat row(std::initializer_list<double> v)
{
    Mat m(1, static_cast<Eigen::Index>(v.size()));
    Eigen::Index j = 0;
    for (double x : v)
        m(0, j++) = x;
    return m;
}

const platform::Box kZoneBox{platform::Box::Error, "Izven obmocja 5.cone GK!", "Napaka"};

} // namespace

TEST(Ellipsoids, DerivedParameters)
{
    const Ellipsoid grs = parelip(2);
    EXPECT_NEAR(grs.b, 6356752.314140, 1e-6);
    const double e2sq = grs.e * grs.e;
    EXPECT_NEAR(grs.e2, std::sqrt(e2sq / (1 - e2sq)), 1e-15);
    const Ellipsoid bes = parelip(3);
    EXPECT_EQ(bes.a, 6377397.155);
    EXPECT_DOUBLE_EQ(bes.b, 6377397.155 * (1 - 1 / 299.1528128533));
    // WGS-84 and GRS-80 differ only in the flattening, by a fraction of a millimetre in b.
    EXPECT_NEAR(parelip(1).b - grs.b, 0.0001, 0.0001);
    EXPECT_THROW(parelip(4), std::invalid_argument);
    EXPECT_STREQ(ellipsoidName(3), "Bessel");
}

TEST(Ellipsoids, DmsFloorsTowardMinusInfinity)
{
    auto near = [](std::array<double, 3> got, double d, double m, double s) {
        EXPECT_EQ(got[0], d);
        EXPECT_EQ(got[1], m);
        EXPECT_NEAR(got[2], s, 1e-9);
    };
    near(dms(46.5), 46, 30, 0);
    near(dms(14.2096), 14, 12, 34.56);
    near(dms(-0.5), -1, 30, 0);
    near(dms(-14.2096), -15, 47, 25.44);
    // A hair below a whole minute: no carry, seconds just below 60.
    const auto s = dms(46.0 + 1.0 / 60 - 1e-12);
    EXPECT_EQ(s[1], 0);
    EXPECT_GT(s[2], 59.99);
    EXPECT_LT(s[2], 60.0);
}

TEST(Cartesian, WorkedExamplesOnBothEllipsoids)
{
    const Mat p = row({46, 15, 300});
    const Mat g = elipkart(p, 1, 2);
    ASSERT_EQ(g.rows(), 1);
    ASSERT_EQ(g.cols(), 3);
    EXPECT_NEAR(g(0, 0), 4287289.3120, 1e-4);
    EXPECT_NEAR(g(0, 1), 1148775.7089, 1e-4);
    EXPECT_NEAR(g(0, 2), 4565463.3427, 1e-4);
    const Mat b = elipkart(p, 1, 3);
    EXPECT_NEAR(b(0, 0), 4286769.7559, 1e-4);
    EXPECT_NEAR(b(0, 1), 1148636.4942, 1e-4);
    EXPECT_NEAR(b(0, 2), 4565002.0212, 1e-4);
}

TEST(Cartesian, RoundTripReadsOnlyThreeColumnsAndNRows)
{
    Mat p(4, 5);
    p << 46.0, 15.0, 300.0, 9, 9,  //
        45.4, 13.4, 0.0, 9, 9,     //
        46.9, 16.6, 2864.0, 9, 9,  //
        0, 0, 0, 0, 0;             // beyond n
    for (int elip : {1, 2, 3}) {
        const Mat k = elipkart(p, 3, elip);
        ASSERT_EQ(k.rows(), 3);
        const Mat e = kartelip(k, 3, elip);
        ASSERT_EQ(e.cols(), 3);
        for (Eigen::Index i = 0; i < 3; ++i) {
            EXPECT_NEAR(e(i, 0), p(i, 0), 1e-9);
            EXPECT_NEAR(e(i, 1), p(i, 1), 1e-9);
            EXPECT_NEAR(e(i, 2), p(i, 2), 1e-4);
        }
    }
}

TEST(Cartesian, LongitudeQuadrantsAndEquator)
{
    const double a = parelip(2).a;
    Mat k(5, 3);
    k << -4e6, 1e6, 4e6,   // X < 0, Y > 0
        -4e6, -1e6, 4e6,   // X < 0, Y < 0
        4e6, -1e6, 4e6,    // X > 0, Y < 0
        4e6, 1e6, 4e6,     // first quadrant
        3e6, 4e6, 0;       // equator plane
    const Mat e = kartelip(k, 5, 2);
    EXPECT_GT(e(0, 1), 90);
    EXPECT_LT(e(0, 1), 180);
    EXPECT_GT(e(1, 1), 180);
    EXPECT_LT(e(1, 1), 270);
    EXPECT_GT(e(2, 1), 270);
    EXPECT_LT(e(2, 1), 360);
    EXPECT_NEAR(e(3, 1), std::atan(0.25) * 180 / kPi, 1e-12);
    EXPECT_EQ(e(4, 0), 0.0);
    EXPECT_NEAR(e(4, 2), 5e6 - a, 1e-6);
    // On the Y-Z plane the direction is still defined.
    const Mat yz = kartelip(row({0, 5e6, 1e6}), 1, 2);
    EXPECT_DOUBLE_EQ(yz(0, 1), 90.0);
    // Just below the X axis: 2 pi after rounding must not come out as 360.
    Mat edge(2, 3);
    edge << 4e6, -1e-10, 4e6, 4e6, -0.0, 4e6;
    const Mat le = kartelip(edge, 2, 2);
    for (Eigen::Index i = 0; i < 2; ++i) {
        EXPECT_GE(le(i, 1), 0.0);
        EXPECT_LT(le(i, 1), 360.0);
        EXPECT_FALSE(std::signbit(le(i, 1)));
    }
}

TEST(Cartesian, MorePointsThanRowsIsRefused)
{
    EXPECT_THROW(elipkart(row({46, 15, 300}), 2, 2), std::invalid_argument);
    EXPECT_THROW(kartelip(row({4e6, 1e6, 4e6}), 2, 2), std::invalid_argument);
    EXPECT_THROW(elipgk(row({46, 15}), 2, 2, 1), std::invalid_argument);
    EXPECT_THROW(gkelip(row({100000}), 1, 2, 1), std::invalid_argument);
    EXPECT_EQ(elipgk(Mat(0, 2), 0, 2, 1).rows(), 0);
}

TEST(Cartesian, TooFewColumnsShowsBoxAndReturnsEmpty)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    EXPECT_EQ(elipkart(row({46, 15}), 1, 2).size(), 0);
    EXPECT_EQ(kartelip(row({4e6, 1e6}), 1, 2).size(), 0);
    const platform::Box box{platform::Box::Error, "Premalo stevilo stolpcev v podatkih!", "Napaka"};
    EXPECT_EQ(rec.boxes, (std::vector<platform::Box>{box, box}));
}

TEST(Projection, RoundTripAcrossTheZone)
{
    for (int elip : {2, 3}) {
        Mat p(0, 2);
        for (double fi = 45.3; fi <= 46.95; fi += 0.25)
            for (double la = 13.25; la <= 16.75; la += 0.25) {
                p.conservativeResize(p.rows() + 1, 2);
                p.row(p.rows() - 1) << fi, la;
            }
        const Mat g = elipgk(p, p.rows(), elip, 1);
        ASSERT_EQ(g.rows(), p.rows());
        const Mat back = gkelip(g, g.rows(), elip, 1);
        ASSERT_EQ(back.rows(), p.rows());
        EXPECT_LT((back - p).cwiseAbs().maxCoeff(), 1e-9) << "elip " << elip;
    }
}

TEST(Projection, CentralMeridianAndScale)
{
    const Mat g = elipgk(row({46, 15}), 1, 2, 1);
    EXPECT_EQ(g(0, 1), 500000.0);
    // Without the scale 0.9999 the northing grows by 1/0.9999.
    const Mat u = elipgk(row({46, 15}), 1, 2, 0);
    EXPECT_NEAR(u(0, 0) + 5000000, (g(0, 0) + 5000000) / 0.9999, 1e-6);
    const Mat back = gkelip(u, 1, 2, 0);
    EXPECT_NEAR(back(0, 0), 46.0, 1e-9);
    EXPECT_NEAR(back(0, 1), 15.0, 1e-12);
}

TEST(Projection, ZoneEdgesStopWithBoxAndPartialResult)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    EXPECT_EQ(elipgk(row({46, 16.75}), 1, 2, 1).rows(), 1);
    EXPECT_EQ(elipgk(row({46, 13.25}), 1, 3, 1).rows(), 1);
    EXPECT_EQ(gkelip(row({100000, 638000}), 1, 2, 1).rows(), 1);
    EXPECT_EQ(gkelip(row({100000, 362000}), 1, 3, 1).rows(), 1);
    EXPECT_TRUE(rec.boxes.empty());

    EXPECT_EQ(elipgk(row({46, 16.7501}), 1, 2, 1).rows(), 0);
    EXPECT_EQ(gkelip(row({100000, 638000.01}), 1, 2, 1).rows(), 0);
    EXPECT_EQ(gkelip(row({100000, 361999.99}), 1, 2, 1).rows(), 0);
    EXPECT_EQ(rec.boxes, (std::vector<platform::Box>{kZoneBox, kZoneBox, kZoneBox}));

    rec.boxes.clear();
    Mat three(3, 2);
    three << 46, 15, 46, 17, 46, 14;
    const Mat g = elipgk(three, 3, 2, 1);
    ASSERT_EQ(g.rows(), 1);
    EXPECT_EQ(g.cols(), 2);
    EXPECT_EQ(g(0, 1), 500000.0);
    Mat planes(3, 2);
    planes << 100000, 500000, 100000, 700000, 100000, 450000;
    EXPECT_EQ(gkelip(planes, 3, 2, 1).rows(), 1);
    EXPECT_EQ(rec.boxes, (std::vector<platform::Box>{kZoneBox, kZoneBox}));
}

TEST(Projection, TmelipEqualsGkelipOnGrs80AndKeepsTheLastRow)
{
    const Mat p = row({100000, 450000});
    const auto [fi, la] = tmelip(p);
    const Mat g = gkelip(p, 1, 2, 1);
    EXPECT_EQ(fi, g(0, 0));
    EXPECT_EQ(la, g(0, 1));
    Mat two(2, 2);
    two << 50000, 600000, 100000, 450000;
    EXPECT_EQ(tmelip(two), std::make_pair(fi, la));
    // No zone check.
    const auto [fo, lo] = tmelip(row({100000, 700000}));
    EXPECT_GT(lo, 17.0);
    EXPECT_GT(fo, 45.0);
}

// Cartesian -> ellipsoidal on and near the polar axis.  Fault pinned down:
// (0, 0, 6356752.314) came out as latitude -90 with h = -6 399 593 m, a point
// 1 mm from the axis had h wrong by 1.4 m, and (0, 0, 0) gave NaN.
TEST(CartesianToEllipsoidal, PolarAxis)
{
    for (int elip : {1, 2, 3}) {
        SCOPED_TRACE(elip);
        const Ellipsoid el = parelip(elip);
        Mat pole(2, 3);
        pole << 0, 0, el.b + 12.5, 0, 0, -el.b;
        const Mat e = kartelip(pole, 2, elip);
        EXPECT_EQ(e(0, 0), 90.0);
        EXPECT_NEAR(e(0, 2), 12.5, 1e-9);
        EXPECT_EQ(e(1, 0), -90.0);
        EXPECT_NEAR(e(1, 2), 0.0, 1e-9);
    }
    Mat given(1, 3);
    given << 0, 0, 6356752.314;
    EXPECT_NEAR(kartelip(given, 1, 2)(0, 2), 0.0, 1e-3) << "GRS-80 b = 6356752.31414 m";

    // Points close to the pole, 1 mm, 1 m and 1 km from the axis, in all four
    // quadrants, heights from -100 m to 10 km: made by elipkart from known
    // latitude, longitude and height, which kartelip must give back (0.1 mm in
    // height, 1e-9 deg in latitude, about 0.1 mm on the ground).
    for (const double offAxis : {0.001, 1.0, 1000.0})
        for (const double h : {-100.0, 0.0, 10000.0})
            for (const double la : {0.0, 100.0, 200.0, 300.0}) {
                Mat point(1, 3);
                point << 90.0 - offAxis / 6.4e6 * 180.0 / kPi, la, h;
                const Mat k = elipkart(point, 1, 2);
                const Mat e = kartelip(k, 1, 2);
                EXPECT_NEAR(e(0, 0), point(0, 0), 1e-9) << offAxis << " m off the axis, h " << h << ", la " << la;
                EXPECT_NEAR(e(0, 2), h, 1e-4) << offAxis << " m off the axis, h " << h << ", la " << la;
                EXPECT_LT((elipkart(e, 1, 2) - k).norm(), 1e-4);
            }

    Mat centre(2, 3);
    centre << 4287289.3120, 1148775.7089, 4565463.3427, 0, 0, 0;
    try {
        kartelip(centre, 2, 2);
        ADD_FAILURE() << "the centre of the Earth was converted";
    } catch (const ComputationError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cartesian point 2 is the centre of the Earth (0, 0, 0): it has no latitude and no height");
    }
}
