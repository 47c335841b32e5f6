// The computation's checks and what it leaves in AppState.
#include "app/izracun.h"
#include "app/t_priprava.h"
#include "platform/dialogs.h"
#include "support/paths.h"

#include <gtest/gtest.h>

using namespace kolmo;
using platform::Box;

namespace {

PointSet points(std::initializer_list<const char*> names, std::initializer_list<std::initializer_list<double>> rows)
{
    PointSet p;
    for (const char* n : names)
        p.ime.emplace_back(n);
    p.koo.resize(static_cast<Eigen::Index>(rows.size()), static_cast<Eigen::Index>(rows.begin()->size()));
    Eigen::Index r = 0;
    for (const auto& row : rows) {
        Eigen::Index c = 0;
        for (double v : row)
            p.koo(r, c++) = v;
        ++r;
    }
    return p;
}

// A D48/GK network and its D96/TM counterpart.
PointSet d48()
{
    return points({"A", "B", "C", "D", "E"}, {{100000, 460000, 300}, {104000, 462000, 310}, {101000, 466000, 320},
                                              {97000, 463000, 330}, {102000, 458000, 340}});
}

PointSet d96()
{
    PointSet p = d48();
    // x' = a x - b y + c, y' = b x + a y + d with a = 1, b = 1e-5,
    // c = 490.9, d = -371.6 (a small rotation and a shift).
    for (Eigen::Index i = 0; i < p.koo.rows(); ++i) {
        const double x = p.koo(i, 0), y = p.koo(i, 1);
        p.koo(i, 0) = x - 1e-5 * y + 490.9;
        p.koo(i, 1) = 1e-5 * x + y - 371.6;
    }
    return p;
}

struct Fixture : ::testing::Test {
    platform::RecordingDialogs boxes;
    platform::ScopedDialogs scoped{boxes};
    AppState s;
    MainInputs in;
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kolmo_izracun_" + std::to_string(::getpid()));

    void SetUp() override
    {
        std::filesystem::create_directories(dir);
        s.pot_prg = test::dataDir();
        in.workDir = dir;
        in.izhod = "r.str";
        in.data = {"a.pod", "b.pod"};
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    Box lastBox() const { return boxes.boxes.empty() ? Box{Box::Message, "", ""} : boxes.boxes.back(); }
};

} // namespace

TEST_F(Fixture, PresenceChecksInOrder)
{
    EXPECT_FALSE(izracun(s, in).ok);
    EXPECT_EQ(lastBox(), (Box{Box::Error, "Ni podatkov v zacetnem datumu!", "Napaka"}));
    s.vhi = d48();
    izracun(s, in);
    EXPECT_EQ(lastBox(), (Box{Box::Error, "Ni podatkov v koncnem datumu!", "Napaka"}));
    s.vhv = d96();
    in.izhod.clear();
    izracun(s, in);
    EXPECT_EQ(lastBox(), (Box{Box::Error, "Izberi izhodno datoteko!", "Napaka"}));
    EXPECT_EQ(boxes.busyDepth, 0) << "the busy pointer is restored on every way out";
}

TEST_F(Fixture, ModeTwoNeedsNoEndPointsButParameters)
{
    s.vhi = d48();
    s.t_tr.izr = 2;
    EXPECT_FALSE(izracun(s, in).ok);
    EXPECT_EQ(lastBox(), (Box{Box::Error, "Izberi parametre!", "Ni parametrov"}));
    ASSERT_TRUE(s.vhv.has_value()) << "the placeholder end set was already put in place";
    EXPECT_EQ(s.vhv->koo, Mat::Ones(1, 3));
}

TEST(Duplicates, NamesAndPositionsInPairOrder)
{
    PointSet p = points({"A", "B", "A", "C", "A"},
                        {{1, 2, 0}, {3, 4, 0}, {5, 6, 0}, {3, 4, 0}, {7, 8, 0}});
    // Pairs (2,1)? no; (3,1) name A; (4,2) position; (5,1), (5,3) name A.
    EXPECT_EQ(duplicatePoints(p).names, (Names{"A", "B", "A", "A"}));
    EXPECT_EQ(duplicatePoints(p).pairs, 4u);
    PointSet q = points({"X", "Y"}, {{-0.0, 1}, {0.0, 1}});
    EXPECT_EQ(duplicatePoints(q).names, (Names{"X"})) << "-0 and 0 are the same coordinate";
}

// Fault pinned down: the box listed one name per pair, 50 million lines for
// 10 000 points of one name.  Now the first 100 names in the order of the
// check, then the number of the other pairs (Slovene number forms).
TEST_F(Fixture, DuplicateBoxListsAHundredNamesAndCountsTheRest)
{
    // Names and places repeating at different periods: pairs by name, by
    // place and by both (counted once), against the nested loops.
    PointSet p;
    p.koo.resize(60, 3);
    for (int i = 0; i < 60; ++i) {
        p.ime.push_back(std::string(1, 'N') + std::to_string(i % 7));
        p.koo.row(i) << i % 5, i % 3, 0;
    }
    Names expected;
    for (int i = 1; i < 60; ++i)
        for (int j = 0; j < i; ++j)
            if (p.ime[i] == p.ime[j] || (p.koo(i, 0) == p.koo(j, 0) && p.koo(i, 1) == p.koo(j, 1)))
                expected.push_back(p.ime[j]);
    const auto all = duplicatePoints(p, 100000);
    EXPECT_EQ(all.names, expected);
    EXPECT_EQ(all.pairs, expected.size());
    s.vhi = p;
    s.vhv = d96();
    izracun(s, in);
    // The box groups them by name: each name once, with its count.
    EXPECT_EQ(lastBox().text, "N0 (9 točk)\nN1 (9 točk)\nN2 (9 točk)\nN3 (9 točk)\nN4 (8 točk)\nN5 (8 točk)\n"
                              "N6 (8 točk)");

    // Names in twos, each point at its own place: one pair per name.
    const auto lastLine = [&](int pairs) {
        PointSet q;
        q.koo.resize(2 * pairs, 3);
        for (int i = 0; i < 2 * pairs; ++i) {
            q.ime.push_back(std::string(1, 'G') + std::to_string(i / 2));
            q.koo.row(i) << 100000 + i, 460000, 300;
        }
        s.vhi = q;
        izracun(s, in);
        return lastBox().text.substr(lastBox().text.rfind('\n') + 1);
    };
    EXPECT_EQ(lastLine(100), "G99 (2 točki)") << "no count of the rest when every name is listed";
    EXPECT_EQ(lastLine(101), "... in še 1 ime");
    EXPECT_EQ(lastLine(102), "... in še 2 imeni");
    EXPECT_EQ(lastLine(104), "... in še 4 imena");
    EXPECT_EQ(lastLine(111), "... in še 11 imen");
}

// Fault pinned down: the list counted pairs, so 10 000 points named T gave
// "T" 100 times, and five points of five names at one place "Q0 Q0 Q1 Q0 Q1
// Q2 ...".  Each name comes once, with the number of its points.
TEST_F(Fixture, DuplicateBoxNamesEachNameOnceWithItsCount)
{
    PointSet t;
    t.koo.resize(10000, 3);
    for (int i = 0; i < 10000; ++i) {
        t.ime.push_back("T");
        t.koo.row(i) << 100000 + i, 460000, 300;
    }
    s.vhi = t;
    s.vhv = d96();
    izracun(s, in);
    EXPECT_EQ(lastBox().text, "T (10000 točk)");
    EXPECT_EQ(lastBox().title, "Podvojene tocke v zac.dat.");

    PointSet q = points({"A", "Q0", "Q1", "Q2", "Q3", "Q4", "B", "A"},
                        {{1, 1, 0}, {5, 5, 0}, {5, 5, 0}, {5, 5, 0}, {5, 5, 0}, {5, 5, 0}, {2, 2, 0}, {3, 3, 0}});
    EXPECT_EQ(duplicateGroups(q), (std::vector<DuplicateGroup>{{"A", 2}, {"Q0", 1}, {"Q1", 1}, {"Q2", 1}, {"Q3", 1},
                                                                {"Q4", 1}}));
    s.vhi = q;
    izracun(s, in);
    EXPECT_EQ(lastBox().text, "A (2 točki)\nQ0\nQ1\nQ2\nQ3\nQ4");
}

TEST_F(Fixture, ShapeCheck)
{
    s.vhi = points({"A", "B"}, {{1, 2}, {3, 4}});
    s.vhv = d96();
    izracun(s, in);
    EXPECT_EQ(lastBox(), (Box{Box::Error, "Pripravi podatke v ustrezni obliki!", "Napaka v dim. matrike"}));
}

TEST_F(Fixture, FailedComputationShowsThePipelineBox)
{
    // Fewer than three common points cannot determine seven parameters.
    s.vhi = d48();
    s.vhv = points({"A", "B"}, {{100486, 459629, 300}, {104486, 461629, 310}});
    in.tip1 = 3;
    in.tip2 = 2;
    in.tip3 = 2;
    const auto r = izracun(s, in);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(lastBox(), (Box{Box::Error, "Preveri podatke ali izberi pravilne nastavitve!", "Napaka v izracunu"}));
    EXPECT_FALSE(std::filesystem::exists(dir / "r.str")) << "no report after a failure";
}

TEST_F(Fixture, PlaneComputationAllModes)
{
    s.vhi = d48();
    s.vhv = d96();
    s.t_tr.tip = 2;
    in.tip1 = 2;
    in.tip2 = 1;
    in.tip3 = 1;
    auto r = izracun(s, in);
    ASSERT_TRUE(r.ok) << lastBox().text;
    EXPECT_TRUE(r.enablePrikazi);
    ASSERT_EQ(s.PAR.size(), 4);
    EXPECT_NEAR(s.PAR(0), 1.0, 1e-12);
    EXPECT_NEAR(s.PAR(1), 1e-5, 1e-12);
    EXPECT_NEAR(s.PAR(2), 490.9, 1e-6);
    EXPECT_NEAR(s.PAR(3), -371.6, 1e-6);
    EXPECT_TRUE(s.prik.has_value());
    const Vec estimated = s.PAR;

    // Mode 2 with the parameters just estimated reproduces the end points.
    s.t_tr.izr = 2;
    s.vhi = d48();
    r = izracun(s, in);
    ASSERT_TRUE(r.ok) << lastBox().text;
    EXPECT_FALSE(r.enablePrikazi);
    EXPECT_FALSE(s.prik.has_value());
    EXPECT_TRUE(s.rez->koo.leftCols(2).isApprox(d96().koo.leftCols(2), 1e-9));

    // Mode 3 estimates only; rez keeps its content.
    s.t_tr.izr = 3;
    s.vhv = d96();
    const Mat before = s.rez->koo;
    r = izracun(s, in);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(s.rez->koo, before);
    EXPECT_TRUE(s.PAR.isApprox(estimated, 1e-12));
}

TEST_F(Fixture, ParametersOfAnotherModelAreRefused)
{
    // Four plane parameters left from an earlier computation cannot drive the
    // spatial transformation; that is a computation error, not a crash.
    s.vhi = d48();
    s.PAR = Vec::Ones(4);
    s.t_tr.izr = 2;
    in.tip1 = 3;
    in.tip2 = 2;
    in.tip3 = 2;
    EXPECT_FALSE(izracun(s, in).ok);
    EXPECT_EQ(lastBox(), (Box{Box::Error, "Preveri podatke ali izberi pravilne nastavitve!", "Napaka v izracunu"}));
}

TEST(Preparation, ZoneDigitAndHeightOptions)
{
    PointSet vhi = points({"A"}, {{5100000, 5460000, 300}});
    PointSet vhv = points({"A"}, {{100000, 5000000, 300}});
    Rez rez;
    rez.tip = 2;
    TTr t;
    t.vis = 1;
    vhi.tip = 3;
    vhv.tip = 2;
    EXPECT_THROW(t_priprava(vhi, vhv, rez, t), std::exception) << "5 000 000 exactly is kept: outside the zone";
    vhv.koo(0, 1) = 5460000;
    t_priprava(vhi, vhv, rez, t);
    EXPECT_EQ(vhi.koo(0, 0), 100000);
    EXPECT_EQ(vhi.koo(0, 1), 460000);
    EXPECT_EQ(t.vis, 4) << "plane start and plane result keep the start heights";
    EXPECT_EQ(vhi.koo.cols(), 6);
    EXPECT_EQ(vhi.kk.cols(), 6);
    EXPECT_EQ(vhi.eli, 3);
    EXPECT_EQ(vhv.eli, 2);
    rez.tip = 1;
    t.vis = 1;
    t_priprava(vhi, vhv, rez, t);
    EXPECT_EQ(t.vis, 3);
}

TEST(Preparation, HelmertOverridesStandardDeviations)
{
    PointSet vhi = points({"A"}, {{46.0, 14.5, 300, 0.01, 0.02, 0.03}});
    PointSet vhv = points({"A"}, {{100000, 460000, 300, 0.01, 0.02, 0.03}});
    vhi.tip = 1;
    vhv.tip = 3;
    Rez rez;
    rez.tip = 3;
    TTr t;
    t.helm = 0;
    t.vis = 2;
    PointSet a = vhi, b = vhv;
    t_priprava(a, b, rez, t);
    EXPECT_DOUBLE_EQ(a.kk(0, 4), 0.02);
    EXPECT_DOUBLE_EQ(a.ek(0, 2), 300) << "option 2 keeps the heights";
    t.helm = 1;
    t.vis = 1;
    t_priprava(vhi, vhv, rez, t);
    EXPECT_EQ(vhi.kk.rightCols(3), Mat::Ones(1, 3));
    EXPECT_EQ(vhv.koo.rightCols(3), Mat::Ones(1, 3));
    EXPECT_EQ(vhi.ek(0, 2), 0) << "option 1 transforms with zero heights";
}

// End points with no relation to the start points: the spatial estimation does
// not settle within 30 corrections, says so, and the computation's own box
// follows.  Nothing is written and PAR keeps its value.
TEST_F(Fixture, NoConvergenceThenThePipelineBox)
{
    std::srand(7);
    auto uniform = [] { return static_cast<double>(std::rand()) / RAND_MAX; };
    PointSet start, end;
    start.koo.resize(20, 3);
    end.koo.resize(20, 3);
    for (int i = 0; i < 20; ++i) {
        std::string name = std::to_string(i);
        name.insert(0, 1, 'T');
        start.ime.push_back(name);
        end.ime.push_back(name);
        start.koo.row(i) << 46.0 + 0.2 * uniform(), 14.5 + 0.3 * uniform(), 300 + 500 * uniform();
        end.koo.row(i) << -400000 + 800000 * uniform(), 370000 + 260000 * uniform(), 5000 * uniform();
    }
    s.vhi = start;
    s.vhv = end;
    s.PAR = Vec::Constant(7, 42.0);
    in.tip1 = 1;
    in.tip2 = 3;
    in.tip3 = 3;
    EXPECT_FALSE(izracun(s, in).ok);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0], (Box{Box::Error, "Iteracija ne konvergira!", "Napaka v izračunu parametrov"}));
    EXPECT_EQ(boxes.boxes[1], (Box{Box::Error, "Preveri podatke ali izberi pravilne nastavitve!", "Napaka v izracunu"}));
    EXPECT_EQ(s.PAR, Vec::Constant(7, 42.0));
    EXPECT_FALSE(std::filesystem::exists(dir / "r.str"));
}
