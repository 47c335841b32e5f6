// kolmo-cli convert, run as a program.
#include "platform/textread.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace fs = std::filesystem;
using kolmo::platform::readFile;

namespace {

class CliConvert : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("kolmo_cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs kolmo-cli convert with `args`; returns the exit status, keeps stderr.
    int run(const std::string& args)
    {
        std::string cmd = quoted(kolmo::test::cliPath().string());
        cmd += " convert ";
        cmd += args;
        cmd += " 2>";
        cmd += quoted((dir / "err.txt").string());
        cmd += " >/dev/null";
        const int rc = std::system(cmd.c_str());
        err = readFile(dir / "err.txt");
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    static std::string quoted(const std::string& s)
    {
        std::string q(1, '\'');
        q += s;
        q += '\'';
        return q;
    }
    std::string path(const char* name) const { return quoted((dir / name).string()); }

    fs::path dir;
    std::string err;
};

} // namespace

TEST_F(CliConvert, EllipsoidalFileToPlane)
{
    const auto in = kolmo::test::examplesDir() / "country" / "d96_fila.pod";
    ASSERT_EQ(run("--in " + quoted(in.string()) + " --out " + path("tm.txt") + " --heights ellipsoidal"), 0) << err;
    const std::string text = readFile(dir / "tm.txt");
    // Same points as the example D96/TM file, to the millimetre.
    EXPECT_EQ(text.substr(0, text.find('\n')), "S01          127744.905   539524.389      383.280");
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST_F(CliConvert, ColumnsAndAngleNotation)
{
    std::ofstream(dir / "lon_first.pod") << "T1 14,3021 46,0300 300,5\n";
    ASSERT_EQ(run("--in " + path("lon_first.pod") + " --out " + path("o.txt") +
                  " --columns 2,1,3 --angles dms --out-type cart --ellipsoid bessel"),
              0)
        << err;
    std::ofstream(dir / "dec.pod") << "T1 46.05 14.505833333333333 300.5\n";
    ASSERT_EQ(run("--in " + path("dec.pod") + " --out " + path("p.txt") + " --out-type cart --ellipsoid bessel"), 0);
    EXPECT_EQ(readFile(dir / "o.txt"), readFile(dir / "p.txt"));
}

TEST_F(CliConvert, FailuresAndUsageErrors)
{
    std::ofstream(dir / "one.pod") << "A 1\n";
    std::ofstream(dir / "ok.pod") << "A 46 15 300\n";
    EXPECT_EQ(run("--in " + path("one.pod") + " --out " + path("o.txt")), 1);
    EXPECT_EQ(kolmo::test::boxLines(err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
    EXPECT_EQ(kolmo::test::detailLines(err), (dir / "one.pod").string() + ": 1 number(s) per point, three coordinates needed\n");
    EXPECT_EQ(run("--in " + path("ok.pod") + " --out " + path("o.txt") + " --in-type plane --out-type plane-xy"), 1);
    EXPECT_EQ(err, "Napaka: Identicna tipa koordinat! Nesmiselna pretvorba.\n");
    // Sea-level heights need a geoid model; none in this folder.
    EXPECT_EQ(run("--in " + path("ok.pod") + " --out " + path("o.txt") + " --data-dir " + path("")), 1);
    EXPECT_EQ(kolmo::test::boxLines(err), "Napaka: Napaka pri pri pretvorbi koordinat!\n");
    EXPECT_EQ(kolmo::test::detailLines(err), (dir / "HREF_SVS2010.mat").string() + ": the file does not exist or cannot be opened\n");
    EXPECT_FALSE(fs::exists(dir / "o.txt"));

    EXPECT_EQ(run("--in " + path("ok.pod") + " --out " + path("o.txt") + " --ellipsoid clarke"), 2);
    EXPECT_EQ(run("--in " + path("ok.pod") + " --out " + path("o.txt") + " --columns 1,2,3,1"), 2);
    EXPECT_EQ(run("--in " + path("ok.pod") + " --out " + path("o.txt") + " --in-type cart --angles dms"), 2);
    EXPECT_EQ(run("--out " + path("o.txt")), 2);
    EXPECT_EQ(run("--help"), 0);
}
