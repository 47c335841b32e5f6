// examples/migrate_d48_d96.sh, the migration script a user copies: every
// *.pod of a folder D48/GK -> D96/TM with a stored set, a CSV beside each,
// the exit status of each run checked and summed up in its own.
#include "input/prebsi.h"
#include "pipeline/pipeline.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct Script {
    int status;
    std::string out;
};

Script migrate(const std::vector<std::string>& args)
{
    const fs::path log = freshFolder("migration_log") / "out.txt";
    std::string cmd = "KOLMO_CLI='" + cliPath().string() + "' KOLMO_DATA_DIR='" + dataDir().string() + "' bash '" +
                      (examplesDir() / "migrate_d48_d96.sh").string() + "'";
    for (const auto& a : args)
        cmd += " '" + a + "'";
    cmd += " >'" + log.string() + "' 2>&1";
    const int rc = std::system(cmd.c_str());
    Script s{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, readText(log)};
    fs::remove_all(log.parent_path());
    return s;
}

} // namespace

TEST_F(Pipeline, MigrationScriptTransformsEveryFileAndChecksEachRun)
{
    const fs::path folder = dir / "survey";
    fs::create_directories(folder / "sub");
    fs::copy_file(examplesDir() / "local" / "d48_gk.pod", folder / "ljubljana.pod");
    fs::copy_file(examplesDir() / "country" / "d48_gk.pod", folder / "slovenija.pod");
    fs::copy_file(examplesDir() / "local" / "d48_gk.pod", folder / "sub" / "not_this.pod");
    std::ofstream(folder / "notes.txt") << "not a point file\n";

    Script s = migrate({folder.string()});
    ASSERT_EQ(s.status, 0) << s.out;
    EXPECT_NE(s.out.find("2 of 2 file(s) transformed, 0 with warnings, 0 failed"), std::string::npos) << s.out;
    EXPECT_FALSE(fs::exists(folder / "sub" / "not_this.csv")) << "the folder, not its subfolders";

    // Each CSV holds what kolmo-cli migrate gives for its file with the
    // national model (no report); given a set by name, what transform gives
    // with that set, and its report.
    for (const char* name : {"ljubljana", "slovenija"}) {
        SCOPED_TRACE(name);
        const RunResult r = cli({"migrate", "--in", (folder / (std::string(name) + ".pod")).string(), "--out",
                                 path("direct.csv"), "-q"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readText(folder / (std::string(name) + ".csv")), readText(dir / "direct.csv"));
        EXPECT_FALSE(fs::exists(folder / (std::string(name) + ".str")));
        const PointSet back = prebsi(folder / (std::string(name) + ".csv"));
        EXPECT_EQ(back.ime, prebsi(folder / (std::string(name) + ".pod")).ime);
    }
    const std::string national = "EPSG 8689 D48-D96 (12) Slovenija 2010";
    s = migrate({folder.string(), national});
    ASSERT_EQ(s.status, 0) << s.out;
    for (const char* name : {"ljubljana", "slovenija"}) {
        SCOPED_TRACE(name);
        const RunResult r = cli({"transform", "--type", "3r7", "--mode", "coords", "--start",
                                 (folder / (std::string(name) + ".pod")).string(), "--start-type", "gk", "--end-type",
                                 "tm", "--out-type", "tm", "--params", national, "--report", path("direct.str"),
                                 "--out", path("direct.csv")});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(readText(folder / (std::string(name) + ".csv")), readText(dir / "direct.csv"));
        EXPECT_TRUE(fs::exists(folder / (std::string(name) + ".str")));
    }

    // A file that fails leaves no CSV and makes the run fail; the others are done.
    std::ofstream(folder / "broken.pod") << "A 100000 460000 300\nB 1x 2 3\n";
    std::ofstream(folder / "short.pod") << "A 100000 460000 300\nB 101000 461000\n";
    s = migrate({folder.string()});
    EXPECT_EQ(s.status, 1) << s.out;
    EXPECT_NE(s.out.find("FAILED   " + (folder / "broken.pod").string() + " (kolmo-cli exit status 1)"),
              std::string::npos)
        << s.out;
    EXPECT_NE(s.out.find("3 of 4 file(s) transformed, 1 with warnings, 1 failed"), std::string::npos) << s.out;
    EXPECT_FALSE(fs::exists(folder / "broken.csv"));
    EXPECT_TRUE(fs::exists(folder / "short.csv"));

    // Only warnings: status 3.  Another set by name; a set that is not there fails.
    fs::remove(folder / "broken.pod");
    s = migrate({folder.string(), "EPSG 3916 D48-D96 (1) Slovenija"});
    EXPECT_EQ(s.status, 3) << s.out;
    s = migrate({folder.string(), "No such set"});
    EXPECT_EQ(s.status, 1) << s.out;

    // Usage.
    EXPECT_EQ(migrate({}).status, 2);
    EXPECT_EQ(migrate({(dir / "none").string()}).status, 2);
    EXPECT_EQ(migrate({(folder / "sub" / "empty").string()}).status, 2);
    fs::create_directories(dir / "empty");
    EXPECT_EQ(migrate({(dir / "empty").string()}).status, 2);
}
