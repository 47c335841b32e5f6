// kolmo-cli's exit statuses: 0 done, 1 error, 2 usage, 3 done with warnings.
//
// Faults pinned down: a conversion with a point outside the zone showed its
// error box, wrote a report of 0.000 0.000 NaN NaN and ended with status 0;
// points outside the geoid model got "nan" heights in silence; "--version"
// and a misspelt command both said "A subcommand is required".
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

struct ExitStatus : ::testing::Test {
    fs::path dir = freshFolder("exit_status");
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
};

} // namespace

TEST_F(ExitStatus, ErrorBoxMeansFailureEvenWhenTheReportIsWritten)
{
    write("fila.pod", "A 46.0 14.5 400\nB 46.0 12.0 400\nC 46.0 14.6 400\n");
    const auto r = run(cliPath(), {"transform", "--type", "fila-tm", "--start", "fila.pod", "--report", "r.str"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Izven obmocja 5.cone GK!\n"
                               "Opozorilo: Višine točk zunaj modela geoida niso določene!\n");
    EXPECT_EQ(detailLines(r.err), "point 2 of the list: longitude 12.000000 deg is outside the zone, 13.25 to 16.75 deg E\n"
                                  "no geoid height in SVS2010 (model VRP2016) at 1 point(s): B\n");
    // The conversion goes on past the point as it always did; only the status changed.
    const std::string report = readText(dir / "r.str");
    EXPECT_NE(report.find("B               0.000         0.000         NaN           NaN"), std::string::npos) << report;
}

TEST_F(ExitStatus, PointsOutsideTheGeoidModelAreNamed)
{
    write("in.pod", "A 46.0 14.5 400\nB 47.6 14.5 400\nC 47.7 14.6 400\n");
    auto r = run(cliPath(), {"convert", "--in", "in.pod", "--out", "o.txt"}, dir);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(boxLines(r.err), "Opozorilo: Višine točk zunaj modela geoida niso določene!\n");
    EXPECT_EQ(detailLines(r.err), "no geoid height in SVS2010 (model VRP2016) at 2 point(s): B, C\n");
    EXPECT_NE(readText(dir / "o.txt").find("B            273546.769   462403.610          nan"), std::string::npos);

    // Ellipsoidal heights kept as given need no model: no warning.
    r = run(cliPath(), {"convert", "--in", "in.pod", "--out", "o.txt", "--heights", "ellipsoidal"}, dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");

    // The transformation's heights above sea level alike (start point B
    // outside the model, but inside the zone).
    write("tm.pod", "LJ01 101369.0365 462464.6246 542.7303\nX 276000.0 462000.0 300\n");
    r = run(cliPath(), {"transform", "--type", "tm-fila", "--start", "tm.pod", "--report", "r.str"}, dir);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(detailLines(r.err), "no geoid height in SVS2010 (model VRP2016) at 1 point(s): X\n");
}

TEST_F(ExitStatus, FlaggedGrossErrorsAreAWarning)
{
    // The local network with one end point moved by half a metre.
    std::ifstream in(examplesDir() / "local" / "d96_tm.pod");
    std::string line, text;
    while (std::getline(in, line)) {
        if (line.rfind("LJ05", 0) == 0)
            line = "LJ05      106174.0425  457522.0290   364.3163";
        text += line + "\n";
    }
    write("end.pod", text);
    const std::vector<std::string> args{"transform", "--start", (examplesDir() / "local" / "d48_gk.pod").string(),
                                        "--start-type", "gk", "--end", "end.pod", "--end-type", "tm", "--out-type",
                                        "tm", "--report", "r.str"};
    auto r = run(cliPath(), args, dir);
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_NE(r.out.find("Gross error (grobi pogresek): LJ05 X"), std::string::npos) << r.out;
    EXPECT_EQ(boxLines(r.err), "Opozorilo: Med koordinatami veznih točk so grobi pogreški!\n");

    auto clean = args;
    clean[6] = (examplesDir() / "local" / "d96_tm.pod").string();
    r = run(cliPath(), clean, dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST_F(ExitStatus, HelpVersionAndUnknownCommands)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"convert", "--help"}, {"geoid", "--help"}, {"transform", "--help"},
          {"params", "--help"}, {"params", "list", "--help"}, {"params", "add", "--help"}}) {
        const auto r = run(cliPath(), args);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("Exit status: 0 done; 1 error"), std::string::npos) << args.front();
        EXPECT_NE(r.out.find("2 usage error; 3 done with warnings"), std::string::npos) << args.front();
    }
    auto r = run(cliPath(), {"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Kolmo v3.00\n");

    r = run(cliPath(), {"transfrom", "--report", "x.str"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kolmo-cli: unknown command 'transfrom'\nRun with --help for the commands.\n");
    r = run(cliPath(), {"params", "remove"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kolmo-cli: unknown command 'remove'\nRun with --help for the commands.\n");
    EXPECT_EQ(run(cliPath(), {}).status, 2);
}

// A point file's coordinate type cannot be told from its numbers.  Fault
// pinned down: without --start-type plane coordinates were read as latitudes
// (the window's first list entry) and the run ended in "Iteracija ne
// konvergira!".
TEST_F(ExitStatus, PointFilesNeedTheirCoordinateTypes)
{
    const std::string start = (examplesDir() / "local" / "d48_gk.pod").string();
    const std::string end = (examplesDir() / "local" / "d96_tm.pod").string();
    auto r = run(cliPath(), {"transform", "--start", start, "--end", end, "--end-type", "tm", "--report", "r.str"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kolmo-cli transform: --start needs --start-type (fila, tm or gk): the coordinates of the start file\n");
    r = run(cliPath(), {"transform", "--start", start, "--start-type", "gk", "--end", end, "--report", "r.str"}, dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kolmo-cli transform: --end needs --end-type (fila, tm or gk): the coordinates of the end file\n");
    r = run(cliPath(), {"transform", "--mode", "coords", "--start", start, "--start-type", "gk", "--params-values",
                        "476.08,125.947,417.81,-4.610862,-2.388137,11.942335,9.896638", "--report", "r.str"},
            dir);
    EXPECT_EQ(r.status, 2) << "the datum to transform into";
    EXPECT_FALSE(fs::exists(dir / "r.str"));
    // Files that carry their types, and the conversions of one type, need none.
    r = run(cliPath(), {"transform", "--varnik", (examplesDir() / "projekt_3r.in").string(), "--report", "r.str"}, dir);
    EXPECT_EQ(r.status, 0) << r.err;
}
