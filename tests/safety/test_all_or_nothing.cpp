// The outputs of a run are replaced all together or not at all, and no output
// lands on another output, an input, a device or a read-only file.
// Faults pinned down: a run failing late (a full disk under --out or --plots,
// --plots naming a file, --save-params with a taken name) had already replaced
// the report and some other files; "--out ./r.str" (also "sub/../r.str" or a
// dangling link to r.str) replaced the report with the points; "--report
// /dev/stdout" replaced the file the standard output went to; "--out
// data/HREF_SVS2010.mat" replaced the geoid model; a symbolic link loop was
// replaced by a file; a read-only file was replaced; "transform", "params
// list" and "geoid" wrote to a full disk and said they were done.
#include "child.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct AllOrNothing : ::testing::Test {
    fs::path dir = freshFolder("all_or_nothing");
    const std::string gk = (examplesDir() / "local" / "d48_gk.pod").string();
    const std::string tm = (examplesDir() / "local" / "d96_tm.pod").string();
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> full(std::vector<std::string> more) const
    {
        std::vector<std::string> args{"transform", "--data-dir", "data", "--start", gk, "--start-type", "gk",
                                      "--end", tm, "--end-type", "tm", "--report", "r.str"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    // Every file of the folder (sub-folders too) with its content.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file())
                files[fs::relative(e.path(), dir).string()] = readText(e.path());
        return files;
    }
    std::vector<std::string> changed(const std::map<std::string, std::string>& before) const
    {
        std::vector<std::string> out;
        const auto now = snapshot();
        for (const auto& [name, text] : now)
            if (!before.count(name) || before.at(name) != text)
                out.push_back(name);
        for (const auto& [name, text] : before)
            if (!now.count(name))
                out.push_back(name + " (gone)");
        return out;
    }
};

} // namespace

TEST_F(AllOrNothing, ARunThatFailsLateReplacesNoneOfItsFiles)
{
    fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
    const auto outputs = full({"--out", "o.txt", "--params-json", "p.json", "--plots", "plots", "--plot-formats",
                               "png,svg", "--save-params", "Stari"});
    ASSERT_EQ(run(cliPath(), outputs, dir).status, 0);
    std::ofstream(dir / "notes.txt") << "notes";
    // Something different in every file, so that a replaced one shows.
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file() && e.path().parent_path().filename() != "data")
            std::ofstream(e.path(), std::ios::app) << "old";
    const auto before = snapshot();

    struct Case {
        const char* what;
        std::vector<std::string> args;
        long long fileSizeLimit;
        int status;
    };
    const std::vector<Case> cases{
        // The PNG plots are about 70 KB, the report 13 KB, the points 1 KB.
        {"a full disk under the plots", full({"--out", "o.txt", "--params-json", "p.json", "--plots", "plots",
                                              "--plot-formats", "png,svg"}),
         40000, 1},
        {"a full disk under --out", full({"--out", "o.txt", "--params-json", "p.json", "--precision", "9"}), 1000,
         1},
        {"a set name that is taken",
         full({"--out", "o.txt", "--params-json", "p.json", "--plots", "plots", "--save-params", "Stari"}), -1, 1},
        {"--plots naming a file", full({"--out", "o.txt", "--params-json", "p.json", "--plots", "notes.txt"}), -1, 1},
    };
    for (const auto& c : cases) {
        const auto r = run(cliPath(), c.args, dir,
                           RunOptions{.fileSizeLimit = c.fileSizeLimit, .ignoreFileSizeSignal = true});
        EXPECT_EQ(r.status, c.status) << c.what << "\n" << r.err;
        EXPECT_EQ(changed(before), std::vector<std::string>{}) << c.what;
    }
    // The checks come before the computation: nothing on the standard output.
    const auto r = run(cliPath(), full({"--out", "o.txt", "--plots", "notes.txt"}), dir);
    EXPECT_EQ(boxLines(r.err), "Napaka pri izvozu: Slike ni mogoce zapisati!\n");
    EXPECT_EQ(detailLines(r.err), "notes.txt is a file, not a folder for the plots\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(boxLines(run(cliPath(), full({"--save-params", "Stari"}), dir).err),
              "Napaka: Parametri s tem imenom že obstajajo!\n");
}

TEST_F(AllOrNothing, OutputsThatCollideAreRefused)
{
    fs::create_directory(dir / "sub");
    fs::create_symlink("r.str", dir / "dangling");
    for (const std::string out : {"./r.str", "sub/../r.str", "dangling"}) {
        const auto r = run(cliPath(), full({"--out", out}), dir);
        EXPECT_EQ(r.status, 2) << out;
        EXPECT_EQ(r.err, "kolmo-cli transform: " + out + " is also the report (--report)\n");
        EXPECT_FALSE(fs::exists(dir / "r.str")) << out;
    }
    EXPECT_EQ(run(cliPath(), full({"--out", "p.json", "--params-json", "./p.json"}), dir).status, 2);

    // Devices, link loops and read-only files are refused before anything is computed.
    std::ofstream(dir / "kept.txt") << "kept";
    ::chmod((dir / "kept.txt").c_str(), 0444);
    fs::create_symlink("loop2", dir / "loop1");
    fs::create_symlink("loop1", dir / "loop2");
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused{
        {{"--report", "/dev/stdout"}, "cannot write /dev/stdout: a device, not a file (results go to files; - writes "
                                      "the standard output)\n"},
        {{"--out", "/dev/null"}, "cannot write /dev/null: a device, not a file (results go to files; - writes the "
                                 "standard output)\n"},
        {{"--out", "loop1"}, "cannot write loop1: Too many levels of symbolic links\n"},
        {{"--out", "kept.txt"}, "cannot replace kept.txt: the file is read-only\n"},
        {{"--params-json", "missing/p.json"}, "cannot write missing/p.json: No such file or directory\n"},
    };
    for (const auto& [more, details] : refused) {
        auto args = full(more);
        if (more.front() == "--report")
            args.erase(args.end() - 4, args.end() - 2);  // the earlier --report r.str
        const auto r = run(cliPath(), args, dir);
        EXPECT_EQ(r.status, 1) << more.back();
        EXPECT_EQ(boxLines(r.err), "Napaka: Napaka v zapisu datoteke!\n") << more.back();
        EXPECT_EQ(detailLines(r.err), details);
        EXPECT_EQ(r.out, "") << "computed for " << more.back();
    }
    EXPECT_TRUE(fs::is_symlink(dir / "loop1"));
    EXPECT_EQ(readText(dir / "kept.txt"), "kept");

    // The data files of the program folder are inputs too.
    fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
    const std::string model = readText(dir / "data" / "HREF_SVS2010.mat");
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"convert", "--in", gk, "--in-type", "plane", "--out-type", "ell", "--data-dir", "data", "--out",
              "data/HREF_SVS2010.mat"},
             full({"--out", "data/./HREF_SVS2010.mat"})}) {
        const auto r = run(cliPath(), args, dir);
        EXPECT_EQ(r.status, 1) << args.front();
        EXPECT_EQ(boxLines(r.err), "Napaka: Izhodna datoteka je enaka vhodni!\n") << args.front();
    }
    EXPECT_TRUE(readText(dir / "data" / "HREF_SVS2010.mat") == model);
}

TEST_F(AllOrNothing, EmptyFileNamesAreUsageErrors)
{
    for (const char* option : {"--out", "--plots", "--params-json", "--report"}) {
        const auto r = run(cliPath(), full({option, ""}), dir);
        EXPECT_EQ(r.status, 2) << option;
        EXPECT_NE(r.err.find("an empty name is no file or folder"), std::string::npos) << option;
    }
    EXPECT_EQ(run(cliPath(), {"convert", "--in", gk, "--in-type", "plane", "--out-type", "ell", "--out", ""}, dir).status,
              2);
    EXPECT_TRUE(fs::is_empty(dir));
}

// The commit group on its own: the second rename fails (its target became a
// folder), so the first target gets its old content back.
TEST_F(AllOrNothing, ACommitGroupPutsBackWhatItReplacedWhenARenameFails)
{
    std::ofstream(dir / "a.txt") << "old a";
    {
        platform::CommitGroup group;
        platform::writeFileAtomic(dir / "a.txt", "new a");
        platform::writeFileAtomic(dir / "b.txt", "new b");
        EXPECT_EQ(group.pending(), 2u);
        EXPECT_EQ(readText(dir / "a.txt"), "old a") << "renamed before commitAll";
        fs::create_directories(dir / "b.txt" / "in the way");
        EXPECT_THROW(group.commitAll(), FileError);
    }
    EXPECT_EQ(readText(dir / "a.txt"), "old a");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2) << "a temporary file or backup was left";
    EXPECT_EQ(platform::registeredTemporaries(), 0u);
    {
        platform::CommitGroup group;
        platform::writeFileAtomic(dir / "a.txt", "new a");
    }
    EXPECT_EQ(readText(dir / "a.txt"), "old a") << "a group destroyed without commitAll writes nothing";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 2);
}

TEST_F(AllOrNothing, StandardOutputOnAFullDiskIsAFailedRun)
{
    fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
    const int devFull = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(devFull, 0);
    for (const auto& args : std::vector<std::vector<std::string>>{
             full({}),
             {"params", "list", "--npar", "7", "--direction", "2", "--data-dir", "data"},
             {"geoid", "--data-dir", "data", "46.05", "14.5"}}) {
        const Child child = Child::start(cliPath(), args, dir, devFull, dir / "err.txt");
        const int status = child.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << args.front() << ": " << status;
        EXPECT_EQ(detailLines(readText(dir / "err.txt")), "cannot write standard output: No space left on device\n")
            << args.front();
    }
    ::close(devFull);
}

// Concurrent runs writing the same outputs: each renames its set of files
// under an advisory lock on the folder, so a report of one run never stands
// beside the points of another.  Here the lock is held as another run would
// hold it: the renames wait for it.
TEST_F(AllOrNothing, RenamesWaitForTheFolderLockOfAnotherRun)
{
    std::ofstream(dir / "a.txt") << "old";
    const int folder = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    std::atomic<bool> done{false};
    std::thread run([&] {
        platform::CommitGroup group;
        platform::writeFileAtomic(dir / "a.txt", "new");
        group.commitAll();
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(done) << "renamed while another run held the folder";
    EXPECT_EQ(readText(dir / "a.txt"), "old");
    ::flock(folder, LOCK_UN);
    ::close(folder);
    run.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(readText(dir / "a.txt"), "new");
}
