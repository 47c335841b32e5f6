// The geoid tool's "Izracunaj" and kolmo-cli geoid: the order of the checks,
// the messages, the plane-coordinate detection, the limits, the heights.
#include "geoid_fixtures.h"
#include "support/run.h"

#include "geodesy/elipgk.h"
#include "geodesy/interg.h"
#include "platform/dialogs.h"
#include "tools/mod_intg.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>

using namespace kolmo;
using namespace kolmo::tools;
using kolmo::platform::Box;

namespace {

const std::filesystem::path& dataDir()
{
    static const auto d = kolmo::test::geoidFixtures();
    return d;
}

struct Run {
    std::optional<IntgResult> result;
    std::vector<Box> boxes;
    int busyDepth = 0;
};

Run izracunaj(const std::string& fi, const std::string& la, const std::string& h = "", const std::string& H = "",
              int geoid = 1, const std::filesystem::path& dir = dataDir())
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    Run r;
    r.result = mod_intg_izracunaj({fi, la, h, H, geoid}, dir);
    r.boxes = rec.boxes;
    r.busyDepth = rec.busyDepth;
    return r;
}

Box error(const char* text) { return {Box::Error, text, "Napaka"}; }

} // namespace

TEST(ModIntg, ChecksComeInOrderWithTheirMessages)
{
    // Both heights before the missing coordinates.
    EXPECT_EQ(izracunaj("", "", "1", "2").boxes, std::vector{error("Vnesi samo eno visino (h ali H)!")});
    EXPECT_EQ(izracunaj("46", "", "", "").boxes, std::vector{error("Vnesi koordinate tocke!")});
    EXPECT_EQ(izracunaj("46", "abc").boxes, std::vector{error("Vnesi koordinate tocke!")});
    EXPECT_EQ(izracunaj("nan", "15").boxes, std::vector{error("Vnesi koordinate tocke!")});
    EXPECT_EQ(izracunaj("45.2499", "15").boxes, std::vector{error("Zunaj meja modela geoida")});
    EXPECT_EQ(izracunaj("46", "16.7501").boxes, std::vector{error("Zunaj meja modela geoida")});
    // Plane coordinates so far off that the projection gives no number.
    EXPECT_EQ(izracunaj("1e300", "1e300").boxes, std::vector{error("Zunaj meja modela geoida")});
    const auto missing = kolmo::test::freshTempDir("intg_nodata");
    EXPECT_EQ(izracunaj("46", "15", "", "", 1, missing).boxes, std::vector{error("Napaka v izracunu. Preveri podatke!")});
    std::filesystem::remove_all(missing);
    // Every way out restores the busy pointer.
    EXPECT_EQ(izracunaj("46", "").busyDepth, 0);
    EXPECT_FALSE(izracunaj("46", "").result);
}

TEST(ModIntg, DecimalCommaAndBlanksAreAccepted)
{
    const auto a = izracunaj("46,05", " 15,2 ", "300,5");
    const auto b = izracunaj("46.05", "15.2", "300.5");
    ASSERT_TRUE(a.result && b.result);
    EXPECT_TRUE(a.boxes.empty());
    EXPECT_EQ(a.result->fi, 46.05);
    EXPECT_EQ(a.result->Ng, b.result->Ng);
    EXPECT_EQ(*a.result->visina, *b.result->visina);
    EXPECT_EQ(fieldNumber("  "), std::nullopt);
    EXPECT_EQ(fieldNumber("-0,5"), -0.5);
}

TEST(ModIntg, PlaneCoordinatesAreDetectedByTheirSize)
{
    const auto tm = izracunaj("100000", "500000");
    ASSERT_TRUE(tm.result);
    Mat T(1, 2);
    T << 100000, 500000;
    const auto [fi, la] = tmelip(T);
    EXPECT_EQ(tm.result->fi, fi);
    EXPECT_EQ(tm.result->la, la);
    EXPECT_NEAR(la, 15.0, 1e-12);
    EXPECT_EQ(tm.result->Ng, interg(fi, la, 1, dataDir()));
    // Only the second above 20 is enough too; 46.5, 15.0 stay degrees.
    EXPECT_TRUE(izracunaj("40", "500000").boxes.size() == 1);  // n = 40 m is far south
    const auto deg = izracunaj("46.5", "15.0");
    ASSERT_TRUE(deg.result);
    EXPECT_EQ(deg.result->fi, 46.5);
}

TEST(ModIntg, LimitsAreInsideAndHeightsFollowFromN)
{
    for (const char* fi : {"45.25", "46.99992"})
        for (const char* la : {"13.25", "16.75"})
            EXPECT_TRUE(izracunaj(fi, la).result) << fi << " " << la;

    const auto none = izracunaj("46.2", "14.8");
    ASSERT_TRUE(none.result);
    EXPECT_FALSE(none.result->visina);
    EXPECT_EQ(none.result->label, "");

    const auto fromh = izracunaj("46.2", "14.8", "350", "", 2);
    ASSERT_TRUE(fromh.result);
    EXPECT_EQ(fromh.result->label, "H (m):");
    EXPECT_EQ(*fromh.result->visina, 350 - fromh.result->Ng);

    const auto fromH = izracunaj("46.2", "14.8", "", "300", 2);
    ASSERT_TRUE(fromH.result);
    EXPECT_EQ(fromH.result->label, "h (m):");
    EXPECT_EQ(*fromH.result->visina, 300 + fromH.result->Ng);
}

TEST(ModIntg, InsideTheLimitsButOutsideTheAmgPointsIsRefused)
{
    // The SVS2000 model has no data in the south-west corner; a NaN is not a result.
    const auto r = izracunaj("45.26", "13.26", "100", "", 2);
    EXPECT_FALSE(r.result);
    EXPECT_EQ(r.boxes, std::vector{error("Zunaj meja modela geoida")});
}

namespace {

struct CliRun {
    int status;
    std::string out, err;
};

CliRun cli(const std::string& args)
{
    const auto dir = kolmo::test::freshTempDir("cli_geoid");
    const std::string cmd = kolmo::test::cliPath().string() + " geoid " + args + " > " + (dir / "out").string() +
                            " 2> " + (dir / "err").string();
    const int raw = std::system(cmd.c_str());
    auto slurp = [](const std::filesystem::path& f) {
        std::ifstream in(f);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    CliRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(dir / "out"), slurp(dir / "err")};
    std::filesystem::remove_all(dir);
    return r;
}

std::string fixed6(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    return buf;
}

} // namespace

TEST(CliGeoid, PrintsNAndTheOtherHeight)
{
    const std::string dd = " --data-dir " + dataDir().string() + " ";
    const double N1 = interg(46.05, 15.2, 1, dataDir());
    const double N2 = interg(46.05, 15.2, 2, dataDir());

    auto r = cli(dd + "46,05 15,2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "N (m): " + fixed6(N1) + "\n");

    r = cli(dd + "--height-system svs2000 --h 300,5 46.05 15.2");
    EXPECT_EQ(r.out, "N (m): " + fixed6(N2) + "\nH (m): " + fixed6(300.5 - N2) + "\n");

    r = cli(dd + "--H -2,5 46.05 15.2");
    EXPECT_EQ(r.out, "N (m): " + fixed6(N1) + "\nh (m): " + fixed6(-2.5 + N1) + "\n");
}

TEST(CliGeoid, ErrorsAndUsage)
{
    const std::string dd = " --data-dir " + dataDir().string() + " ";
    auto r = cli(dd + "--h 1 --H 2 46 15");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Napaka: Vnesi samo eno visino (h ali H)!\n");
    // A negative value is a coordinate, not an option.
    r = cli(dd + "-46,05 15");
    EXPECT_EQ(r.status, 1);
    // With its cause: the point and the model's bounds.
    EXPECT_EQ(r.err, "Napaka: Zunaj meja modela geoida\n  latitude -46.050000, longitude 15.000000 deg is outside the "
                     "model VRP2016 (SVS2010): latitude 45.25 to 46.99992, longitude 13.25 to 16.75 deg\n");
    r = cli("--data-dir /nonexistent/kolmo 46 15");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(kolmo::test::boxLines(r.err), "Napaka: Napaka v izracunu. Preveri podatke!\n");
    EXPECT_EQ(kolmo::test::detailLines(r.err),
              "/nonexistent/kolmo/HREF_SVS2010.mat: the file does not exist or cannot be opened\n")
        << "the damaged or missing data file is named";
    EXPECT_EQ(cli(dd + "46").status, 2);
    EXPECT_EQ(cli(dd + "--height-system svs1900 46 15").status, 2);
    EXPECT_EQ(cli(dd + "--h abc 46 15").status, 2);
    EXPECT_TRUE(cli(dd + "46 15").err.empty());
    r = cli("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--height-system"), std::string::npos);
}

TEST(CliGeoid, DefaultDataFolderIsBesideTheProgram)
{
    auto r = cli("46.05 15.2");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("N (m): ", 0), 0u);
}
