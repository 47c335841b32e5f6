// An interrupted run leaves no temporary file and every old output as it was.
// Faults pinned down: SIGINT, SIGTERM, SIGHUP, SIGQUIT, and SIGPIPE when the
// points went to a closed pipe, left hidden ".NAME.kolmo-NNNN" files of up to
// 47 MB beside the outputs, and no later run removed them.
#include "child.h"
#include "platform/files.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <utime.h>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct Interrupted : ::testing::Test {
    fs::path dir = freshFolder("interrupted");
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> temporaries() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            if (e.path().filename().string().find(".kolmo-") != std::string::npos)
                names.push_back(e.path().filename().string());
        return names;
    }
    // 300 000 points: a run of a second or more, with a report of about 30 MB.
    void bigInput()
    {
        std::ofstream out(dir / "big.pod");
        for (int i = 0; i < 300000; ++i)
            out << "P" << i << ' ' << 40000 + 7 * (i % 1000) << ' ' << 400000 + 11 * (i / 1000) << " 300\n";
    }
    std::vector<std::string> coords(const std::string& start, const std::string& out) const
    {
        return {"transform", "--mode", "coords", "--start-type", "gk", "--end-type", "tm", "--params-values",
                "476.08,125.947,417.81,-4.610862,-2.388137,11.942335,9.896638", "--report", "r.str", "--start",
                start, "--out", out};
    }
};

} // namespace

TEST_F(Interrupted, SignalsRemoveTheTemporaryFilesAndKeepTheOldOutputs)
{
    bigInput();
    ASSERT_EQ(run(cliPath(), coords((examplesDir() / "local" / "d48_gk.pod").string(), "o.txt"), dir).status, 0);
    const std::string report = readText(dir / "r.str"), points = readText(dir / "o.txt");
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        const Child child = Child::start(cliPath(), coords("big.pod", "o.txt"), dir, -1, dir / "err.txt");
        const bool started = waitFor([&] { return !temporaries().empty(); });
        ::kill(child.pid, sig);
        const int status = child.wait();
        ASSERT_TRUE(started) << "no temporary file appeared";
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << "signal " << sig << ": status " << status;
        EXPECT_EQ(temporaries(), std::vector<std::string>{}) << "signal " << sig;
        EXPECT_TRUE(readText(dir / "r.str") == report) << "signal " << sig;
        EXPECT_TRUE(readText(dir / "o.txt") == points) << "signal " << sig;
    }

    // The points on a pipe whose reader goes away ("... --out - | head -1").
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);  // the child keeps only its own end
    const Child child = Child::start(cliPath(), coords("big.pod", "-"), dir, pipeEnds[1], dir / "err.txt");
    ::close(pipeEnds[1]);
    char first[64];
    EXPECT_GT(::read(pipeEnds[0], first, sizeof first), 0);
    ::close(pipeEnds[0]);
    const int status = child.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
    EXPECT_EQ(temporaries(), std::vector<std::string>{});
    EXPECT_TRUE(readText(dir / "r.str") == report);
}

// SIGKILL cannot be caught: the next run writing into the folder removes the
// temporary files of this program that are more than a day old, and only those.
TEST_F(Interrupted, StaleTemporaryFilesOfKilledRunsAreRemovedByTheNextRun)
{
    const long long now = static_cast<long long>(std::time(nullptr)), old = now - 2 * 86400;
    const std::vector<std::pair<std::string, bool>> files{
        {".r.str.kolmo-4242-" + std::to_string(old) + "-17", true},           // stale
        {".o.txt.kolmo-1-" + std::to_string(old) + "-123456789", true},      // stale, another output
        {".r.str.kolmo-4242-" + std::to_string(now - 3600) + "-17", false},  // a run of an hour ago
        {"r.str.kolmo-4242-" + std::to_string(old) + "-17", false},          // not hidden: not ours
        {".r.str.kolmo-42x-" + std::to_string(old) + "-17", false},          // not our pattern
        {".notes.kolmo-4242-" + std::to_string(old), false},                 // no random part
        {".r.str.kolmo-1-99999999999999999999-1", false},                    // a time beyond any number
    };
    for (const auto& [name, stale] : files) {
        std::ofstream(dir / name) << "partial";
        const utimbuf times{static_cast<time_t>(old), static_cast<time_t>(old)};
        ::utime((dir / name).c_str(), &times);
        EXPECT_EQ(platform::staleTemporaryName(name, now), stale) << name;
    }
    ASSERT_EQ(run(cliPath(), coords((examplesDir() / "local" / "d48_gk.pod").string(), "o.txt"), dir).status, 0);
    for (const auto& [name, stale] : files)
        EXPECT_EQ(fs::exists(dir / name), !stale) << name;
    // A file named like a stale one but changed within the day is a run at work.
    const std::string busy = ".r.str.kolmo-4242-" + std::to_string(old) + "-18";
    std::ofstream(dir / busy) << "partial";
    ASSERT_EQ(run(cliPath(), coords((examplesDir() / "local" / "d48_gk.pod").string(), "o.txt"), dir).status, 0);
    EXPECT_TRUE(fs::exists(dir / busy));
}

// A GIS dataset is written into a hidden folder of its own (a Shapefile is
// several files): a signal removes the folder with its files, and the folder
// of a killed run goes when stale, as the files do.
TEST_F(Interrupted, TheFolderOfADatasetGoesOnASignalAndWhenStale)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        platform::removeTemporariesOnSignals();
        platform::FolderWriter writer(dir / "out.shp");
        for (const char* ext : {".shp", ".dbf", ".prj"})
            std::ofstream(fs::path(writer.file()).replace_extension(ext)) << "partial";
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
    EXPECT_EQ(temporaries(), std::vector<std::string>{});

    const long long old = static_cast<long long>(std::time(nullptr)) - 2 * 86400;
    const fs::path stale = dir / (".out.gpkg.kolmo-4242-" + std::to_string(old) + "-17");
    fs::create_directory(stale);
    std::ofstream(stale / "out.gpkg") << "partial";
    const utimbuf times{static_cast<time_t>(old), static_cast<time_t>(old)};
    ::utime(stale.c_str(), &times);
    platform::FolderWriter next(dir / "out.gpkg");
    EXPECT_FALSE(fs::exists(stale));
}
