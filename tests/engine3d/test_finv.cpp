// F quantile and the beta routines under it.  Reference values: printed
// tables of the F distribution (four decimals) and the closed forms
// F(1, 1) median = 1, Beta(2, 2) median = 1/2; the tau-test critical values
// checked elsewhere need the far tail finv(1 - 0.05/9, 1, 1) ~ 13130.56.
#include "engine/finv.h"
#include "platform/dialogs.h"

#include <boost/math/distributions/fisher_f.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace kolmo;

TEST(Finv, TableValues)
{
    EXPECT_NEAR(finv(0.95, 1, 10), 4.9646, 5e-5);
    EXPECT_NEAR(finv(0.99, 2, 20), 5.8489, 5e-5);
    EXPECT_NEAR(finv(0.5, 1, 1), 1.0, 1e-9);
    EXPECT_NEAR(finv(1 - 0.05 / 9, 1, 1), 13130.56, 0.01);
    EXPECT_NEAR(finv(1 - 0.05 / 12, 1, 4), 34.6368, 1e-4);
    EXPECT_NEAR(finv(1 - 0.05 / 30, 1, 22), 12.8224, 1e-4);
}

// The quantile inverts the distribution function: I_x(v1/2, v2/2) at
// x = v1 F / (v1 F + v2) gives p back.
TEST(Finv, RoundTripThroughBetacdf)
{
    for (double p : {0.01, 0.3, 0.9, 0.999})
        for (double v1 : {1.0, 3.0, 12.0})
            for (double v2 : {2.0, 7.0, 40.0}) {
                const double F = finv(p, v1, v2);
                EXPECT_NEAR(betacdf(v1 * F / (v1 * F + v2), v1 / 2, v2 / 2), p, 1e-8)
                    << "p " << p << " v1 " << v1 << " v2 " << v2;
            }
}

TEST(Finv, BoundsAndInvalidArguments)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(finv(1, 1, 5), inf);
    EXPECT_EQ(finv(0, 1, 5), 0.0);
    EXPECT_EQ(finv(-0.5, 1, 5), 0.0);
    EXPECT_EQ(finv(1.5, 1, 5), 0.0);
    EXPECT_TRUE(std::isnan(finv(0.5, 0, 5)));
    EXPECT_TRUE(std::isnan(finv(0.5, 3, -1)));
    EXPECT_TRUE(std::isnan(finv(std::nan(""), 1, 5)));
    // A NaN degree of freedom is no valid distribution: NaN, not 0.
    EXPECT_TRUE(std::isnan(finv(0.5, std::nan(""), 5)));
}

TEST(Betainv, Values)
{
    EXPECT_NEAR(betainv(0.5, 2, 2), 0.5, 1e-12);
    EXPECT_EQ(betainv(0, 2, 3), 0.0);
    EXPECT_EQ(betainv(1, 2, 3), 1.0);
    EXPECT_TRUE(std::isnan(betainv(-0.1, 2, 3)));
    EXPECT_TRUE(std::isnan(betainv(0.5, 0, 3)));
    // Beta(1, 1) is uniform, Beta(a, 1) has I_x = x^a.
    EXPECT_NEAR(betainv(0.3, 1, 1), 0.3, 1e-10);
    EXPECT_NEAR(betainv(0.2, 3, 1), std::cbrt(0.2), 1e-10);
}

// The range the tau test uses: p = 1 - 0.05 / 3n, v1 = 1, v2 = 3n - 8, for
// 3 to 100 000 common points; reference Boost.Math's F-distribution quantile
// (its own inversion, not this Newton iteration).
TEST(Finv, TauTestRangeAgainstBoostQuantile)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs guard(rec);
    for (double n : {3.0, 4.0, 10.0, 100.0, 1000.0, 1e5}) {
        const double p = 1 - 0.05 / (3 * n), v2 = 3 * n - 8;
        const double ref = boost::math::quantile(boost::math::fisher_f_distribution<double>(1, v2), p);
        EXPECT_NEAR(finv(p, 1, v2), ref, 1e-7 * ref) << "n " << n;
    }
    EXPECT_TRUE(rec.consoleText.empty()) << rec.consoleText;
}

TEST(Betacdf, BetapdfEdges)
{
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(betacdf(-1, 2, 2), 0.0);
    EXPECT_EQ(betacdf(1, 2, 2), 1.0);
    EXPECT_NEAR(betacdf(0.5, 2, 2), 0.5, 1e-15);
    EXPECT_TRUE(std::isnan(betacdf(0.5, -1, 2)));
    EXPECT_EQ(betapdf(0, 0.5, 2), inf);
    EXPECT_EQ(betapdf(1, 2, 0.5), inf);
    EXPECT_EQ(betapdf(0, 2, 2), 0.0);
    EXPECT_NEAR(betapdf(0.5, 2, 2), 1.5, 1e-13); // 6 x (1 - x)
}

TEST(Distchck, ExpandsScalarsAndRejectsMismatch)
{
    Arr p(2, 1), v(2, 1), bad(3, 1);
    p << 0.95, 0.99;
    v << 10, 20;
    bad << 1, 2, 3;
    const DistArgs d = distchck(3, {p, Arr::Constant(1, 1, 1.0), v});
    EXPECT_EQ(d.errorcode, 0);
    EXPECT_EQ(d.args[1].rows(), 2);
    EXPECT_EQ(d.args[1](1), 1.0);
    EXPECT_EQ(distchck(3, {p, bad, v}).errorcode, 1);
    const Arr f = finv(p, Arr::Constant(1, 1, 1.0), v);
    EXPECT_NEAR(f(0), 4.9646, 5e-5);
    EXPECT_NEAR(f(1), finv(0.99, 1, 20), 1e-12);
    EXPECT_THROW(finv(p, bad, v), std::invalid_argument);
}
