// tran3d and tran3d_7: the rotation convention, the reduced parameter sets,
// the end ellipsoid, the height options.
#include "engine/tran3d.h"
#include "engine/tran3d_7.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/interg.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kolmo;

namespace {

Mat points()
{
    Mat X(3, 6);
    X << 4293067.344, 1111457.708, 4569581.355, 1, 1, 1, //
        4287557.784, 1116560.145, 4573200.664, 1, 1, 1,   //
        4200000.0, 1150000.0, 4700000.0, 1, 1, 1;
    return X;
}

Vec params(std::initializer_list<double> v)
{
    Vec p(static_cast<Eigen::Index>(v.size()));
    Eigen::Index k = 0;
    for (double x : v)
        p(k++) = x;
    return p;
}

} // namespace

// R = R3(gama) R2(beta) R1(alfa) built from the elementary rotations agrees
// with the written-out D11..D33, and is orthonormal.
TEST(Tran3d, RotationMatchesElementaryProduct)
{
    const double a = 0.3, b = -0.7, g = 1.1;
    Eigen::Matrix3d R1, R2, R3;
    R1 << 1, 0, 0, 0, std::cos(a), std::sin(a), 0, -std::sin(a), std::cos(a);
    R2 << std::cos(b), 0, -std::sin(b), 0, 1, 0, std::sin(b), 0, std::cos(b);
    R3 << std::cos(g), std::sin(g), 0, -std::sin(g), std::cos(g), 0, 0, 0, 1;
    const Eigen::Matrix3d R = rot3d(a, b, g);
    EXPECT_LT((R - R3 * R2 * R1).cwiseAbs().maxCoeff(), 1e-15);
    EXPECT_LT((R * R.transpose() - Eigen::Matrix3d::Identity()).cwiseAbs().maxCoeff(), 1e-15);
}

TEST(Tran3d, ParameterSets)
{
    const Mat X = points();
    EXPECT_EQ(tran3d(X, Vec::Zero(7), 7), X.leftCols(3));

    // gama = 1" alone: (Y, -X, 0) * 4.848e-6, to second order (X 4.8e-6^2 / 2 ~ 5e-5 m).
    const Mat g = tran3d(X, params({0, 0, 0, 0, 0, 1, 0}), 7) - X.leftCols(3);
    const double r = 4.84813681e-6;
    for (Eigen::Index i = 0; i < X.rows(); ++i) {
        EXPECT_NEAR(g(i, 0), X(i, 1) * r, 1e-4);
        EXPECT_NEAR(g(i, 1), -X(i, 0) * r, 1e-4);
        EXPECT_EQ(g(i, 2), 0.0);
    }

    // Three: translation only; four: the fourth is a scale in ppm.
    const Mat t3 = tran3d(X, params({1, 2, 3}), 3);
    EXPECT_EQ(t3.col(1), (X.col(1).array() + 2).matrix());
    const Mat t4 = tran3d(X, params({1, 2, 3, 10}), 4);
    for (Eigen::Index i = 0; i < X.rows(); ++i)
        EXPECT_NEAR(t4(i, 2), 3 + X(i, 2) * (1 + 10e-6), 1e-8);

    // Six ignores a seventh element; seven with scale 0 ppm is the same.
    const Mat t6 = tran3d(X, params({400, 100, 450, -4, -2, 12, 99}), 6);
    EXPECT_EQ(t6, tran3d(X, params({400, 100, 450, -4, -2, 12, 0}), 7));
    EXPECT_THROW(tran3d(X, params({1, 2, 3, 4, 5}), 5), std::invalid_argument);
    EXPECT_THROW(tran3d(X, params({1, 2, 3}), 7), std::invalid_argument);
}

namespace {

// Start points on Bessel near Ljubljana, as the preparation leaves them.
PointSet startPoints()
{
    PointSet p;
    p.tip = 3;
    p.eli = 3;
    p.koo.resize(3, 6);
    p.koo << 100882.7351, 462835.5927, 542.6612, 1, 1, 1, //
        94336.3736, 455002.8605, 562.5806, 1, 1, 1,       //
        106274.6788, 469187.8866, 339.7457, 1, 1, 1;
    p.ek = p.koo;
    p.ek.leftCols(2) = gkelip(p.koo.leftCols(2), 3, 3, 1);
    p.kk = p.koo;
    p.kk.leftCols(3) = elipkart(p.ek.leftCols(3), 3, 3);
    p.ime = {"LJ01", "LJ02", "LJ03"};
    return p;
}

const Vec kEpsg = params({476.08, 125.947, 417.81, -4.610862, -2.388137, 11.942335, 9.896638});

} // namespace

TEST(Tran3d7, PlaneOutputOnGrs80WithTransformedHeight)
{
    const PointSet vhi = startPoints();
    PointSet vhv;
    vhv.tip = 2;
    Rez rez;
    rez.tip = 2;
    TTr t;
    t.vis = 3;
    const Rez out = tran3d_7(vhi, vhv, rez, kEpsg, t, test::dataDir());
    EXPECT_EQ(out.eli, 2);
    EXPECT_EQ(out.tip, 2);
    EXPECT_EQ(out.kk, tran3d(vhi.kk, kEpsg, 7));
    EXPECT_EQ(out.ek, kartelip(out.kk, 3, 2));
    EXPECT_EQ(out.gk.cols(), 3);
    EXPECT_EQ(out.gk.leftCols(2), elipgk(out.ek.leftCols(2), 3, 2, 1));
    EXPECT_EQ(out.gk.col(2), out.ek.col(2));
    EXPECT_EQ(out.koo, out.gk);
    // Near LJ01 D96/TM: 101369.04, 462464.62 (the datum shift is ~500 m).
    EXPECT_NEAR(out.gk(0, 0), 101369.04, 0.5);
    EXPECT_NEAR(out.gk(0, 1), 462464.62, 0.5);
}

// A D48/GK end type projects on Bessel: the ellipsoidal output lies on it
// (elipkart on Bessel gives the transformed X, Y, Z back).
TEST(Tran3d7, D48EndTypeUsesBessel)
{
    PointSet vhi = startPoints();
    PointSet vhv;
    vhv.tip = 3;
    Rez rez;
    rez.tip = 1;
    TTr t;
    t.vis = 4;
    const Rez out = tran3d_7(vhi, vhv, rez, kEpsg, t, test::dataDir());
    EXPECT_EQ(out.eli, 3);
    EXPECT_LT((elipkart(out.ek, 3, 3) - out.kk).cwiseAbs().maxCoeff(), 1e-3);
    EXPECT_GT((elipkart(out.ek, 3, 2) - out.kk).cwiseAbs().maxCoeff(), 10.0);
    EXPECT_EQ(out.gk.col(2), vhi.koo.col(2)); // option 4: start heights unchanged
    EXPECT_EQ(out.koo, out.ek);               // ellipsoidal output
}

TEST(Tran3d7, OutsideZoneThrowsAfterProjectionBox)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs guard(rec);
    PointSet vhi = startPoints();
    PointSet vhv;
    vhv.tip = 2;
    Rez rez;
    rez.tip = 2;
    TTr t;
    t.vis = 3;
    // 3 degrees of longitude by a rotation about Z: outside 13.25 .. 16.75.
    const Vec far = params({0, 0, 0, 0, 0, -3 * 3600.0, 0});
    EXPECT_THROW(tran3d_7(vhi, vhv, rez, far, t, test::dataDir()), ComputationError);
    ASSERT_EQ(rec.boxes.size(), 1u);
    EXPECT_EQ(rec.boxes[0].text, "Izven obmocja 5.cone GK!");
}

TEST(Tran3d7, GeoidHeightsForOptionsOneAndTwo)
{
    if (!std::filesystem::exists(test::dataDir() / "HREF_SVS2010.mat"))
        GTEST_SKIP() << "no geoid model in " << test::dataDir();
    const PointSet vhi = startPoints();
    PointSet vhv;
    vhv.tip = 2;
    Rez rez;
    rez.tip = 2;
    for (int vis : {1, 2}) {
        TTr t;
        t.vis = vis;
        t.geoid = 1;
        const Rez out = tran3d_7(vhi, vhv, rez, kEpsg, t, test::dataDir());
        ASSERT_EQ(out.gk.cols(), 4);
        for (Eigen::Index i = 0; i < 3; ++i) {
            const double N = interg(vhi.ek(i, 0), vhi.ek(i, 1), 1, test::dataDir());
            EXPECT_EQ(out.gk(i, 3), N);
            EXPECT_EQ(out.gk(i, 2), vhi.koo(i, 2) - N);
        }
    }
}
