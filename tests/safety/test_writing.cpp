// Files are replaced in one step: a write that fails or is cut short leaves the
// previous file byte for byte as it was and no temporary file behind.
//
// Fault pinned down: a report larger than the file-size limit used to be cut
// at the limit, the previous report gone, and a full disk did the same.
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/textread.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

void writeFile(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

unsigned permissions(const fs::path& file)
{
    struct stat st {};
    ::stat(file.c_str(), &st);
    return st.st_mode & 0777;
}

// Names in `dir` other than `keep`: left-over temporary files.
std::vector<std::string> strays(const fs::path& dir, const std::set<std::string>& keep)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (!keep.count(e.path().filename().string()))
            out.push_back(e.path().filename().string());
    return out;
}

// Runs `f` in a child process with the file-size limit `limit` (SIGXFSZ
// ignored, so the write fails with EFBIG); returns the child's exit status:
// 0 when f threw FileError, 1 when it returned, 2 for anything else.
int inChildWithSizeLimit(rlim_t limit, const std::function<void()>& f)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit lim{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        try {
            f();
            ::_exit(1);
        } catch (const FileError&) {
            ::_exit(0);
        } catch (...) {
            ::_exit(2);
        }
    }
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

struct Writing : ::testing::Test {
    fs::path dir = freshFolder("writing");
    void TearDown() override { fs::remove_all(dir); }
};

} // namespace

TEST_F(Writing, PermissionsAndLinksAsAPlainWriteWouldLeaveThem)
{
    const mode_t old = ::umask(027);
    platform::writeFileAtomic(dir / "new.str", "one");
    EXPECT_EQ(permissions(dir / "new.str"), 0640u) << "0666 less the umask";
    ::umask(old);

    ::chmod((dir / "new.str").c_str(), 0604);
    platform::writeFileAtomic(dir / "new.str", "two");
    EXPECT_EQ(platform::readFile(dir / "new.str"), "two");
    EXPECT_EQ(permissions(dir / "new.str"), 0604u) << "a replaced file keeps its permissions";

    // Through a link (relative, in a chain): the file is replaced, the links stay.
    fs::create_directories(dir / "real");
    writeFile(dir / "real" / "r.str", "old");
    fs::create_symlink("real/r.str", dir / "link1");
    fs::create_symlink(dir / "link1", dir / "link2");
    platform::writeFileAtomic(dir / "link2", "new");
    EXPECT_TRUE(fs::is_symlink(dir / "link2"));
    EXPECT_TRUE(fs::is_symlink(dir / "link1"));
    EXPECT_EQ(platform::readFile(dir / "real" / "r.str"), "new");
    EXPECT_EQ(strays(dir / "real", {"r.str"}), std::vector<std::string>{});

    // A link to a file not there yet makes the file.
    fs::create_symlink("made.str", dir / "dangling");
    platform::writeFileAtomic(dir / "dangling", "made");
    EXPECT_EQ(platform::readFile(dir / "made.str"), "made");

    // Not a regular file: written in place (there is nothing to rename over), or refused.
    platform::writeFileAtomic("/dev/null", "nothing");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    try {
        platform::writeFileAtomic(dir / "real", "x");
        ADD_FAILURE() << "a folder was written";
    } catch (const FileError& e) {
        EXPECT_EQ(std::string(e.what()), "cannot write " + (dir / "real").string() + ": Is a directory");
    }
    try {
        platform::writeFileAtomic(dir / "no" / "such" / "folder.str", "x");
        ADD_FAILURE() << "a file in a missing folder was written";
    } catch (const FileError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos) << e.what();
    }
}

TEST_F(Writing, FailedWriteLeavesThePreviousFileAndNoTemporary)
{
    const std::string previous(5000, 'p');
    writeFile(dir / "r.str", previous);
    const std::string big(100000, 'n');
    EXPECT_EQ(inChildWithSizeLimit(20000, [&] { platform::writeFileAtomic(dir / "r.str", big); }), 0);
    EXPECT_EQ(platform::readFile(dir / "r.str"), previous);
    EXPECT_EQ(strays(dir, {"r.str"}), std::vector<std::string>{});

    // A writer that opens the file itself and fails half-way.
    EXPECT_THROW(platform::writeFileAtomicVia(dir / "r.str",
                                              [](const fs::path& temporary) {
                                                  writeFile(temporary, "half");
                                                  throw FileError("the library gave up");
                                              }),
                 FileError);
    EXPECT_EQ(platform::readFile(dir / "r.str"), previous);
    EXPECT_EQ(strays(dir, {"r.str"}), std::vector<std::string>{});
    platform::writeFileAtomicVia(dir / "r.str", [](const fs::path& temporary) { writeFile(temporary, "whole"); });
    EXPECT_EQ(platform::readFile(dir / "r.str"), "whole");
}

TEST_F(Writing, LockedAppendChecksUnderTheLockAndTakesBackAHalfRecord)
{
    writeFile(dir / "db", "\n2,a,1");
    std::vector<std::string> seen;
    platform::appendLocked(dir / "db", "\n2,b,2", [&](platform::LineReader& current) {
        seen = platform::readFields(current);
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"2", "a", "1"}));
    EXPECT_EQ(platform::readFile(dir / "db"), "\n2,a,1\n2,b,2");

    EXPECT_THROW(platform::appendLocked(dir / "db", "\n2,c,3",
                                        [](platform::LineReader&) { throw std::runtime_error("refused"); }),
                 std::runtime_error);
    EXPECT_EQ(platform::readFile(dir / "db"), "\n2,a,1\n2,b,2");

    EXPECT_EQ(inChildWithSizeLimit(15, [&] { platform::appendLocked(dir / "db", "\n2,long record,3", [](auto&) {}); }),
              0);
    EXPECT_EQ(platform::readFile(dir / "db"), "\n2,a,1\n2,b,2");
}

TEST_F(Writing, SameFileFollowsLinks)
{
    writeFile(dir / "a.pod", "A 1 2 3\n");
    fs::create_symlink("a.pod", dir / "link.pod");
    fs::create_hard_link(dir / "a.pod", dir / "hard.pod");
    EXPECT_TRUE(platform::sameFile(dir / "link.pod", dir / "a.pod"));
    EXPECT_TRUE(platform::sameFile(dir / "hard.pod", dir / "./link.pod"));
    EXPECT_FALSE(platform::sameFile(dir / "a.pod", dir / "missing.str"));
    writeFile(dir / "b.pod", "A 1 2 3\n");
    EXPECT_FALSE(platform::sameFile(dir / "a.pod", dir / "b.pod")) << "equal content is not the same file";
}

// A transformation of 20 000 points writes a report of about 2 MB; with the
// file-size limit at 64 KB it fails, says why and keeps the previous report.
TEST_F(Writing, CommandLineKeepsThePreviousReportWhenTheWriteFails)
{
    {
        std::ofstream out(dir / "big.pod");
        for (int i = 0; i < 20000; ++i)
            out << "P" << i << ' ' << 40000 + 7 * i << ' ' << 400000 + 11 * i << " 300\n";
    }
    const std::vector<std::string> common{"transform", "--type", "3r7", "--mode", "coords", "--start-type", "gk",
                                          "--end-type", "tm", "--out-type", "tm", "--params-values",
                                          "476.08,125.947,417.81,-4.610862,-2.388137,11.942335,9.896638"};
    auto args = common;
    args.insert(args.end(), {"--start", (examplesDir() / "local" / "d48_gk.pod").string(), "--report",
                             (dir / "r.str").string()});
    ASSERT_EQ(run(cliPath(), args).status, 0);
    const std::string previous = readText(dir / "r.str");
    ASSERT_GT(previous.size(), 1000u);
    ASSERT_LT(previous.size(), 64000u);

    args = common;
    args.insert(args.end(), {"--start", (dir / "big.pod").string(), "--report", (dir / "r.str").string()});
    for (const bool ignoring : {true, false}) {
        SCOPED_TRACE(ignoring ? "SIGXFSZ ignored" : "SIGXFSZ left to the program");
        RunOptions limit;
        limit.fileSizeLimit = 64000;
        limit.ignoreFileSizeSignal = ignoring;
        const auto r = run(cliPath(), args, dir, limit);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(boxLines(r.err), "Napaka v izracunu: Preveri podatke ali izberi pravilne nastavitve!\n");
        EXPECT_EQ(detailLines(r.err), "cannot write " + (dir / "r.str").string() + ": File too large\n");
        EXPECT_TRUE(readText(dir / "r.str") == previous) << "the previous report was changed";
        EXPECT_EQ(strays(dir, {"r.str", "big.pod"}), std::vector<std::string>{});
    }

    // The conversion tool's result file alike.
    writeFile(dir / "c.txt", "previous result\n");
    RunOptions limit;
    limit.fileSizeLimit = 64000;
    const auto r = run(cliPath(), {"convert", "--in", (dir / "big.pod").string(), "--in-type", "plane", "--ellipsoid",
                                   "bessel", "--out-type", "ell", "--out", (dir / "c.txt").string()},
                       dir, limit);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka: Napaka pri pri pretvorbi koordinat!\n");
    EXPECT_EQ(detailLines(r.err), "cannot write " + (dir / "c.txt").string() + ": File too large\n");
    EXPECT_EQ(readText(dir / "c.txt"), "previous result\n");
    EXPECT_EQ(strays(dir, {"r.str", "big.pod", "c.txt"}), std::vector<std::string>{});
}
