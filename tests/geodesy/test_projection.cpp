#include "geodesy/dms.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/parelip.h"
#include "platform/dialogs.h"

#include <gtest/gtest.h>

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
