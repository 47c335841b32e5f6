// kolmo-cli transform --exclude, --snoop, --robust on the example network:
// leaving points out equals deleting them from both files, a planted blunder
// is found and named, and the options refuse what they cannot do.
#include "support/json.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <set>
#include <sstream>

using namespace kolmo::test;

namespace {

struct Folder {
    std::filesystem::path dir = freshFolder("stats_cli");
    ~Folder() { std::filesystem::remove_all(dir); }
    std::string operator()(const std::string& name) const { return (dir / name).string(); }
};

RunResult cli(std::vector<std::string> args)
{
    args.insert(args.begin(), {"transform", "--data-dir", dataDir().string()});
    return run(cliPath(), args, examplesDir());
}

// A copy of an example point file without the points `drop`, with `add` added
// to coordinate `col` (1-based) of point `name`.
void copyPoints(const std::string& from, const std::string& to, const std::set<std::string>& drop,
                const std::string& name = "", int col = 0, double add = 0)
{
    std::ifstream in(examplesDir() / from);
    std::ofstream out(to);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ss(line);
        std::string n;
        ss >> n;
        if (drop.count(n))
            continue;
        if (n == name) {
            std::vector<double> v;
            for (double x; ss >> x;)
                v.push_back(x);
            v.at(static_cast<std::size_t>(col - 1)) += add;
            out << n;
            for (double x : v)
                out << ' ' << std::setprecision(12) << x;
            out << '\n';
        } else {
            out << line << '\n';
        }
    }
}

// The lines of an --out file but those of the points `drop`.
std::string pointsBut(const std::string& file, const std::set<std::string>& drop)
{
    std::istringstream in(readText(file));
    std::string line, out;
    while (std::getline(in, line))
        if (!drop.count(line.substr(0, line.find(' '))))
            out += line + '\n';
    return out;
}

class StatsCli : public ::testing::TestWithParam<std::string> {};

// --exclude LJ03,LJ08 against the files without them: the parameters, their
// standard deviations and correlations, sigma0 and every figure of the used
// points agree to the last digit, and so do the other transformed points.
TEST_P(StatsCli, ExcludeEqualsDeletingThePoints)
{
    const std::string type = GetParam();
    const bool plane = type != "3r7";
    const std::string start = plane ? "local/d48_gk_2d.pod" : "local/d48_gk.pod";
    const std::string end = plane ? "local/d96_tm_2d.pod" : "local/d96_tm.pod";
    const std::set<std::string> gone{"LJ03", "LJ08"};
    Folder f;
    copyPoints(start, f("s.pod"), gone);
    copyPoints(end, f("e.pod"), gone);
    const auto with = [&](const std::string& s, const std::string& e, const std::string& tag,
                          std::vector<std::string> more) {
        std::vector<std::string> a{"--type", type, "--start", s, "--start-type", "gk", "--end", e, "--end-type",
                                   "tm", "--report", f(tag + ".str"), "--params-json", f(tag + ".json"), "--out",
                                   f(tag + ".txt")};
        a.insert(a.end(), more.begin(), more.end());
        const RunResult r = cli(a);
        EXPECT_EQ(r.status, 0) << r.err;
        return parseJson(readText(f(tag + ".json")));
    };
    const Json x = with(start, end, "x", {"--exclude", "LJ03,LJ08"});
    const Json d = with(f("s.pod"), f("e.pod"), "d", {});
    for (std::size_t k = 0; k < d["parameters"].arr.size(); ++k) {
        EXPECT_EQ(x["parameters"][k]["value"].num, d["parameters"][k]["value"].num) << k;
        EXPECT_EQ(x["parameters"][k]["sd"].num, d["parameters"][k]["sd"].num) << k;
    }
    EXPECT_EQ(x["adjustment"]["sigma0"].num, d["adjustment"]["sigma0"].num);
    for (std::size_t r = 0; r < d["adjustment"]["correlation"].arr.size(); ++r)
        for (std::size_t c = 0; c < d["adjustment"]["correlation"][r].arr.size(); ++c)
            EXPECT_EQ(x["adjustment"]["correlation"][r][c].num, d["adjustment"]["correlation"][r][c].num);
    EXPECT_EQ(x["common_points"].arr.size(), d["common_points"].arr.size());
    std::size_t j = 0;
    for (const Json& p : x["points"].arr) {
        if (gone.count(p["name"].str)) {
            EXPECT_FALSE(p["used"].b);
            EXPECT_EQ(p["redundancy"].kind, Json::Kind::null);
            EXPECT_GT(p["test"]["statistic"].num, 0) << "a check";
            continue;
        }
        const Json& q = d["points"][j++];
        EXPECT_EQ(p["name"].str, q["name"].str);
        EXPECT_EQ(p["test"]["statistic"].num, q["test"]["statistic"].num);
        EXPECT_EQ(p["redundancy"]["n"].num, q["redundancy"]["n"].num);
        EXPECT_EQ(p["residuals_end"]["e"].num, q["residuals_end"]["e"].num);
    }
    EXPECT_EQ(j, d["points"].arr.size());
    EXPECT_EQ(x["left_out"].arr.size(), 2u);
    EXPECT_EQ(pointsBut(f("x.txt"), gone), pointsBut(f("d.txt"), gone));
    EXPECT_NE(readText(f("x.txt")).find("LJ03"), std::string::npos) << "still transformed";
}

INSTANTIATE_TEST_SUITE_P(Models, StatsCli, ::testing::Values("3r7", "2r4", "2r6"));

// A 0.3 m height error in one end point of the 12-point network (heights
// transformed, option 3): --snoop leaves that point out in one step and says
// it is a height; the report and the points are those of the final
// estimation; --robust gives it a weight near 0.
TEST(StatsCliSnoop, FindsAPlantedHeightBlunder)
{
    Folder f;
    copyPoints("local/d96_tm.pod", f("e.pod"), {}, "LJ07", 3, 0.30);
    const std::vector<std::string> base{"--type", "3r7", "--start", "local/d48_gk.pod", "--start-type", "gk",
                                        "--end", f("e.pod"), "--end-type", "tm", "--heights", "3",
                                        "--report", f("r.str"), "--params-json", f("p.json")};
    auto args = base;
    args.push_back("--snoop");
    RunResult r = cli(args);
    ASSERT_EQ(r.status, 3) << r.err << "the point left out is a warning";
    EXPECT_NE(r.err.find("LJ07"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("LJ07"), std::string::npos) << r.out;
    Json j = parseJson(readText(f("p.json")));
    ASSERT_EQ(j["snooping"]["steps"].arr.size(), 1u);
    EXPECT_EQ(j["snooping"]["steps"][0]["point"].str, "LJ07");
    EXPECT_EQ(j["snooping"]["steps"][0]["component"].str, "h");
    EXPECT_NEAR(j["snooping"]["steps"][0]["bias_mm"].num, 300, 60);
    EXPECT_EQ(j["common_points"].arr.size(), 11u);
    EXPECT_EQ(readText(f("r.str")).find("LJ07") != std::string::npos, true) << "transformed all the same";

    args = base;
    args.push_back("--robust");
    r = cli(args);
    ASSERT_EQ(r.status, 3) << r.err << "the down-weighted point is a warning";
    EXPECT_NE(r.err.find("LJ07"), std::string::npos) << r.err;
    j = parseJson(readText(f("p.json")));
    for (const Json& p : j["points"].arr) {
        if (p["name"].str == "LJ07") {
            EXPECT_LT(p["weight"].num, 0.01);
        } else {
            EXPECT_GT(p["weight"].num, 0.5) << p["name"].str;
        }
    }
    EXPECT_EQ(j["robust"]["method"].str, "Danish");
}

TEST(StatsCliSnoop, RefusesWhatItCannotDo)
{
    Folder f;
    const std::vector<std::string> base{"--type", "2r4", "--start", "local/d48_gk_2d.pod", "--start-type", "gk",
                                        "--end", "local/d96_tm_2d.pod", "--end-type", "tm", "--report", f("r.str")};
    const auto with = [&](std::vector<std::string> more) {
        auto a = base;
        a.insert(a.end(), more.begin(), more.end());
        return cli(a).status;
    };
    EXPECT_EQ(with({"--snoop", "--robust"}), 2);
    EXPECT_EQ(with({"--mode", "coords", "--params-values", "1,0,0,0", "--exclude", "LJ01"}), 2);
    EXPECT_EQ(with({"--alpha", "0.7"}), 2);
    EXPECT_EQ(with({"--exclude", "NOSUCH"}), 1);
    EXPECT_EQ(with({"--exclude", "LJ01,LJ02,LJ03,LJ04,LJ05,LJ06,LJ07,LJ08,LJ09,LJ10,LJ11"}), 1) << "one point left";
    EXPECT_EQ(with({"--sigma0", "0.02", "--snoop"}), 0);
}

} // namespace

namespace {

// A start file of two numbers a row gets heights of 1 in the computation;
// --out does not pass them off as heights: empty in CSV, NaN in a point file,
// with the warning (exit status 3).
TEST(StatsCliHeights, TwoCoordinateStartFileWritesNoHeights)
{
    Folder f;
    {
        std::ifstream in(examplesDir() / "local/d48_gk.pod");
        std::ofstream out(f("two.pod"));
        std::string name;
        double x, y, h;
        while (in >> name >> x >> y >> h)
            out << name << ' ' << std::setprecision(12) << x << ' ' << y << '\n';
    }
    for (const std::string out : {"p.csv", "p.txt"}) {
        const RunResult r = cli({"--type", "3r7", "--start", f("two.pod"), "--start-type", "gk", "--end",
                                 "local/d96_tm.pod", "--end-type", "tm", "--report", f("r.str"), "--out", f(out)});
        EXPECT_EQ(r.status, 3) << r.err;
        EXPECT_NE(r.err.find("no heights in " + f("two.pod")), std::string::npos) << r.err;
        std::istringstream lines(readText(f(out)));
        std::string line;
        std::getline(lines, line);
        if (out == "p.txt") {
            EXPECT_EQ(line.substr(line.size() - 3), "NaN") << line;
        }
        while (std::getline(lines, line))
            EXPECT_TRUE(out == "p.csv" ? line.back() == ',' : line.ends_with("NaN")) << line;
    }
}

} // namespace

namespace {

// The country network from D96 latitude and longitude with --heights 1: the
// heights of both datums are 0, no observations; snooping does not take a
// point out for a height error that does not exist, and the JSON says so.
TEST(StatsCliFaults, HeightsSetToZeroAreNoObservations)
{
    Folder f;
    const RunResult r = cli({"--type", "3r7", "--start", "country/d96_fila.pod", "--start-type", "fila", "--end",
                             "country/d48_gk.pod", "--end-type", "gk", "--snoop", "--report", f("r.str"),
                             "--params-json", f("p.json")});
    ASSERT_NE(r.status, 1) << r.err;
    const Json j = parseJson(readText(f("p.json")));
    EXPECT_FALSE(j["adjustment"]["heights_observed"].b);
    EXPECT_EQ(j["tests"]["components_tested"].num, 2);
    for (const Json& s : j["snooping"]["steps"].arr)
        EXPECT_NE(s["component"].str, "h") << s["point"].str;
    for (const Json& p : j["points"].arr) {
        EXPECT_EQ(p["w"]["h"].kind, Json::Kind::null) << p["name"].str;
        if (p["used"].b) {
            EXPECT_EQ(p["redundancy"]["h"].kind, Json::Kind::null) << p["name"].str;
        }
    }
    EXPECT_EQ(j["adjustment"].has("variance_components"), false);
}

// A point that fails Baarda's test is a warning naming it (exit status 3),
// in a plane run too, and so is a point that snooping leaves out.
TEST(StatsCliFaults, FailingOrRemovedPointIsAWarning)
{
    Folder f;
    copyPoints("local/d96_tm_2d.pod", f("e.pod"), {}, "LJ05", 2, 0.25);
    const std::vector<std::string> base{"--type", "2r4", "--start", "local/d48_gk_2d.pod", "--start-type", "gk",
                                        "--end", f("e.pod"), "--end-type", "tm", "--report", f("r.str")};
    RunResult r = cli(base);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("failing Baarda's test: LJ05"), std::string::npos) << r.err;
    auto args = base;
    args.push_back("--snoop");
    r = cli(args);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("snooping left out common point(s): LJ05"), std::string::npos) << r.err;
    // The clean network: no warning.
    r = cli({"--type", "2r4", "--start", "local/d48_gk_2d.pod", "--start-type", "gk", "--end", "local/d96_tm_2d.pod",
             "--end-type", "tm", "--report", f("c.str")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("critical"), std::string::npos) << "the w critical value in the summary";
    EXPECT_NE(r.out.find("Report m0"), std::string::npos) << r.out;
}

// Degenerate networks: three points in 3r7 leave no test (exit 3, said), five
// points a low redundancy with the largest MDB named; --alpha out of range
// is a usage error.
TEST(StatsCliFaults, DegenerateNetworksAreNoPassingOnes)
{
    Folder f;
    std::set<std::string> drop;
    for (int i = 4; i <= 12; ++i)
        drop.insert(std::string(i < 10 ? "LJ0" : "LJ") + std::to_string(i));
    copyPoints("local/d48_gk.pod", f("s3.pod"), drop);
    copyPoints("local/d96_tm.pod", f("e3.pod"), drop);
    RunResult r = cli({"--type", "3r7", "--start", f("s3.pod"), "--start-type", "gk", "--end", f("e3.pod"),
                       "--end-type", "tm", "--report", f("r.str")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("no test possible"), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("critical nan"), std::string::npos) << r.out;
    drop.erase("LJ04");
    drop.erase("LJ05");
    copyPoints("local/d48_gk.pod", f("s5.pod"), drop);
    copyPoints("local/d96_tm.pod", f("e5.pod"), drop, "LJ02", 1, 0.5);
    r = cli({"--type", "3r7", "--start", f("s5.pod"), "--start-type", "gk", "--end", f("e5.pod"), "--end-type", "tm",
             "--report", f("r.str")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("low redundancy"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("largest minimal detectable bias"), std::string::npos) << r.err;
    for (const std::string alpha : {"0", "0.5", "nan", "1e-320", "-0.1"}) {
        r = cli({"--type", "2r4", "--start", "local/d48_gk_2d.pod", "--start-type", "gk", "--end",
                 "local/d96_tm_2d.pod", "--end-type", "tm", "--report", f("r.str"), "--alpha", alpha});
        EXPECT_EQ(r.status, 2) << alpha << ": " << r.err;
        EXPECT_EQ(r.err.find("boost"), std::string::npos) << r.err;
    }
}

// The JSON of the new figures: the alpha of the point test (B-method), the
// global test with an a-priori sigma0, the variance components of the
// country network, the scale and rotation of 2r4 with their sd.
TEST(StatsCliFaults, JsonGivesTheTestsAndComponents)
{
    Folder f;
    RunResult r = cli({"--type", "3r7", "--start", "country/d48_gk.pod", "--start-type", "gk", "--end",
                       "country/d96_tm.pod", "--end-type", "tm", "--report", f("r.str"), "--params-json", f("p.json"),
                       "--sigma0", "0.012"});
    ASSERT_NE(r.status, 1) << r.err;
    Json j = parseJson(readText(f("p.json")));
    EXPECT_NEAR(j["tests"]["alpha_point_test"].num, 0.0055, 0.0003);
    EXPECT_EQ(j["tests"]["alpha_w_test"].num, 0.001);
    const Json& g = j["adjustment"]["global_test"];
    EXPECT_GT(g["statistic"].num, 0);
    EXPECT_GT(g["critical"].num, 0);
    EXPECT_EQ(g["passes"].b, g["statistic"].num <= g["critical"].num);
    const Json& vc = j["adjustment"]["variance_components"];
    EXPECT_NEAR(vc["horizontal"].num, 0.0095, 0.0006);
    EXPECT_NEAR(vc["height"].num, 0.0161, 0.0008);
    EXPECT_LT(vc["p"].num, 0.01);
    EXPECT_NE(r.out.find("Global test of the variance factor"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Variance components"), std::string::npos) << r.out;

    r = cli({"--type", "2r4", "--start", "local/d48_gk_2d.pod", "--start-type", "gk", "--end", "local/d96_tm_2d.pod",
             "--end-type", "tm", "--report", f("r.str"), "--params-json", f("p.json")});
    ASSERT_EQ(r.status, 0) << r.err;
    j = parseJson(readText(f("p.json")));
    EXPECT_GT(j["adjustment"]["scale_rotation"]["scale_sd_ppm"].num, 0);
    EXPECT_GT(j["adjustment"]["scale_rotation"]["rotation_sd_arcsec"].num, 0);
    EXPECT_NEAR(j["tests"]["alpha_point_test"].num, 0.0028, 0.0002);
}

} // namespace

namespace {

// D96/TM points given as D48/GK (and the other way): the fit among the points
// is perfect, but the estimated transformation is hundreds of metres from the
// national model -- a warning (exit 3) and the figure in the JSON; the right
// types stay below a metre without one.
TEST(StatsCliModel, ParametersFarFromTheNationalModelAreAWarning)
{
    Folder f;
    RunResult r = cli({"--type", "2r4", "--start", "local/d96_tm_2d.pod", "--start-type", "gk", "--end",
                       "local/d48_gk_2d.pod", "--end-type", "tm", "--report", f("r.str"), "--params-json", f("p.json")});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.err.find("Parametri se od državnega modela razlikujejo za"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("preveri datum in vrsto koordinat."), std::string::npos) << r.err;
    Json j = parseJson(readText(f("p.json")));
    EXPECT_GT(j["national_model"]["largest_difference_m"].num, 100);

    for (const std::string type : {"2r4", "2r6", "3r7"}) {
        const bool plane = type != "3r7";
        r = cli({"--type", type, "--start", plane ? "local/d48_gk_2d.pod" : "local/d48_gk.pod", "--start-type", "gk",
                 "--end", plane ? "local/d96_tm_2d.pod" : "local/d96_tm.pod", "--end-type", "tm", "--report",
                 f("r.str"), "--params-json", f("p.json")});
        EXPECT_EQ(r.err.find("Parametri se od"), std::string::npos) << type << ": " << r.err;
        j = parseJson(readText(f("p.json")));
        EXPECT_LT(j["national_model"]["largest_difference_m"].num, 1.0) << type;
        EXPECT_EQ(j["national_model"]["compared"].num, 12) << type;
    }
}

} // namespace
