// Parameter sets and results that no survey can have are refused, naming the
// cause, instead of being written as a success.
// Faults pinned down: "--params-values 0,0,0,0,0,0,-999999" and "1e300",
// 2r6 values of 1e308 and a 4-parameter set 0,0,0,0 exited 0 with "inf",
// every point at (0, 0) or latitudes of 94 and 225 deg; "params add" took
// "0 0 0 0" and "1 0 0 2 0 0"; plane input with x = 10 500 000 or
// 25 000 000 gave latitudes of 139 and -48 deg; (1, 1, 1) m from the
// centre came out at latitude -19.7 deg.
#include "input/value_checks.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct Absurd : ::testing::Test {
    fs::path dir = freshFolder("absurd");
    const std::string gk = (examplesDir() / "local" / "d48_gk.pod").string();
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    RunResult coords(const std::string& type, const std::string& values)
    {
        return run(cliPath(), {"transform", "--type", type, "--mode", "coords", "--start", gk, "--start-type", "gk",
                               "--end-type", "tm", "--params-values", values, "--report", "r.str", "--out", "o.txt"},
                   dir);
    }
};

Vec values(std::initializer_list<double> v)
{
    Vec out(static_cast<Eigen::Index>(v.size()));
    Eigen::Index k = 0;
    for (double x : v)
        out(k++) = x;
    return out;
}

} // namespace

TEST_F(Absurd, ParameterSetsThatAreSingularOrOutOfAllMeasureAreRefused)
{
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        // The scale change puts the points near the centre of the Earth, or far beyond it.
        {"3r7", "0,0,0,0,0,0,-999999", "transformed point LJ01 (row 1): Cartesian point 1 is 6.367 m from the centre of the Earth: it has no latitude "
                                       "and no height"},
        {"3r7", "0,0,0,0,0,0,1e300", "transformed point LJ01 (row 1): Cartesian point 1 is 6.36693e+300 m from the centre of the Earth: it has no "
                                     "latitude and no height"},
        {"3r7", "0,0,0,1e300,0,0,0", "rotation 1e+300 arc seconds is beyond 180 deg"},
        {"2r6", "1e308,1e308,1e308,1e308,1e308,1e308", "a1 b2 - a2 b1 is not a finite number: the coefficients are too large"},
        {"2r6", "1,0,0,2,0,0", "a1 b2 - a2 b1 = 0: the transformation puts every point on one line (a singular "
                               "transformation)"},
        {"2r4", "0,0,0,0", "a = b = 0: the transformation puts every point on one spot (a singular transformation)"},
    };
    for (const auto& [type, params, why] : cases) {
        const auto r = coords(type, params);
        EXPECT_EQ(r.status, 1) << params;
        EXPECT_EQ(boxLines(r.err), "Napaka v izracunu: Preveri podatke ali izberi pravilne nastavitve!\n") << params;
        EXPECT_EQ(detailLines(r.err), why + "\n");
        EXPECT_FALSE(fs::exists(dir / "r.str") || fs::exists(dir / "o.txt")) << params;
        fs::remove(dir / "r.str");
        fs::remove(dir / "o.txt");
    }
    // Sets a survey does use pass, among them a local grid in feet.
    EXPECT_EQ(unusableParameters(values({476.08, 125.947, 417.81, -4.61, -2.39, 11.94, 9.9})), std::nullopt);
    EXPECT_EQ(unusableParameters(values({0.3048, 0, 10, 0, 0.3048, 20})), std::nullopt);
    EXPECT_EQ(unusableParameters(values({0.99999, 1e-5, 300, -200})), std::nullopt);
    EXPECT_NE(unusableParameters(values({1, 0, std::nan(""), 0})), std::nullopt);

    fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
    for (const auto& [npar, set] : std::vector<std::pair<std::string, std::vector<std::string>>>{
             {"4", {"0", "0", "0", "0"}}, {"6", {"1", "0", "0", "2", "0", "0"}}}) {
        const std::string before = readText(dir / "data" / ("t" + npar + ".par"));
        std::vector<std::string> args{"params", "add", "--npar", npar, "--direction", "2", "--name", "Nic",
                                      "--data-dir", "data"};
        args.insert(args.end(), set.begin(), set.end());
        const auto r = run(cliPath(), args, dir);
        EXPECT_EQ(r.status, 1) << npar;
        EXPECT_EQ(boxLines(r.err), "Napaka: Parametri niso shranjeni! Med parametri je neveljavna vrednost.\n");
        EXPECT_EQ(readText(dir / "data" / ("t" + npar + ".par")), before);
    }
}

TEST_F(Absurd, PlaneNorthingsBeyondThePoleAndPointsNearTheCentreAreRefused)
{
    write("north.pod", "A 101369.04 462464.62 542.7\nB 10500000 500000 300\n");
    auto r = run(cliPath(), {"convert", "--in", "north.pod", "--in-type", "plane", "--out-type", "ell", "--out", "o.txt"},
                 dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Izven obmocja 5.cone GK!\nNapaka: Napaka pri pri pretvorbi koordinat!\n");
    EXPECT_EQ(detailLines(r.err).substr(0, 76),
              "point 2 of the list: northing 5500000.000000 m is outside the zone, -5000000");
    r = run(cliPath(), {"transform", "--type", "tm-fila", "--start", "north.pod", "--report", "r.str"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("northing 10500000.000000 m is outside the zone"), std::string::npos) << r.err;

    write("centre.pod", "A 4282000 1100000 4640000\nB 1 1 1\n");
    r = run(cliPath(), {"convert", "--in", "centre.pod", "--in-type", "cart", "--out-type", "ell", "--out", "o.txt"},
            dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(detailLines(r.err), "Cartesian point 2 is 1.732 m from the centre of the Earth: it has no latitude and "
                                  "no height\n");
    EXPECT_FALSE(fs::exists(dir / "o.txt"));
}
