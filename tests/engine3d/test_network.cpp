// Estimation on the local example network (12 common points around
// Ljubljana, D48/GK -> D96/TM, 1-3 cm noise on the D48 side): m0 near the
// noise, and the eight extra points N01..N08 within a few cm of their true
// D96/TM positions.
#include "engine/par3d_7.h"
#include "engine/tran3d_7.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

using namespace kolmo;

namespace {

// Name and three numbers per line; enough for the example files.
PointSet readPod(const std::filesystem::path& file)
{
    std::ifstream in(file);
    PointSet p;
    std::vector<double> v;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string name;
        double x, y, h;
        if (ls >> name >> x >> y >> h) {
            p.ime.push_back(name);
            v.insert(v.end(), {x, y, h});
        }
    }
    p.koo = Eigen::Map<Eigen::Matrix<double, Eigen::Dynamic, 3, Eigen::RowMajor>>(v.data(), v.size() / 3, 3);
    return p;
}

// Plane -> ellipsoidal -> Cartesian, heights from the file, unit weights.
void prepare(PointSet& p, int tip, int eli)
{
    const Eigen::Index n = p.size();
    p.tip = tip;
    p.eli = eli;
    p.ek = p.koo;
    p.ek.leftCols(2) = gkelip(p.koo.leftCols(2), n, eli, 1);
    p.kk.resize(n, 6);
    p.kk.leftCols(3) = elipkart(p.ek, n, eli);
    p.kk.rightCols(3).setOnes();
    p.koo.conservativeResize(Eigen::NoChange, 6);
    p.koo.rightCols(3).setOnes();
}

} // namespace

TEST(Network, LocalExampleGkToTm)
{
    const auto dir = test::examplesDir() / "local";
    PointSet vhi = readPod(dir / "d48_gk.pod");
    PointSet vhv = readPod(dir / "d96_tm.pod");
    const PointSet truth = readPod(dir / "extra_d96_tm_true.pod");
    ASSERT_EQ(vhi.size(), 20);
    ASSERT_EQ(vhv.size(), 12);
    ASSERT_EQ(truth.size(), 8);
    prepare(vhi, 3, 3);
    prepare(vhv, 2, 2);

    const Par3dResult r = par3d_7(vhi, vhv);
    EXPECT_EQ(r.vezne.ime.size(), 12u);
    EXPECT_EQ(r.iter, 2);
    EXPECT_NEAR(r.m0[0], 0.020, 0.002);
    EXPECT_NEAR(r.m0[1], 0.026, 0.002);
    EXPECT_TRUE((r.tau.array() < 1).all()) << "no coordinate of the example is a gross error";
    // The example's D48 side was made with EPSG 8689 (D96 -> D48); the
    // translation of the inverse is near (476, 126, 418) m, but over a
    // 15 km network rotations and translation trade off: only the shift at
    // the network matters, checked below through the extra points.

    Rez rez;
    rez.tip = 2;
    TTr t;
    t.vis = 4;
    const Rez out = tran3d_7(vhi, vhv, rez, r.PAR, t, test::dataDir());
    // The D48 coordinates carry 1-3 cm of noise each, so a point's error is
    // its own noise plus that of the fit: all within 8 cm (N05, at the edge
    // of the network, 6.3 cm), 4 cm in the mean square.
    double sum2 = 0;
    for (Eigen::Index k = 0; k < truth.size(); ++k) {
        const auto it = std::find(vhi.ime.begin(), vhi.ime.end(), truth.ime[k]);
        ASSERT_NE(it, vhi.ime.end());
        const Eigen::Index i = it - vhi.ime.begin();
        const double d = (out.gk.row(i).head(2) - truth.koo.row(k).head(2)).norm();
        EXPECT_LT(d, 0.08) << truth.ime[k];
        sum2 += d * d;
    }
    EXPECT_LT(std::sqrt(sum2 / 8), 0.04);
}
