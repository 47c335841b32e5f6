// Outline of the transformation area: gift wrapping by direction angles.
// Rows are (column 1, column 2) = (easting, northing) as the plots pass them.
#include "engine/obod_izr.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

using namespace kolmo;

namespace {

Mat rows(std::initializer_list<std::pair<double, double>> pts)
{
    Mat A(static_cast<Eigen::Index>(pts.size()), 2);
    Eigen::Index r = 0;
    for (const auto& [a, b] : pts)
        A.row(r++) << a, b;
    return A;
}

void expectRing(const Obod& o, const Mat& expected, double pov)
{
    ASSERT_EQ(o.obodne.rows(), expected.rows()) << o.obodne;
    EXPECT_EQ(o.obodne, expected) << o.obodne;
    EXPECT_DOUBLE_EQ(o.pov, pov);
}

} // namespace

// Interior points are left out; the travel direction makes the area positive.
TEST(ObodIzr, RectangleWithInteriorPoints)
{
    const Obod o = obod_izr(rows({{0, 0}, {1000, 0}, {1000, 2000}, {0, 2000}, {500, 700}, {200, 1500}}));
    expectRing(o, rows({{0, 0}, {0, 2000}, {1000, 2000}, {1000, 0}, {0, 0}}), 2'000'000);
}

// A point exactly in the direction of the previous edge is never taken, and
// of points in one direction the lowest row index wins: the listed order
// decides whether the corner (1000, 2000) belongs to the outline.
TEST(ObodIzr, TiesInDirectionGoToTheLowestRow)
{
    expectRing(obod_izr(rows({{0, 0}, {500, 2000}, {1000, 0}, {1000, 2000}, {0, 2000}})),
               rows({{0, 0}, {0, 2000}, {500, 2000}, {1000, 0}, {0, 0}}), 1'500'000);
    expectRing(obod_izr(rows({{0, 0}, {1000, 2000}, {500, 2000}, {1000, 0}, {0, 2000}})),
               rows({{0, 0}, {0, 2000}, {1000, 2000}, {1000, 0}, {0, 0}}), 2'000'000);
}

// Regression: when the start point has another point with the same smallest
// column-1 value below it, the march comes back along the western edge in the
// direction of the very first edge, no candidate turns beyond it and the
// search never reached the start again.  It must end and close the ring.
TEST(ObodIzr, SeveralPointsShareTheSmallestValue)
{
    const Obod o = obod_izr(rows({{5, 5}, {0, 5}, {10, 0}, {0, 0}, {10, 10}, {0, 10}}));
    expectRing(o, rows({{0, 5}, {0, 10}, {10, 10}, {10, 0}, {0, 0}, {0, 5}}), 100);

    // A regular grid, every point sharing coordinates with others.  The tie
    // rules cut corners: from (0, 0) the first edge goes to (0, 1), and from
    // there (0, 2) and (0, 3) lie in the direction of that edge.  Regression:
    // from (2, 0) the least turn leads back to (0, 1), already on the outline,
    // after which no candidate remains; the march must end there and close.
    Mat grid(16, 2);
    for (int i = 0; i < 16; ++i)
        grid.row(i) << 3 - i / 4, i % 4; // the first row with column 1 = 0 is (0, 0)
    expectRing(obod_izr(grid), rows({{0, 0}, {0, 1}, {1, 3}, {3, 3}, {3, 0}, {2, 0}, {0, 0}}), 8);
}

// Inputs with no area end with a closed degenerate ring and pov = 0.
TEST(ObodIzr, DegenerateInputsEnd)
{
    EXPECT_EQ(obod_izr(Mat(0, 2)).obodne.rows(), 0);
    expectRing(obod_izr(rows({{3, 4}})), rows({{3, 4}, {3, 4}}), 0);
    expectRing(obod_izr(rows({{3, 4}, {3, 4}, {3, 4}})), rows({{3, 4}, {3, 4}}), 0);
    expectRing(obod_izr(rows({{3, 4}, {1, 2}})), rows({{1, 2}, {3, 4}, {1, 2}}), 0);
    // Collinear: the segment between the start and the farthest point, with
    // interior points, duplicates and either order of the ends.
    expectRing(obod_izr(rows({{0, 0}, {1, 1}, {2, 2}, {1, 1}})), rows({{0, 0}, {2, 2}, {0, 0}}), 0);
    expectRing(obod_izr(rows({{2, 2}, {1, 1}, {0, 0}})), rows({{0, 0}, {2, 2}, {0, 0}}), 0);
    expectRing(obod_izr(rows({{5, 0}, {5, 7}, {5, 3}})), rows({{5, 0}, {5, 7}, {5, 0}}), 0);
    // Copies of the start point are not a direction.
    expectRing(obod_izr(rows({{0, 0}, {0, 0}, {1, 0}, {0, 1}})), rows({{0, 0}, {0, 1}, {1, 0}, {0, 0}}), 0.5);
}
