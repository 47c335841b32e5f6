// Whole computations on the example networks: the extra points, known only in
// D48, land on their true D96 positions within the noise of the D48 data.
#include "app/izracun.h"
#include "input/prebsi.h"
#include "platform/dialogs.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <map>

using namespace kolmo;

namespace {

struct Outcome {
    AppState s;
    IzracunResult r;
};

Outcome transform(const std::string& net, int type, const std::string& end, int tip1, int tip2, int tip3)
{
    Outcome o;
    o.s.pot_prg = test::dataDir();
    o.s.t_tr.tip = type;
    o.s.vhi = prebsi(test::examplesDir() / net / (type == 1 ? "d48_gk.pod" : "d48_gk_2d.pod"));
    o.s.vhv = prebsi(test::examplesDir() / net / end);
    MainInputs in;
    in.workDir = std::filesystem::temp_directory_path();
    in.izhod = "kolmo_networks_" + std::to_string(::getpid()) + ".str";
    in.data = {"d48_gk.pod", end};
    in.tip1 = tip1;
    in.tip2 = tip2;
    in.tip3 = tip3;
    o.r = izracun(o.s, in);
    std::filesystem::remove(in.workDir / in.izhod);
    return o;
}

// Largest horizontal distance between the transformed extra points and their
// true D96/TM positions (m).
double worstExtraPoint(const std::string& net, const AppState& s)
{
    const PointSet truth = prebsi(test::examplesDir() / net / "extra_d96_tm_true.pod");
    std::map<std::string, Eigen::Index> row;
    for (std::size_t k = 0; k < s.vhi->ime.size(); ++k)
        row[s.vhi->ime[k]] = static_cast<Eigen::Index>(k);
    double worst = 0;
    for (std::size_t k = 0; k < truth.ime.size(); ++k) {
        const Eigen::Index i = row.at(truth.ime[k]);
        const double dx = s.rez->koo(i, 0) - truth.koo(static_cast<Eigen::Index>(k), 0);
        const double dy = s.rez->koo(i, 1) - truth.koo(static_cast<Eigen::Index>(k), 1);
        worst = std::max(worst, std::hypot(dx, dy));
    }
    return worst;
}

} // namespace

TEST(Networks, SpatialTransformationReachesTrueD96)
{
    platform::RecordingDialogs boxes;
    platform::ScopedDialogs scoped(boxes);
    for (const std::string net : {"local", "country"}) {
        SCOPED_TRACE(net);
        const auto o = transform(net, 1, "d96_tm.pod", 3, 2, 2);
        ASSERT_TRUE(o.r.ok) << (boxes.boxes.empty() ? "" : boxes.boxes.back().text);
        const auto& e = *o.r.est3d;
        EXPECT_LT(e.m0[0], 0.03);
        EXPECT_LT(e.m0[1], 0.04);
        for (Eigen::Index k = 0; k < e.tau.size(); ++k)
            EXPECT_LE(e.tau(k), 1.0) << "no coordinate of the example networks is a gross error";
        EXPECT_LT(worstExtraPoint(net, o.s), 0.08);
    }
}

TEST(Networks, PlaneTransformationsReachTrueD96)
{
    platform::RecordingDialogs boxes;
    platform::ScopedDialogs scoped(boxes);
    for (const std::string net : {"local", "country"})
        for (int type : {2, 3}) {
            SCOPED_TRACE(net + " type " + std::to_string(type));
            const auto o = transform(net, type, "d96_tm_2d.pod", 2, 1, 1);
            ASSERT_TRUE(o.r.ok);
            EXPECT_LT(o.r.est2d->m0, 0.03);
            EXPECT_LT(worstExtraPoint(net, o.s), 0.08);
        }
}
