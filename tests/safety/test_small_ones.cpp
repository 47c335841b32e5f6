// Smaller faults of the command line, each pinned down by its case:
// a damaged parameter database was told three ways (or not at all: "add"
// appended to a file holding "nan"); a set name that Windows-1250 cannot
// hold was stored as "?"; the CSV header "name,y,x,H" that --order yx writes
// was read back as x, y; UTF-8 names of a CSV file came out garbled in the
// report.
#include "platform/cp1250.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct SmallOnes : ::testing::Test {
    fs::path dir = freshFolder("small_ones");
    void SetUp() override { fs::copy(dataDir(), dir / "data", fs::copy_options::recursive); }
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
    RunResult cli(const std::vector<std::string>& args) { return run(cliPath(), args, dir); }
};

} // namespace

TEST_F(SmallOnes, ADamagedDatabaseIsToldOneWayAndNeverAppendedTo)
{
    const std::string set = "\n2,A,1,2,3,4,5,6,7\n2,B,1,2,3,4,5,6,7";
    const std::vector<std::pair<std::string, std::string>> damaged{
        {set + "\n2,C,1,2", "data/t7.par, line 4: the last record holds 4 of 9 fields (the file is cut short or a "
                            "record is damaged)"},
        {set + "\n1,C,1,2,nan,4,5,6,7", "data/t7.par, line 4: record 3 ('C'): parameter 3 'nan' is not a number"},
        {"", "data/t7.par: a folder, not a parameter database"},
    };
    const std::vector<std::string> gk{"--start", (examplesDir() / "local" / "d48_gk.pod").string(), "--start-type",
                                      "gk"};
    for (const auto& [text, details] : damaged) {
        fs::remove_all(dir / "data" / "t7.par");
        if (text.empty())
            fs::create_directory(dir / "data" / "t7.par");
        else
            write("data/t7.par", text);
        auto r = cli({"params", "list", "--npar", "7", "--direction", "2", "--data-dir", "data"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Napaka: Napaka v datoteki s parametri!\n  " + details + "\n");
        auto args = std::vector<std::string>{"transform", "--mode", "coords", "--end-type", "tm", "--params", "A",
                                             "--data-dir", "data", "--report", "r.str"};
        args.insert(args.end(), gk.begin(), gk.end());
        r = cli(args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "Napaka: Napaka v datoteki s parametri!\n  " + details + "\n");
        r = cli({"params", "add", "--npar", "7", "--direction", "2", "--name", "Nova", "--data-dir", "data", "1", "2",
                 "3", "4", "5", "6", "7"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(detailLines(r.err), details + "\n");
        if (!text.empty()) {
            EXPECT_EQ(readText(dir / "data" / "t7.par"), text) << "appended to a damaged database";
        }
    }
}

TEST_F(SmallOnes, SetNamesWindows1250CannotHoldAreRefused)
{
    const std::string before = readText(dir / "data" / "t4.par");
    for (const std::string name : {"\xe8\x9a", "Tokyo \xe6\x9d\xb1\xe4\xba\xac"}) {
        const auto r = cli({"params", "add", "--npar", "4", "--direction", "2", "--name", name, "--data-dir", "data",
                            "1", "0", "0", "0"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(boxLines(r.err), "Napaka: Vpiši ime parametrov!\n");
    }
    EXPECT_EQ(readText(dir / "data" / "t4.par"), before);
    EXPECT_EQ(cli({"params", "add", "--npar", "4", "--direction", "2", "--name", "Čičerij", "--data-dir", "data", "1",
                   "0", "0", "0"})
                  .status,
              0);
    EXPECT_NE(readText(dir / "data" / "t4.par").find(platform::toCp1250("Čičerij")), std::string::npos);
}

TEST_F(SmallOnes, CsvReadsBackInTheOrderOfItsHeaderAndAsUtf8)
{
    const std::string start = (examplesDir() / "local" / "d48_gk.pod").string();
    const std::vector<std::string> coords{"transform", "--mode", "coords", "--start", start, "--start-type", "gk",
                                          "--end-type", "tm", "--params-values",
                                          "476.08,125.947,417.81,-4.610862,-2.388137,11.942335,9.896638"};
    auto args = coords;
    for (const std::string more : {"--report", "xy.str", "--out", "xy.csv"})
        args.push_back(more);
    ASSERT_EQ(cli(args).status, 0);
    args = coords;
    for (const std::string more : {"--report", "yx.str", "--out", "yx.csv", "--order", "yx"})
        args.push_back(more);
    ASSERT_EQ(cli(args).status, 0);
    ASSERT_EQ(readText(dir / "yx.csv").substr(0, 11), "name,y,x,H\n");
    // Both files read back as the same points.
    const auto back = [&](const std::string& csv) {
        return cli({"convert", "--in", csv, "--in-type", "plane", "--out-type", "ell", "--heights", "none",
                    "--ellipsoid", "grs80", "--out", csv + ".txt"});
    };
    ASSERT_EQ(back("xy.csv").status, 0);
    ASSERT_EQ(back("yx.csv").status, 0);
    EXPECT_EQ(readText(dir / "xy.csv.txt"), readText(dir / "yx.csv.txt"));

    // UTF-8 names: kept in Windows-1250 like every name of the program.
    write("utf8.csv", "name,x,y,H\nČrni vrh,101369.04,462464.62,542.7\nŠmarna,94822.76,454631.66,562.6\n");
    ASSERT_EQ(cli({"convert", "--in", "utf8.csv", "--in-type", "plane", "--out-type", "ell", "--out", "u.txt"}).status,
              0);
    const std::string out = readText(dir / "u.txt");
    EXPECT_EQ(out.rfind(platform::toCp1250("Črni vrh"), 0), 0u) << out;
    // A file that is not UTF-8 is Windows-1250 as before.
    write("cp.csv", platform::toCp1250("name,x,y,H\nČrni vrh,101369.04,462464.62,542.7\n"));
    ASSERT_EQ(cli({"convert", "--in", "cp.csv", "--in-type", "plane", "--out-type", "ell", "--out", "c.txt"}).status, 0);
    EXPECT_EQ(readText(dir / "c.txt").rfind(platform::toCp1250("Črni vrh"), 0), 0u);
}
