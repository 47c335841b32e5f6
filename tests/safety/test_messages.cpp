// kolmo-cli's messages name the cause on the line under the box: which file
// (start or end), which line and token, the system's reason, the number of
// common points against the minimum, the data file that failed.  The boxes
// themselves stay as the users know them.
//
// Fault pinned down: every failed reading said "Napacna oblika podatkov!"
// and nothing else, whether the file was missing, binary, or had one comma
// too many on line 3 812.
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo::test;

namespace {

struct Messages : ::testing::Test {
    fs::path dir = freshFolder("messages");
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name) << text; }
    RunResult transform(const std::string& start, const std::string& end)
    {
        return run(cliPath(), {"transform", "--start", start, "--start-type", "gk", "--end", end, "--end-type", "tm",
                               "--out-type", "tm", "--report", "r.str"},
                   dir);
    }
};

} // namespace

TEST_F(Messages, ReadingNamesRoleFileLineAndToken)
{
    const std::string gk = (examplesDir() / "local" / "d48_gk.pod").string();
    const std::string tm = (examplesDir() / "local" / "d96_tm.pod").string();
    write("bad.pod", "LJ01 101369.0365 462464.6246 542.7303\n\nLJ02 94822,7644,1 454631.6604 562.5742\n");
    auto r = transform(gk, "bad.pod");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
    EXPECT_EQ(detailLines(r.err), "end file: bad.pod, line 3: '94822.7644.1' is not a finite number\n");

    write("noname.pod", "LJ01 101369.0365 462464.6246 542.7303\nLJ02\n");
    r = transform("noname.pod", tm);
    EXPECT_EQ(detailLines(r.err), "start file: noname.pod, line 2: point 'LJ02' has no coordinates\n");

    fs::create_directories(dir / "folder.pod");
    r = transform("folder.pod", tm);
    EXPECT_EQ(detailLines(r.err), "start file: folder.pod: read failed: Is a directory\n");

    write("empty.pod", "\n  \n");
    r = transform(gk, "empty.pod");
    EXPECT_EQ(detailLines(r.err), "end file: empty.pod: no point in the file\n");
}

TEST_F(Messages, ComputationNamesItsCause)
{
    // Two names in common where the similarity needs three.
    write("two.pod", "LJ01 101369.0365 462464.6246 542.7303\nLJ02 94822.7644 454631.6604 562.5742\n");
    auto r = transform((examplesDir() / "local" / "d48_gk.pod").string(), "two.pod");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka v izracunu: Preveri podatke ali izberi pravilne nastavitve!\n");
    EXPECT_EQ(detailLines(r.err), "par3d_7: 2 common point(s) (same name in both datums), at least 3 needed\n");

    r = run(cliPath(), {"transform", "--type", "2r6", "--start", (examplesDir() / "local" / "d48_gk_2d.pod").string(),
                        "--start-type", "gk", "--end", "two.pod", "--end-type", "tm", "--report", "r.str"},
            dir);
    EXPECT_EQ(detailLines(r.err), "par2d_p: 2 common point(s), the 6-parameter model needs at least 4\n");

    // A missing geoid model names the file.
    fs::create_directories(dir / "empty");
    r = run(cliPath(), {"transform", "--type", "fila-tm", "--start", (examplesDir() / "local" / "d96_fila.pod").string(),
                        "--data-dir", (dir / "empty").string(), "--report", "r.str"},
            dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka v pretvorbi: Preveri podatke!\n");
    EXPECT_EQ(detailLines(r.err), (dir / "empty" / "HREF_SVS2010.mat").string() +
                                      ": the file does not exist or cannot be opened\n");

    // A report in a folder that is not there: the system's reason.
    r = run(cliPath(), {"transform", "--start", (examplesDir() / "local" / "d48_gk.pod").string(), "--start-type", "gk",
                        "--end", (examplesDir() / "local" / "d96_tm.pod").string(), "--end-type", "tm", "--report",
                        "no/such/folder/r.str"},
            dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(detailLines(r.err), "cannot create a file beside no/such/folder/r.str: No such file or directory\n");
}
