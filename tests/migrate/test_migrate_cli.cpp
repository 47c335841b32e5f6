// kolmo-cli migrate and kolmo::migrate() on point files: the formats of
// transform, the warnings, the methods, the heights and cancelling.
#include "migrate/migrate.h"
#include "migrate/tran_trik.h"
#include "migrate/vis_svs.h"
#include "geodesy/elipgk.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iomanip>
#include <sstream>

namespace kolmo {
namespace {

struct Row {
    std::string name;
    double a = 0, b = 0, h = 0;
};

std::vector<Row> readRows(const std::filesystem::path& file, bool csv = false)
{
    std::vector<Row> rows;
    std::istringstream in(test::readText(file));
    std::string line;
    bool header = csv;
    while (std::getline(in, line)) {
        if (header) {
            header = false;
            continue;
        }
        if (csv)
            for (char& c : line)
                if (c == ',')
                    c = ' ';
        std::istringstream l(line);
        Row r;
        std::string h;
        l >> r.name >> r.a >> r.b >> h;
        r.h = h.empty() || h == "NaN" ? std::nan("") : std::stod(h);
        rows.push_back(r);
    }
    return rows;
}

// Two points inside, one far outside the model (D48/GK, x y H).
const std::string kInput = "T1  100000.000  460000.000  300.000\n"
                           "FAR 900000.000  100000.000  10.000\n"
                           "T2  150000.000  550000.000  1200.500\n";

TEST(MigrateCli, PointFileWarnsForAPointOutsideAndWritesTheOthers)
{
    const auto dir = test::freshFolder("migrate_cli");
    std::ofstream(dir / "in.txt") << kInput;
    const auto r = test::run(test::cliPath(), {"migrate", "--in", "in.txt", "--out", "out.txt", "-q"}, dir);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Opozorilo: point FAR"), std::string::npos) << r.err;
    const auto rows = readRows(dir / "out.txt");
    ASSERT_EQ(rows.size(), 2u);
    const auto& m = TriangleModel::of(test::dataDir());
    const double in[2][3] = {{100000, 460000, 300}, {150000, 550000, 1200.5}};
    for (int k = 0; k < 2; ++k) {
        double e, n;
        ASSERT_TRUE(m.gkToTm(in[k][1], in[k][0], e, n));
        EXPECT_NEAR(rows[static_cast<std::size_t>(k)].a, n, 6e-4);
        EXPECT_NEAR(rows[static_cast<std::size_t>(k)].b, e, 6e-4);
        EXPECT_EQ(rows[static_cast<std::size_t>(k)].h, in[k][2]);
    }

    // Back with --from tm, in the order y x, as CSV with its header: the
    // start coordinates again (to the written millimetre).
    std::ofstream(dir / "tm.txt") << std::fixed << std::setprecision(3) << "T1 " << rows[0].b << ' ' << rows[0].a << " 300\n";
    const auto back = test::run(test::cliPath(),
                                {"migrate", "--in", "tm.txt", "--out", "gk.csv", "--from", "tm", "--order", "yx"}, dir);
    EXPECT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(test::readText(dir / "gk.csv").substr(0, 11), "name,y,x,H\n");
    const auto gk = readRows(dir / "gk.csv", true);
    ASSERT_EQ(gk.size(), 1u);
    EXPECT_NEAR(gk[0].a, 460000, 1e-3);
    EXPECT_NEAR(gk[0].b, 100000, 1e-3);
}

TEST(MigrateCli, ExitStatusesAndNothingWrittenOnError)
{
    const auto dir = test::freshFolder("migrate_exit");
    std::ofstream(dir / "in.pod") << "A 100000 460000 300\n";
    std::ofstream(dir / "bad.pod") << "A 100000 abc 300\n";
    struct Case {
        std::vector<std::string> args;
        int status;
    };
    for (const Case& c : std::vector<Case>{
             {{"migrate", "--in", "in.pod"}, 2},
             {{"migrate", "--in", "in.pod", "--out", "o.pod", "--heights", "up"}, 2},
             {{"migrate", "--in", "in.pod", "--out", "o.pod", "--params", "x", "--params-json", "p.json"}, 2},
             {{"migrate", "--in", "in.pod", "--out", "o.pod", "--layer", "a"}, 2},
             {{"migrate", "--in", "missing.pod", "--out", "o.pod"}, 1},
             {{"migrate", "--in", "bad.pod", "--out", "o.pod"}, 1},
             {{"migrate", "--in", "in.pod", "--out", "in.pod"}, 1},
             {{"migrate", "--in", "in.pod", "--out", "o.pod", "--params", "no such set"}, 1},
             {{"migrate", "--in", "in.pod", "--out", "o.pod", "--data-dir", dir.string()}, 1}}) {
        const auto r = test::run(test::cliPath(), c.args, dir);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "o.pod")) << r.err;
    }
    // The model is an input too: an output named like it (a .txt point
    // file) or like the input by another path is refused, the files intact.
    std::filesystem::copy(test::dataDir(), dir / "prg");
    const std::string model = "prg/gurs_virtualne_vezne_tocke_v4.0.txt", before = test::readText(dir / model);
    for (const std::string& out : {model, std::string("./in.pod")}) {
        const auto r = test::run(test::cliPath(), {"migrate", "--in", "in.pod", "--out", out, "--data-dir", "prg"}, dir);
        EXPECT_EQ(r.status, 1) << out << r.err;
    }
    EXPECT_TRUE(test::readText(dir / model) == before);
    const auto ok = test::run(test::cliPath(), {"migrate", "--in", "in.pod", "--out", "-", "-q"}, dir);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out.substr(0, 1), "A");
}

TEST(Migrate, StoredSetAgreesWithTransformAndUserPlaneParametersApply)
{
    const auto dir = test::freshFolder("migrate_params");
    std::ofstream(dir / "in.pod") << "A 100000 460000 300\n";
    const std::string set = "EPSG 8689 D48-D96 (12) Slovenija 2010";
    const auto r = test::run(test::cliPath(),
                             {"migrate", "--in", "in.pod", "--out", "m.pod", "--params", set, "-q"}, dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto t = test::run(test::cliPath(),
                             {"transform", "--report", "r.str", "--type", "3r7", "--mode", "coords", "--params", set,
                              "--start", "in.pod", "--start-type", "gk", "--end-type", "tm", "--out", "t.pod"},
                             dir);
    ASSERT_EQ(t.status, 0) << t.err;
    const auto a = readRows(dir / "m.pod"), b = readRows(dir / "t.pod");
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(a[0].a, b[0].a);
    EXPECT_EQ(a[0].b, b[0].b);
    EXPECT_EQ(a[0].h, b[0].h);

    // The user's own four plane parameters: x' = a x - b y + c, y' = b x + a y + d.
    std::ofstream(dir / "p.json") << R"({"model": "2r4", "types": {"start": "D48/GK", "end": "D96/TM",
        "output": "D96/TM"}, "parameters": [{"value": 1}, {"value": 0}, {"value": 100.5}, {"value": -50}]})";
    const auto p = test::run(test::cliPath(),
                             {"migrate", "--in", "in.pod", "--out", "p.pod", "--params-json", "p.json", "-q"}, dir);
    ASSERT_EQ(p.status, 0) << p.err;
    const auto pr = readRows(dir / "p.pod");
    ASSERT_EQ(pr.size(), 1u);
    EXPECT_NEAR(pr[0].a, 100100.5, 1e-9);
    EXPECT_NEAR(pr[0].b, 459950, 1e-9);
    // Parameters of the other direction are refused.
    const auto wrong = test::run(test::cliPath(), {"migrate", "--in", "in.pod", "--out", "w.pod", "--params-json",
                                                   "p.json", "--from", "tm"},
                                 dir);
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("D48/GK to D96/TM, not D96/TM to D48/GK"), std::string::npos) << wrong.err;
}

TEST(Migrate, HeightsMoveByTheOffsetAndBack)
{
    const auto dir = test::freshFolder("migrate_heights");
    std::ofstream(dir / "in.txt") << "A 100000 460000 300.000\nB 100000 460000\n";
    MigrateOptions o;
    o.in = dir / "in.txt";
    o.out = dir / "out.txt";
    o.dataDir = test::dataDir();
    o.heights = MigrateHeights::Svs2000To2010;
    const auto s = migrate(o);
    EXPECT_EQ(s.written, 2u);
    ASSERT_EQ(s.warnings.size(), 1u); // B has no height
    EXPECT_NE(s.warnings[0].find("no height"), std::string::npos);
    const auto rows = readRows(o.out);
    double fi, la;
    ASSERT_TRUE(ZoneProjection(2, 1).toGeodetic(rows[0].a, rows[0].b, fi, la));
    const double off = SvsOffset::of(test::dataDir()).at(fi, la);
    EXPECT_NEAR(rows[0].h, 300.0 + off, 1e-3);
    EXPECT_LT(off, -0.05);
    EXPECT_TRUE(std::isnan(rows[1].h));

    // And back from SVS2010 with the way back of the model: the start height
    // to the written millimetre.
    std::ofstream(dir / "a.txt") << std::fixed << std::setprecision(3) << "A " << rows[0].a << ' ' << rows[0].b
                                 << ' ' << rows[0].h << '\n';
    MigrateOptions back = o;
    back.in = dir / "a.txt";
    back.out = dir / "back.txt";
    back.from = MigrateFrom::Tm;
    back.heights = MigrateHeights::Svs2010To2000;
    migrate(back);
    const auto again = readRows(back.out);
    EXPECT_NEAR(again[0].h, 300.0, 6e-4);
    EXPECT_NEAR(again[0].a, 100000.0, 6e-4);

    // A run cancelled before or while it works leaves no output, and the
    // progress goes up to the share read.
    {
        std::ofstream big(dir / "big.txt");
        for (int k = 0; k < 60000; ++k)
            big << "P" << k << " " << 100000 + k % 1000 << " 460000 300\n";
    }
    o.in = dir / "big.txt";
    o.out = dir / "cancelled.txt";
    for (const bool early : {true, false}) {
        std::atomic<bool> cancel{early};
        double seen = 0;
        MigrateProgress p{[&](double share) {
                              seen = share;
                              cancel = true;
                          },
                          &cancel};
        EXPECT_THROW(migrate(o, p), MigrateCancelled);
        EXPECT_FALSE(std::filesystem::exists(o.out));
        if (!early) {
            EXPECT_GT(seen, 0.0);
            EXPECT_LT(seen, 1.0);
        }
    }
    const auto all = migrate(o);
    EXPECT_EQ(all.written, 60000u);
    EXPECT_TRUE(all.warnings.empty());
}

} // namespace
} // namespace kolmo
