// Files are replaced in one step, and no output overwrites an input.
// Faults pinned down: a report over the file-size limit was cut at the limit
// with the previous report gone; "--report" naming the start file replaced
// the surveyor's points by the report.
#include "platform/files.h"
#include "platform/textread.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct Files : ::testing::Test {
    fs::path dir = freshFolder("files");
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
    unsigned mode(const std::string& name) const
    {
        struct stat st {};
        ::stat((dir / name).c_str(), &st);
        return st.st_mode & 0777;
    }
    std::size_t entries() const { return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {})); }
};

} // namespace

TEST_F(Files, ReplacedInOneStepWithPermissionsAndLinksKept)
{
    const mode_t umask = ::umask(027);
    platform::writeFileAtomic(dir / "a.str", "one");
    ::umask(umask);
    EXPECT_EQ(mode("a.str"), 0640u) << "a new file: 0666 less the umask";
    ::chmod((dir / "a.str").c_str(), 0604);
    fs::create_symlink("a.str", dir / "link.str");
    platform::writeFileAtomic(dir / "link.str", "two");
    EXPECT_EQ(platform::readFile(dir / "a.str"), "two") << "written through the link";
    EXPECT_TRUE(fs::is_symlink(dir / "link.str"));
    EXPECT_EQ(mode("a.str"), 0604u) << "a replaced file keeps its permissions";
}

// 20 000 points make a report of about 2 MB; with the file-size limit at
// 64 KB the run fails, says why and keeps the previous report byte for byte,
// whether SIGXFSZ is ignored by the caller or left to kolmo-cli.
TEST_F(Files, CommandLineKeepsThePreviousReportWhenTheWriteFails)
{
    {
        std::ofstream out(dir / "big.pod");
        for (int i = 0; i < 20000; ++i)
            out << "P" << i << ' ' << 40000 + 7 * i << ' ' << 400000 + 11 * i << " 300\n";
    }
    std::vector<std::string> args{"transform", "--mode", "coords", "--start-type", "gk", "--end-type", "tm",
                                  "--params-values", "476.08,125.947,417.81,-4.610862,-2.388137,11.942335,9.896638",
                                  "--report", "r.str", "--start", (examplesDir() / "local" / "d48_gk.pod").string()};
    ASSERT_EQ(run(cliPath(), args, dir).status, 0);
    const std::string previous = readText(dir / "r.str");
    args.back() = "big.pod";
    for (const bool ignored : {true, false}) {
        const auto r = run(cliPath(), args, dir, RunOptions{.fileSizeLimit = 64000, .ignoreFileSizeSignal = ignored});
        EXPECT_EQ(r.status, 1);
        // The box names the write, not the data.
        EXPECT_EQ(boxLines(r.err), "Napaka v izracunu: Napaka v zapisu datoteke!\n");
        EXPECT_EQ(detailLines(r.err), "cannot write r.str: File too large\n");
        EXPECT_TRUE(readText(dir / "r.str") == previous) << "the previous report changed";
        EXPECT_EQ(entries(), 2u) << "a temporary file was left";
    }
}

TEST_F(Files, NoOutputOverwritesAnInput)
{
    fs::copy_file(examplesDir() / "local" / "d48_gk.pod", dir / "start.pod");
    fs::copy_file(examplesDir() / "projekt_3r.in", dir / "projekt.in");
    fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
    fs::create_symlink("start.pod", dir / "link.str");
    fs::create_hard_link(dir / "start.pod", dir / "hard.str");
    const std::string start = readText(dir / "start.pod"), project = readText(dir / "projekt.in"),
                      database = readText(dir / "data" / "t7.par");
    const std::vector<std::string> files{"transform", "--data-dir", "data", "--start", "start.pod", "--start-type", "gk",
                                         "--end", (examplesDir() / "local" / "d96_tm.pod").string(), "--end-type", "tm"};
    for (const auto& more : std::vector<std::vector<std::string>>{{"--report", "link.str"},
                                                                   {"--report", "hard.str"},
                                                                   {"--report", "./start.pod"},
                                                                   {"--save-params", "Nova", "--report", "data/t7.par"}}) {
        auto args = files;
        args.insert(args.end(), more.begin(), more.end());
        const auto r = run(cliPath(), args, dir);
        EXPECT_EQ(r.status, 1) << more.back();
        EXPECT_EQ(boxLines(r.err), "Napaka: Izhodna datoteka je enaka vhodni!\n") << more.back();
        EXPECT_TRUE(r.out.empty()) << "computed for " << more.back();
    }
    auto r = run(cliPath(), {"transform", "--varnik", "projekt.in", "--report", "projekt.in"}, dir);
    EXPECT_EQ(boxLines(r.err), "Napaka: Izhodna datoteka je enaka vhodni!\n");
    r = run(cliPath(), {"convert", "--in", "start.pod", "--in-type", "plane", "--out-type", "ell", "--out", "link.str"}, dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(detailLines(r.err), "link.str is the input start.pod\n");
    EXPECT_EQ(readText(dir / "start.pod"), start);
    EXPECT_EQ(readText(dir / "projekt.in"), project);
    EXPECT_EQ(readText(dir / "data" / "t7.par"), database);
}
