// The migration's valid area (inside the national border or within 10 km of
// it), the zone digit of point files, and the parameters of --params-json
// and --params checked as in `transform`.
#include "migrate/mover.h"
#include "migrate/valid_area.h"
#include "plots/prik_obod.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

// A square border 100 km a side: the margin is 10 km from its edges, and
// from its corners as a circle.
TEST(ValidArea, InsideOrWithinTheMarginOfTheBorder)
{
    Mat square(5, 2);
    square << 0, 0, 100000, 0, 100000, 100000, 0, 100000, 0, 0;
    const ValidArea area(square);
    struct Case {
        double e, n;
        bool in;
    };
    for (const Case& c : std::vector<Case>{{50000, 50000, true},
                                           {105000, 50000, true},
                                           {109990, 50000, true},
                                           {110010, 50000, false},
                                           {50000, -9990, true},
                                           {50000, -10010, false},
                                           {107000, 107000, true},   // 9.90 km from the corner
                                           {107200, 107200, false},  // 10.18 km
                                           {-7000, 107000, true},
                                           {-7200, -7200, false},
                                           {500000, 50000, false},
                                           {std::nan(""), 50000, false},
                                           {50000, INFINITY, false}})
        EXPECT_EQ(area.contains(c.e, c.n), c.in) << c.e << " " << c.n;
    EXPECT_EQ(area.distanceOutside(50000, 50000), 0.0);
    EXPECT_NEAR(area.distanceOutside(103000, 104000), 5000.0, 1e-9);

    Mat line(2, 2);
    line << 0, 0, 1, 1;
    EXPECT_THROW(ValidArea{line}, DataFileError);
    square(2, 1) = std::nan("");
    EXPECT_THROW(ValidArea{square}, DataFileError);
}

// The grid's answer is the exact one everywhere, the cells along the
// margin's edge included.
TEST(ValidArea, TheGridAgreesWithTheDistanceOnTheNationalBorder)
{
    const Mat border = loadMeja(test::dataDir());
    const ValidArea& area = ValidArea::of(test::dataDir());
    const double eMin = border.col(0).minCoeff() - 15000, eMax = border.col(0).maxCoeff() + 15000;
    const double nMin = border.col(1).minCoeff() - 15000, nMax = border.col(1).maxCoeff() + 15000;
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> e(eMin, eMax), n(nMin, nMax);
    int inside = 0, outside = 0;
    for (int k = 0; k < 50000; ++k) {
        const double pe = e(random), pn = n(random);
        const bool exact = area.distanceOutside(pe, pn) <= ValidArea::kMarginMetres;
        ASSERT_EQ(area.contains(pe, pn), exact) << pe << " " << pn;
        (exact ? inside : outside)++;
    }
    EXPECT_GT(inside, 15000);
    EXPECT_GT(outside, 5000);
    // Points on both sides of the margin's edge: along the normal from a
    // border vertex outwards, through the cells the edge crosses.
    int edge = 0;
    for (Eigen::Index k = 0; k < border.rows(); k += 7) {
        for (double d = 9000; d <= 11000; d += 37) {
            const double pe = border(k, 0) + d * std::cos(static_cast<double>(k)),
                         pn = border(k, 1) + d * std::sin(static_cast<double>(k));
            ASSERT_EQ(area.contains(pe, pn), area.distanceOutside(pe, pn) <= ValidArea::kMarginMetres);
            ++edge;
        }
    }
    EXPECT_GT(edge, 3000);
    // Ljubljana, and Trieste some 6 km beyond the border, are in the area;
    // Vienna, Venice and Zagreb are not.
    EXPECT_TRUE(area.contains(461702.6, 101374.7));
    EXPECT_TRUE(area.contains(404660.1, 57350.7));
    EXPECT_FALSE(area.contains(602095.8, 341956.3));
    EXPECT_FALSE(area.contains(289987.0, 36936.6));
}

struct PointFiles : ::testing::Test {
    fs::path dir = test::freshFolder("migrate_area");
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    test::RunResult migrate(std::vector<std::string> args, const std::string& input = {})
    {
        args.insert(args.begin(), "migrate");
        test::RunOptions options;
        options.input = input;
        return test::run(test::cliPath(), args, dir, options);
    }
};

// Vienna and Venice lie in the model's outer triangles: refused with a
// warning each (exit 3), the points near Slovenia written.
TEST_F(PointFiles, PointsFarFromTheBorderAreRefusedInBothDirections)
{
    write("gk.txt", "LJ 101000.000 462000.000 300\nDUNAJ 341471.300 602459.300 170\nBENETKE 36446.800 290361.400 2\n");
    auto r = migrate({"--in", "gk.txt", "--out", "tm.txt", "-q"});
    EXPECT_EQ(r.status, 3) << r.err;
    for (const char* name : {"DUNAJ", "BENETKE"})
        EXPECT_NE(r.err.find(std::string("Opozorilo: point ") + name + " (gk.txt, line"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("farther than 10 km from the national border"), std::string::npos) << r.err;
    EXPECT_EQ(test::readText(dir / "tm.txt").substr(0, 3), "LJ ");
    EXPECT_EQ(test::readText(dir / "tm.txt").find("DUNAJ"), std::string::npos);

    write("tm_in.txt", "LJ 101374.700 461702.600 300\nDUNAJ 341956.300 602095.800 170\n");
    r = migrate({"--in", "tm_in.txt", "--out", "gk_out.txt", "--from", "tm", "-q"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Opozorilo: point DUNAJ"), std::string::npos) << r.err;

    // The same for a stored 7-parameter set: the area is the method's too.
    r = migrate({"--in", "gk.txt", "--out", "p.txt", "--params", "EPSG 8689 D48-D96 (12) Slovenija 2010", "-q"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Opozorilo: point BENETKE"), std::string::npos) << r.err;
}

// A coordinate of 5 000 000 m or more carries the zone digit (or is no
// D48/GK at all): the file is refused naming the fix, nothing written.
TEST_F(PointFiles, TheZoneDigitIsNeverTakenOffByGuess)
{
    for (const char* row : {"T 5101000 460000 300\n", "T 5101000 5460000 300\n", "T 101000 5460000\n"}) {
        write("z.txt", std::string("A 101000 462000 300\n") + row);
        const auto r = migrate({"--in", "z.txt", "--out", "o.txt", "-q"});
        EXPECT_EQ(r.status, 1) << row << r.err;
        EXPECT_NE(r.err.find("point T (z.txt, line 2)"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("EPSG:31275"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("5 000 000 m off x and y"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / "o.txt"));
    }
}

// The parameters of --params-json: JSON as a strict reader reads it (with or
// without a byte order mark, from a file or the standard input), and a set
// that no survey can use refused as `transform` refuses it.
TEST_F(PointFiles, ParametersAreReadStrictlyAndCheckedAsInTransform)
{
    write("in.pod", "A 100000 460000 300\n");
    const auto set = [](const std::string& model, const std::string& values) {
        return R"({"model": ")" + model + R"(", "types": {"start": "D48/GK", "end": "D96/TM", "output": "D96/TM"},
                  "parameters": [)" + values + "]}";
    };
    const std::string good = set("2r4", R"({"value": 1}, {"value": 0}, {"value": 100.5}, {"value": -50})");
    write("bom.json", "\xEF\xBB\xBF" + good);
    auto r = migrate({"--in", "in.pod", "--out", "bom.pod", "--params-json", "bom.json", "-q"});
    EXPECT_EQ(r.status, 0) << r.err;
    r = migrate({"--in", "in.pod", "--out", "stdin.pod", "--params-json", "-", "-q"}, good);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::readText(dir / "stdin.pod"), test::readText(dir / "bom.pod"));
    EXPECT_NE(test::readText(dir / "bom.pod").find("100100.500"), std::string::npos) << test::readText(dir / "bom.pod");

    const std::string zeros = R"({"value": 0})";
    struct Case {
        std::string json, why;
    };
    for (const Case& c : std::vector<Case>{
             {set("2r4", zeros + "," + zeros + "," + zeros + "," + zeros), "a = b = 0"},
             {set("2r6", R"({"value": 1e308}, {"value": 1e308}, {"value": 1e308}, {"value": 1e308}, {"value": 1e308}, {"value": 1e308})"),
              "not a finite number"},
             {set("3r7", R"({"value": 0}, {"value": 0}, {"value": 0}, {"value": 1e12}, {"value": 0}, {"value": 0}, {"value": 0})"),
              "beyond 180 deg"},
             {set("2r4", R"({"value": 1-2e+-.}, {"value": 0}, {"value": 0}, {"value": 0})"), "parse error"},
             {set("2r4", R"({"value": 1}, {"value": 0}, {"value": 0}, {"value": 0})") + " x", "parse error"},
             {set("2r4", R"({"value": "1"}, {"value": 0}, {"value": 0}, {"value": 0})"), "no numeric \"value\""},
             {set("2r4", R"({"value": 1e400}, {"value": 0}, {"value": 0}, {"value": 0})"), "number overflow"},
         }) {
        write("p.json", c.json);
        r = migrate({"--in", "in.pod", "--out", "o.pod", "--params-json", "p.json", "-q"});
        EXPECT_EQ(r.status, 1) << c.json << r.err;
        EXPECT_NE(r.err.find(c.why), std::string::npos) << c.json << "\n" << r.err;
        EXPECT_FALSE(fs::exists(dir / "o.pod")) << c.json;
        r = migrate({"--in", "in.pod", "--out", "o.pod", "--params-json", "-", "-q"}, c.json);
        EXPECT_EQ(r.status, 1) << c.json << r.err;
    }

    // A set that passes those checks but puts the points 1000 km away, the
    // way back: each point refused with a warning.
    write("far.json", R"({"model": "3r7", "types": {"start": "D96/TM", "end": "D48/GK", "output": "D48/GK"},
        "parameters": [{"value": 1e6}, {"value": 0}, {"value": 0}, {"value": 0}, {"value": 0}, {"value": 0},
                       {"value": 0}]})");
    write("tm.pod", "A 101374.700 461702.600 300\n");
    r = migrate({"--in", "tm.pod", "--out", "far.pod", "--from", "tm", "--params-json", "far.json", "-q"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Opozorilo: point A (tm.pod, line 1)"), std::string::npos) << r.err;

    // A stored set edited by hand into one no survey can use.
    fs::copy(test::dataDir(), dir / "data", fs::copy_options::recursive);
    std::ofstream(dir / "data" / "t7.par", std::ios::app) << "\n2,Pokvarjen,0,0,0,1000000000000,0,0,0\n";
    r = migrate({"--in", "in.pod", "--out", "o.pod", "--params", "Pokvarjen", "--data-dir", "data", "-q"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("beyond 180 deg"), std::string::npos) << r.err;
}

} // namespace
} // namespace kolmo
