// kolmo-cli refuses values no survey holds, naming file, line and value, and
// warns about rows that reading completes with 0 and about files without
// heights.
//
// Faults pinned down: ddd.mmssss minutes of 99 were converted; a negative
// standard deviation and a scale change of -10^6 ppm went into the
// computation; a row of two numbers among rows of three got the height 0 in
// silence; a file of two numbers per point was converted with h = 1 m (the
// unit standard deviation reading adds as column 3), moving Cartesian results
// by a metre.
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

struct Values : ::testing::Test {
    fs::path dir = freshFolder("values");
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    RunResult cli(const std::vector<std::string>& args) { return run(cliPath(), args, dir); }
    std::vector<std::string> transform(std::vector<std::string> args) const
    {
        args.insert(args.begin(), "transform");
        args.insert(args.end(), {"--end", (examplesDir() / "local" / "d48_gk.pod").string(), "--end-type", "gk",
                                 "--report", "r.str"});
        return args;
    }
};

const std::string kReadBox = "Napaka pri branju datoteke: Napacna oblika podatkov!\n";

} // namespace

TEST_F(Values, ImpossibleValuesNameFileLineAndValue)
{
    write("dms.pod", "LJ01 46.0303928 14.3053812 542.7\n\nLJ02 45.5930189 14.2499516 562.6\n");
    auto r = cli(transform({"--start", "dms.pod", "--start-type", "fila", "--start-angles", "dms"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Napaka pri urejanju podatkov!\n");
    EXPECT_EQ(detailLines(r.err),
              "start file dms.pod, line 3 (point LJ02): 14.2499516 in ddd.mmssss notation has 99.516 seconds (60 or more)\n");

    write("lat.pod", "A 46.05 14.5 300\nB 96.05 14.5 300\n");
    r = cli({"convert", "--in", "lat.pod", "--out", "o.txt"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), kReadBox);
    EXPECT_EQ(detailLines(r.err), "lat.pod, line 2 (point B): latitude 96.05 is outside -90 to 90 deg\n");
    EXPECT_FALSE(fs::exists(dir / "o.txt"));

    write("sd.pod", "A 100882.7 462835.6 542.7 0.01 0.01 0.02\nB 94336.4 455002.9 562.6 0.01 -0.01 0.02\n");
    r = cli(transform({"--start", "sd.pod", "--start-type", "tm"}));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), kReadBox);
    EXPECT_EQ(detailLines(r.err), "start file sd.pod, line 2 (point B): standard deviation -0.01 (column 5) is negative\n");

    r = cli({"transform", "--mode", "coords", "--start", (examplesDir() / "local" / "d48_gk.pod").string(),
             "--start-type", "gk", "--end-type", "tm", "--params-values", "0,0,0,0,0,0,-1000000", "--report", "r.str"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka v izracunu: Preveri podatke ali izberi pravilne nastavitve!\n");
    EXPECT_EQ(detailLines(r.err), "scale change -1000000 ppm: the scale factor 1 + dm * 1e-6 must be positive\n");
    EXPECT_FALSE(fs::exists(dir / "r.str"));

    r = cli({"params", "add", "--npar", "7", "--direction", "2", "--name", "Nic", "--data-dir", dir.string(), "0", "0",
             "0", "0", "0", "0", "-1e6"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Parametri niso shranjeni! Med parametri je neveljavna vrednost.\n");
    EXPECT_FALSE(fs::exists(dir / "t7.par"));
}

TEST_F(Values, ShortRowsKeepTheirZeroWithAWarning)
{
    write("short.pod", "T1 46.0512 14.3021 300\nT2 46.0513 14.3022\n\nT3 46.0514 14.3023 301\nT4 46.0515 14.3024\n");
    auto r = cli({"convert", "--in", "short.pod", "--out", "o.txt", "--heights", "ellipsoidal"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(boxLines(r.err), "Opozorilo: Nekaterim vrsticam manjkajo števila; dopolnjena so z 0!\n");
    EXPECT_EQ(detailLines(r.err), "short.pod: lines 2, 5 hold fewer than 3 numbers; the missing ones are 0\n");
    const std::string out = readText(dir / "o.txt");
    EXPECT_NE(out.find("T2           101514.580   446001.533        0.000"), std::string::npos) << out;

    // The transformation names the file's role.
    std::string text;
    std::ifstream in(examplesDir() / "local" / "d96_tm.pod");
    for (std::string line; std::getline(in, line);)
        text += (line.rfind("LJ03", 0) == 0 ? line.substr(0, line.rfind(' ')) : line) + "\n";
    write("end.pod", text);
    r = cli({"transform", "--start", (examplesDir() / "local" / "d48_gk.pod").string(), "--start-type", "gk", "--end",
             "end.pod", "--end-type", "tm", "--out-type", "tm", "--report", "r.str"});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(detailLines(r.err), "end file end.pod: line 3 holds fewer than 3 numbers; the missing ones are 0\n");
}

TEST_F(Values, TwoNumbersPerPointMeanNoHeight)
{
    write("two.pod", "T1 46.0512 14.3021\nT2 46.0513 14.3022\n");
    write("zero.pod", "T1 46.0512 14.3021 0\nT2 46.0513 14.3022 0\n");
    auto r = cli({"convert", "--in", "two.pod", "--out", "two.txt", "--out-type", "cart"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(boxLines(r.err), "Opozorilo: Datoteka ima le dve števili na točko; tretja koordinata je 0!\n");
    EXPECT_EQ(detailLines(r.err), "two.pod: two numbers per point; the third coordinate (the height) is taken as 0, "
                                  "not as the unit standard deviation that reading adds to plane point sets\n");
    r = cli({"convert", "--in", "zero.pod", "--out", "zero.txt", "--out-type", "cart"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readText(dir / "two.txt"), readText(dir / "zero.txt"));
}
