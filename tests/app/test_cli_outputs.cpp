// kolmo-cli's outputs besides the point layers: the encoding of each (point
// files and reports Windows-1250, CSV UTF-8 whatever the input's), the report
// on standard output or left out, and `params list` without flags.
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace kolmo::test;

namespace {

namespace fs = std::filesystem;

// "Čšž1" in Windows-1250 and in UTF-8.
const std::string kCp1250Name = "\xC8\x9A\x9E" "1";
const std::string kUtf8Name = "\xC4\x8C\xC5\xA1\xC5\xBE" "1";

struct CliOutputs : ::testing::Test {
    fs::path dir = freshFolder("cli_outputs");
    void TearDown() override { fs::remove_all(dir); }
    RunResult cli(std::vector<std::string> args, const RunOptions& options = {})
    {
        args.insert(args.end(), {"--data-dir", dataDir().string()});
        return run(cliPath(), args, dir, options);
    }
    // The local start points with the first point renamed in Windows-1250.
    void writeStart()
    {
        std::ifstream in(examplesDir() / "local" / "d48_gk.pod");
        std::string text, line;
        std::getline(in, line);
        text = kCp1250Name + line.substr(4) + "\n";
        while (std::getline(in, line))
            text += line + "\n";
        std::ofstream(dir / "start.pod", std::ios::binary) << text;
    }
    std::vector<std::string> coords(const std::string& out)
    {
        return {"transform", "--mode", "coords", "--start", "start.pod", "--start-type", "gk", "--end-type", "tm",
                "--params-values", "409.545,72.164,486.872,-3.085957,-5.469110,11.020289,17.919665", "--out", out};
    }
};

} // namespace

// A Windows-1250 point file gives a UTF-8 CSV (transform and migrate) and a
// Windows-1250 point file and report.
TEST_F(CliOutputs, CsvIsUtf8PointFilesAndReportsWindows1250)
{
    writeStart();
    auto args = coords("out.csv");
    args.insert(args.end(), {"--report", "r.str"});
    auto r = cli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string csv = readText(dir / "out.csv");
    EXPECT_EQ(csv.rfind("name,x,y,H\n" + kUtf8Name + ",", 0), 0u) << csv.substr(0, 40);
    EXPECT_NE(readText(dir / "r.str").find(kCp1250Name), std::string::npos);

    args = coords("out.pod");
    args.insert(args.end(), {"--report", "r2.str"});
    r = cli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readText(dir / "out.pod").rfind(kCp1250Name + " ", 0), 0u);

    // migrate: the same rule.
    r = cli({"migrate", "--in", "start.pod", "--out", "tm.csv", "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    csv = readText(dir / "tm.csv");
    EXPECT_EQ(csv.rfind("name,x,y,H\n" + kUtf8Name + ",", 0), 0u) << csv.substr(0, 40);
    // And the UTF-8 CSV reads back as the same point.
    r = cli({"migrate", "--in", "tm.csv", "--from", "tm", "--out", "gk.pod", "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readText(dir / "gk.pod").rfind(kCp1250Name + " ", 0), 0u);
    // CSV to CSV keeps the name as it was, not encoded twice.
    r = cli({"migrate", "--in", "tm.csv", "--from", "tm", "--out", "gk.csv", "-q"});
    ASSERT_EQ(r.status, 0) << r.err;
    csv = readText(dir / "gk.csv");
    EXPECT_EQ(csv.rfind("name,x,y,H\n" + kUtf8Name + ",", 0), 0u) << csv.substr(0, 40);
}

// --report - writes the report to standard output (the summary to standard
// error); with --out or --params-json the report may be left out; with
// neither it is still needed.
TEST_F(CliOutputs, ReportToStandardOutputOrNone)
{
    writeStart();
    auto args = coords("out.pod");
    args.insert(args.end(), {"--report", "file.str"});
    auto r = cli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string report = readText(dir / "file.str");

    args = coords("out2.pod");
    args.insert(args.end(), {"--report", "-"});
    r = cli(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(compareReports(report, r.out), "");
    EXPECT_NE(r.err.find("Report: standard output"), std::string::npos) << r.err;
    EXPECT_EQ(readText(dir / "out2.pod"), readText(dir / "out.pod"));

    r = cli(coords("out3.pod"));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readText(dir / "out3.pod"), readText(dir / "out.pod"));
    EXPECT_EQ(r.out.find("Report:"), std::string::npos) << r.out;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename() != "file.str") {
            EXPECT_NE(entry.path().extension(), ".str") << entry.path() << " (only file.str was asked for)";
        }
    }

    r = cli({"transform", "--start", (examplesDir() / "local" / "d48_gk.pod").string(), "--start-type", "gk", "--end",
             (examplesDir() / "local" / "d96_tm.pod").string(), "--end-type", "tm", "--params-json", "p.json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(readText(dir / "p.json").find("\"parameters\""), std::string::npos);

    r = cli({"transform", "--start", "start.pod", "--start-type", "gk", "--end",
             (examplesDir() / "local" / "d96_tm.pod").string(), "--end-type", "tm"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--report"), std::string::npos) << r.err;

    args = coords("-");
    args.insert(args.end(), {"--report", "-"});
    r = cli(args);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
}

// params list without flags: every database and direction under a heading
// that names the transform options taking its names.
TEST_F(CliOutputs, ParamsListWithoutFlagsListsEverySet)
{
    auto r = cli({"params", "list"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* heading :
         {"t7.par, D48 -> D96 (transform --type 3r7 --mode coords --start-type gk --end-type tm --params NAME):\n",
          "t7.par, D96 -> D48 (transform --type 3r7", "t4.par, D48 -> D96", "t4.par, D96 -> D48",
          "t6.par, D48 -> D96", "t6.par, D96 -> D48"})
        EXPECT_NE(r.out.find(heading), std::string::npos) << heading << "\n" << r.out;
    EXPECT_NE(r.out.find("\n  Ljubljana lokalna mreza D96-D48: a=0.999989797809"), std::string::npos) << r.out;

    // One flag narrows the list; both give the plain lines of one direction.
    r = cli({"params", "list", "--npar", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("t7.par"), std::string::npos);
    EXPECT_NE(r.out.find("t4.par, D96 -> D48"), std::string::npos);
    const auto one = cli({"params", "list", "--npar", "4", "--direction", "1"});
    ASSERT_EQ(one.status, 0);
    EXPECT_EQ(one.out.rfind("Ljubljana lokalna mreza D96-D48: a=", 0), 0u) << one.out;

    // Every name listed is one that --params takes.
    const auto at = r.out.find("t4.par, D96 -> D48");
    const auto line = r.out.find("\n  ", at) + 3;
    const std::string name = r.out.substr(line, r.out.find(':', line) - line);
    r = cli({"transform", "--type", "2r4", "--mode", "coords", "--start",
             (examplesDir() / "local" / "d96_tm_2d.pod").string(), "--start-type", "tm", "--end-type", "gk",
             "--params", name, "--report", "r.str"});
    EXPECT_EQ(r.status, 0) << name << r.err;
}
