#include "tools/fixed_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

using namespace kolmo;

namespace {

std::string viaPrintf(double v, int w, int p)
{
    char buf[512];
    std::snprintf(buf, sizeof buf, "%*.*f", w, p, v);
    return buf;
}

std::string viaAppend(double v, int w, int p)
{
    std::string s;
    appendFixed(s, v, w, p);
    return s;
}

} // namespace

TEST(FixedText, WritesWhatPrintfWrites)
{
    // Binary ties and near-ties, signs, zero, widths too narrow, huge values.
    for (double v : {0.0, -0.0, 0.0005, 0.0015, 2.5e-4, 0.125, -0.125, 1.0005, 151270.3285, 95576.31775,
                     -5000000.0, 4565463.34274999, 1e15 + 0.5, 1.7976931348623157e308, -1e-300})
        for (int p : {3, 9})
            for (int w : {0, 10, 12, 14})
                EXPECT_EQ(viaAppend(v, w, p), viaPrintf(v, w, p)) << v;

    std::mt19937_64 rng(46);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-6, 8);
    for (int i = 0; i < 200000; ++i) {
        const double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        ASSERT_EQ(viaAppend(v, 12, 3), viaPrintf(v, 12, 3)) << v;
        ASSERT_EQ(viaAppend(v, 14, 9), viaPrintf(v, 14, 9)) << v;
    }
}

TEST(FixedText, PaddedNamesAsPercentMinusS)
{
    std::string s;
    appendPadded(s, "T1", 12);
    appendPadded(s, "\xC8" "EPNA_TOCKA_DOLGA", 12);
    EXPECT_EQ(s, "T1          \xC8" "EPNA_TOCKA_DOLGA");
}
