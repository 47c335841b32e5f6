// kolmo-cli's exit statuses and messages: 0 done, 1 error, 2 usage, 3 done
// with warnings; the box as users know it, its cause (file, line, value, the
// system's reason, counts) on the next line.
// Faults pinned down: a conversion past a point outside the zone ended with
// status 0; heights outside the geoid model came out as "nan" in silence;
// impossible values (minutes 99, latitude 96, a negative standard deviation,
// a scale change of -10^6 ppm) went into the computation; a row short of a
// number got 0 in silence; a two-number file in the conversion got h = 1 m;
// every reading failure said only "Napacna oblika podatkov!"; a point file
// without --start-type was read as latitudes; "--version" and a misspelt
// command both said "A subcommand is required".
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

struct Cli : ::testing::Test {
    fs::path dir = freshFolder("cli");
    const std::string gk = (examplesDir() / "local" / "d48_gk.pod").string();
    const std::string tm = (examplesDir() / "local" / "d96_tm.pod").string();
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    RunResult cli(const std::vector<std::string>& args) { return run(cliPath(), args, dir); }
    // transform from D48/GK `start` to D96/TM `end`.
    RunResult transform(const std::string& start, const std::string& end, const std::string& startType = "gk")
    {
        return cli({"transform", "--start", start, "--start-type", startType, "--end", end, "--end-type", "tm",
                    "--out-type", "tm", "--report", "r.str"});
    }
    // The local end points with the line of `point` replaced.
    std::string endWith(const std::string& point, const std::string& line)
    {
        std::ifstream in(tm);
        std::string text;
        for (std::string l; std::getline(in, l);)
            text += (l.rfind(point + " ", 0) == 0 ? line : l) + "\n";
        return text;
    }
};

} // namespace

TEST_F(Cli, ErrorsNameTheirCause)
{
    write("bad.pod", "LJ01 101369.0365 462464.6246 542.7303\n\nLJ02 94822,7644,1 454631.6604 562.5742\n");
    auto r = transform(gk, "bad.pod");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
    EXPECT_EQ(detailLines(r.err), "end file: bad.pod, line 3: '94822.7644.1' is not a finite number\n");

    write("two.pod", "LJ01 101369.0365 462464.6246 542.7303\nLJ02 94822.7644 454631.6604 562.5742\n");
    r = transform(gk, "two.pod");
    EXPECT_EQ(boxLines(r.err), "Napaka v izracunu: Preveri podatke ali izberi pravilne nastavitve!\n");
    EXPECT_EQ(detailLines(r.err), "par3d_7: 2 common point(s) (same name in both datums), at least 3 needed\n");

    // Impossible values: file, line (blank lines counted), point and value.
    write("dms.pod", "LJ01 46.0303928 14.3053812 542.7\n\nLJ02 45.5930189 14.2499516 562.6\n");
    r = cli({"transform", "--start", "dms.pod", "--start-type", "fila", "--start-angles", "dms", "--end", gk,
             "--end-type", "gk", "--report", "r.str"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(detailLines(r.err), "start file dms.pod, line 3 (point LJ02): 14.2499516 in ddd.mmssss notation has "
                                  "99.516 seconds (60 or more)\n");
    write("lat.pod", "A 46.05 14.5 300\nB 96.05 14.5 300\n");
    EXPECT_EQ(detailLines(cli({"convert", "--in", "lat.pod", "--out", "o.txt"}).err),
              "lat.pod, line 2 (point B): latitude 96.05 is outside -90 to 90 deg\n");
    write("sd.pod", endWith("LJ05", "LJ05 106173.5425 457522.0290 364.3163 0.01 -0.01 0.02"));
    EXPECT_EQ(detailLines(transform(gk, "sd.pod").err),
              "end file sd.pod, line 5 (point LJ05): standard deviation -0.01 (column 5) is negative\n");
    r = cli({"transform", "--mode", "coords", "--start", gk, "--start-type", "gk", "--end-type", "tm",
             "--params-values", "0,0,0,0,0,0,-1000000", "--report", "r.str"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(detailLines(r.err), "scale change -1000000 ppm: the scale factor 1 + dm * 1e-6 must be positive\n");
    EXPECT_FALSE(fs::exists(dir / "r.str"));
}

TEST_F(Cli, FailuresAreNeverSuccessAndWarningsAreStatusThree)
{
    // The conversion goes on past a point outside the zone, as it always did; the status says it failed.
    write("fila.pod", "A 46.0 14.5 400\nB 46.0 12.0 400\nC 46.0 14.6 400\n");
    auto r = cli({"transform", "--type", "fila-tm", "--start", "fila.pod", "--report", "r.str"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Izven obmocja 5.cone GK!\nOpozorilo: Višine točk zunaj modela geoida niso določene!\n");
    EXPECT_EQ(detailLines(r.err), "point 2 of the list: longitude 12.000000 deg is outside the zone, 13.25 to 16.75 deg E\n"
                                  "no geoid height in SVS2010 (model VRP2016) at 1 point(s): B\n");
    EXPECT_NE(readText(dir / "r.str").find("B               0.000         0.000         NaN"), std::string::npos);

    write("in.pod", "A 46.0 14.5 400\nB 47.6 14.5 400\nC 47.7 14.6\n");
    r = cli({"convert", "--in", "in.pod", "--out", "o.txt"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(detailLines(r.err), "in.pod: line 3 holds fewer than 3 numbers; the missing ones are 0\n"
                                  "no geoid height in SVS2010 (model VRP2016) at 2 point(s): B, C\n");
    EXPECT_NE(readText(dir / "o.txt").find("B            273546.769   462403.610          nan"), std::string::npos);

    // Two numbers per point: the third coordinate is 0, not the 1 reading adds.
    write("two.pod", "T1 46.0512 14.3021\n");
    write("zero.pod", "T1 46.0512 14.3021 0\n");
    EXPECT_EQ(cli({"convert", "--in", "two.pod", "--out", "two.txt", "--out-type", "cart"}).status, 3);
    EXPECT_EQ(cli({"convert", "--in", "zero.pod", "--out", "zero.txt", "--out-type", "cart"}).status, 0);
    EXPECT_EQ(readText(dir / "two.txt"), readText(dir / "zero.txt"));

    // Common points flagged by the tau test (one moved by half a metre).
    write("end.pod", endWith("LJ05", "LJ05 106174.0425 457522.0290 364.3163"));
    r = transform(gk, "end.pod");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(boxLines(r.err), "Opozorilo: Med koordinatami veznih točk so grobi pogreški!\n"
                               "Opozorilo: common point(s) failing Baarda's test: LJ05\n");
    r = transform(gk, tm);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
}

TEST_F(Cli, UsageErrorsVersionAndHelp)
{
    auto r = cli({"transform", "--start", gk, "--end", tm, "--end-type", "tm", "--report", "r.str"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kolmo-cli transform: --start needs --start-type (fila, tm or gk): the coordinates of the start file\n");
    r = cli({"transform", "--mode", "coords", "--start", gk, "--start-type", "gk", "--params-values",
             "476.08,125.947,417.81,-4.610862,-2.388137,11.942335,9.896638", "--report", "r.str"});
    EXPECT_EQ(r.status, 2) << "the datum to transform into";
    EXPECT_FALSE(fs::exists(dir / "r.str"));
    r = cli({"transfrom"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kolmo-cli: unknown command 'transfrom'\nRun with --help for the commands.\n");
    EXPECT_EQ(cli({"params", "remove"}).err, "kolmo-cli: unknown command 'remove'\nRun with --help for the commands.\n");
    r = cli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "Kolmo v3.00\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"convert", "--help"}, {"geoid", "--help"}, {"transform", "--help"},
          {"params", "--help"}, {"params", "list", "--help"}, {"params", "add", "--help"}})
        EXPECT_NE(cli(args).out.find("Exit status: 0 done; 1 error"), std::string::npos) << args.front();
}
