// The national triangle-based model, the SVS2000/SVS2010 offsets and the
// tinshift export, against the tie points themselves and PROJ (cct) as peer.
#include "migrate/migrate.h"
#include "migrate/tran_trik.h"
#include "migrate/vis_svs.h"
#include "support/json.h"
#include "support/paths.h"
#include "support/run.h"

#include "platform/errors.h"
#include "platform/numtext.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

namespace kolmo {
namespace {

const TriangleModel& model() { return TriangleModel::of(test::dataDir()); }

TEST(TriangleModel, ReproducesEveryTiePointBothWays)
{
    const auto& m = model();
    ASSERT_EQ(m.points().size(), 899u);
    EXPECT_EQ(m.triangles().size(), 1776u);
    for (const auto& t : m.points()) {
        double e, n;
        ASSERT_TRUE(m.gkToTm(t.gkE, t.gkN, e, n)) << t.name;
        EXPECT_NEAR(e, t.tmE, 1e-9) << t.name;
        EXPECT_NEAR(n, t.tmN, 1e-9) << t.name;
        ASSERT_TRUE(m.tmToGk(t.tmE, t.tmN, e, n)) << t.name;
        EXPECT_NEAR(e, t.gkE, 1e-9) << t.name;
        EXPECT_NEAR(n, t.gkN, 1e-9) << t.name;
    }
}

TEST(TriangleModel, RoundTripOverTheCountryWithinAMicrometre)
{
    const auto& m = model();
    std::mt19937_64 rng(15);
    std::uniform_real_distribution<double> east(370000, 630000), north(20000, 200000);
    int inside = 0;
    double worst = 0;
    for (int k = 0; k < 200000; ++k) {
        const double e = east(rng), n = north(rng);
        double te, tn, be, bn;
        if (!m.gkToTm(e, n, te, tn))
            continue;
        ++inside;
        ASSERT_TRUE(m.tmToGk(te, tn, be, bn)) << e << " " << n;
        worst = std::max(worst, std::hypot(be - e, bn - n));
        // The model moves D48/GK by some hundred metres, nothing like a kilometre.
        ASSERT_LT(std::hypot(te - e, tn - n), 1000.0);
    }
    EXPECT_GT(inside, 150000);
    EXPECT_LT(worst, 1e-6);
}

TEST(TriangleModel, SharedEdgesGiveOneValueFromBothTriangles)
{
    const auto& m = model();
    const auto& pts = m.points();
    std::map<std::pair<int, int>, std::vector<std::size_t>> edges;
    for (std::size_t t = 0; t < m.triangles().size(); ++t)
        for (int k = 0; k < 3; ++k) {
            int a = m.triangles()[t][static_cast<std::size_t>(k)], b = m.triangles()[t][static_cast<std::size_t>((k + 1) % 3)];
            edges[{std::min(a, b), std::max(a, b)}].push_back(t);
        }
    int shared = 0;
    for (const auto& [edge, tris] : edges) {
        ASSERT_LE(tris.size(), 2u);
        if (tris.size() != 2)
            continue;
        ++shared;
        const auto& a = pts[static_cast<std::size_t>(edge.first)];
        const auto& b = pts[static_cast<std::size_t>(edge.second)];
        for (int plane = 0; plane < 2; ++plane) {
            const double s = 0.3719;
            const double e = plane == 0 ? a.gkE + s * (b.gkE - a.gkE) : a.tmE + s * (b.tmE - a.tmE);
            const double n = plane == 0 ? a.gkN + s * (b.gkN - a.gkN) : a.tmN + s * (b.tmN - a.tmN);
            double e1, n1, e2, n2;
            m.applyIn(plane, tris[0], e, n, e1, n1);
            m.applyIn(plane, tris[1], e, n, e2, n2);
            ASSERT_NEAR(e1, e2, 1e-9);
            ASSERT_NEAR(n1, n2, 1e-9);
            // And the look-up finds one of the two.
            const long found = m.find(plane, e, n);
            ASSERT_TRUE(found == static_cast<long>(tris[0]) || found == static_cast<long>(tris[1]));
        }
    }
    EXPECT_GT(shared, 2500);
}

TEST(TriangleModel, PointsOutsideAreRefusedWithoutAssigning)
{
    const auto& m = model();
    const double nan = std::nan("");
    for (const auto& [e, n] : std::vector<std::pair<double, double>>{
             {0, 0}, {500000, 5100000}, {100000, 100000}, {900000, 100000}, {nan, 100000}, {500000, -300000}}) {
        double te = 7, tn = 7;
        EXPECT_FALSE(m.gkToTm(e, n, te, tn)) << e << " " << n;
        EXPECT_FALSE(m.tmToGk(e, n, te, tn)) << e << " " << n;
        EXPECT_EQ(te, 7);
        EXPECT_EQ(tn, 7);
    }
}

TEST(TriangleModel, DamagedFilesAreRefusedNamingTheLine)
{
    const auto dir = test::freshFolder("tri_damaged");
    const std::string good = "1 596934.424 186755.322 596567 187238\n2 590286.530 185342.073 589919 185825\n"
                             "3 594833.776 180291.320 594466 180774\n";
    struct Case {
        std::string text, expect;
    };
    for (const Case& c : std::vector<Case>{{good + "4 1 2 3\n", "line 4"},
                                           {good + "4 1 2 3 x5\n", "x5"},
                                           {good + "2 1 2 3 4\n", "twice"},
                                           {good + "9 596934.424 186755.322 1 2\n", "position"},
                                           {"# comment\n1 1 2 3 4\n2 5 6 7 8\n", "at least 3"},
                                           {std::string("1 1 2 3 4\n\0\n", 13), "NUL"},
                                           {"1 0 0 0 0\n2 1 0 1 0\n3 2 0 2 0\n", "triangulated"},
                                           {"1 0 0 0 0\n2 10 0 10 0\n3 0 10 5 -10\n", "turned over"}}) {
        const auto file = dir / "ties.txt";
        std::ofstream(file, std::ios::binary) << c.text;
        try {
            TriangleModel m(file);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const DataFileError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expect), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(TriangleModel(dir / "missing.txt"), DataFileError);
}

// Runs `cct` (PROJ's own program, a test peer) on lines of numbers.
std::vector<std::array<double, 3>> cct(const std::vector<std::string>& args, const std::string& input)
{
    test::RunOptions o;
    o.input = input;
    const auto r = test::run("/usr/bin/cct", args, {}, o);
    if (r.status != 0)
        throw std::runtime_error("cct failed: " + r.err);
    std::vector<std::array<double, 3>> out;
    std::istringstream in(r.out);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream l(line);
        std::array<double, 3> v{};
        std::string w;
        for (auto& x : v) {
            l >> w;
            x = w == "inf" ? HUGE_VAL : std::stod(w);
        }
        out.push_back(v);
    }
    return out;
}

TEST(TriangleModel, TinshiftExportThroughProjAgreesWithinAMillimetre)
{
    if (!std::filesystem::exists("/usr/bin/cct"))
        GTEST_SKIP() << "no cct";
    const auto& m = model();
    const auto dir = test::freshFolder("tinshift");
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> east(380000, 620000), north(30000, 190000);
    for (const MigrateFrom from : {MigrateFrom::Gk, MigrateFrom::Tm}) {
        const auto file = dir / "model.json";
        exportTinshift(test::dataDir(), file, from);
        const auto doc = test::parseJson(test::readText(file));
        EXPECT_EQ(doc["file_type"].str, "triangulation_file");
        EXPECT_EQ(doc["input_crs"].str, from == MigrateFrom::Gk ? "EPSG:3912" : "EPSG:3794");
        EXPECT_EQ(doc["output_crs"].str, from == MigrateFrom::Gk ? "EPSG:3794" : "EPSG:3912");
        EXPECT_EQ(doc["triangles"].arr.size(), 1776u);
        std::vector<std::array<double, 2>> want;
        std::string input;
        for (int k = 0; k < 3000; ++k) {
            const double e = east(rng), n = north(rng);
            double te, tn;
            if (!(from == MigrateFrom::Gk ? m.gkToTm(e, n, te, tn) : m.tmToGk(e, n, te, tn)))
                continue;
            want.push_back({te, tn});
            char buf[96];
            std::snprintf(buf, sizeof buf, "%.4f %.4f 0\n", e, n);
            input += buf;
        }
        const auto got = cct({"-d", "6", "+proj=tinshift", "+file=" + file.string()}, input);
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t k = 0; k < got.size(); ++k) {
            ASSERT_NEAR(got[k][0], want[k][0], 1e-3) << k;
            ASSERT_NEAR(got[k][1], want[k][1], 1e-3) << k;
        }
    }
}

TEST(SvsOffset, AgreesWithVgridshiftWithinAMillimetre)
{
    if (!std::filesystem::exists("/usr/bin/cct"))
        GTEST_SKIP() << "no cct";
    const auto& g = SvsOffset::of(test::dataDir());
    std::mt19937_64 rng(5);
    std::uniform_real_distribution<double> lat(45.0, 47.0), lon(13.0, 17.0);
    std::vector<std::array<double, 2>> pts{{46.05, 14.5}, {45.0, 13.0}, {47.0, 17.0}, {46.0, 15.0125}};
    for (int k = 0; k < 2000; ++k)
        pts.push_back({lat(rng), lon(rng)});
    std::string input;
    for (const auto& p : pts) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "%.10f %.10f 100\n", p[1], p[0]);
        input += buf;
    }
    const auto tif = test::sourceDir() / "data/sources/si_gurs_SLO-VTP2024.tif";
    const auto got =
        cct({"-d", "6", "+proj=vgridshift", "+grids=" + tif.string(), "+multiplier=1"}, input);
    ASSERT_EQ(got.size(), pts.size());
    EXPECT_NEAR(g.at(46.05, 14.5), -0.135, 0.0015);
    for (std::size_t k = 0; k < pts.size(); ++k)
        ASSERT_NEAR(100.0 + g.at(pts[k][0], pts[k][1]), got[k][2], 1e-3) << pts[k][0] << " " << pts[k][1];
    EXPECT_TRUE(std::isnan(g.at(44.99, 15.0)));
    EXPECT_TRUE(std::isnan(g.at(46.0, 17.01)));
    EXPECT_TRUE(std::isnan(g.at(std::nan(""), 15.0)));
}

} // namespace
} // namespace kolmo

namespace kolmo {
namespace {

// The short way of reading plain decimals gives the bits from_chars gives.
TEST(ParseNumber, PlainDecimalsReadToTheSameBitsAsFromChars)
{
    std::mt19937_64 rng(7);
    for (int k = 0; k < 200000; ++k) {
        const int len = 1 + static_cast<int>(rng() % 16);
        std::string t;
        for (int i = 0; i < len; ++i)
            t += static_cast<char>('0' + rng() % 10);
        if (rng() % 4 != 0)
            t.insert(rng() % (t.size() + 1), 1, '.');
        double want = 0;
        std::from_chars(t.data(), t.data() + t.size(), want);
        const auto got = platform::parseNumber(t);
        ASSERT_TRUE(got) << t;
        ASSERT_EQ(*got, want) << t;
        const auto neg = platform::parseNumber("-" + t);
        ASSERT_TRUE(neg) << t;
        ASSERT_EQ(*neg, -want) << t;
    }
    for (const char* bad : {".", "1.2.3", "1e", "inf", "0x10", "-", "1,5", "12a"})
        EXPECT_FALSE(platform::parseNumber(bad)) << bad;
    EXPECT_EQ(*platform::parseNumber("1.5e3"), 1500.0);
}

} // namespace
} // namespace kolmo
