// A GIS dataset written by `migrate` is put in place whole or not at all, in
// every format, and never over the program's data files.
// Faults pinned down: a file-size limit (a full disk) left a 1 KiB GeoJSON and
// exit status 0; a read-only or immutable .dbf left a Shapefile whose .shp,
// .shx and .prj were new beside the old .dbf; 20 concurrent runs into one
// Shapefile left the .shx of one run beside the .dbf of another;
// --export-tinshift replaced the stored parameter sets or the model with the
// JSON; the closing summary named "a.SHP" where GDAL had written a.shp.
#include "child.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <map>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;

namespace {

struct DatasetOutputs : ::testing::Test {
    fs::path dir = freshFolder("dataset_outputs");
    void TearDown() override { fs::remove_all(dir); }

    // `count` points inside the national model in EPSG:3912 (GeoJSON), each
    // with the field "run" (the run's number) and a name, or bare.
    void input(const std::string& name, int count, int run, bool bare = false) const
    {
        std::ofstream out(dir / name);
        out << "{\"type\":\"FeatureCollection\",\"crs\":{\"type\":\"name\",\"properties\":{\"name\":"
               "\"urn:ogc:def:crs:EPSG::3912\"}},\"features\":[\n";
        for (int i = 0; i < count; ++i) {
            out << (i ? ",\n" : "") << "{\"type\":\"Feature\",\"properties\":";
            if (bare)
                out << "{}";
            else
                out << "{\"run\":" << run << ",\"ime\":\"T" << i << "\"}";
            out << ",\"geometry\":{\"type\":\"Point\",\"coordinates\":[" << 460000 + 10 * i + run << ".5,"
                << 100000 + 5 * i << ".25]}}";
        }
        out << "\n]}\n";
    }
    std::vector<std::string> migrate(const std::string& in, const std::string& out) const
    {
        return {"migrate", "--in", in, "--out", out, "--data-dir", dataDir().string(), "-q"};
    }
    // Every file of the folder (hidden ones and sub-folders too) with its content.
    std::map<std::string, std::string> snapshot() const
    {
        std::map<std::string, std::string> files;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            files[fs::relative(e.path(), dir).string()] = e.is_regular_file() ? readText(e.path()) : "(folder)";
        return files;
    }
};

// Sets or clears inode flags (chattr); false where the file system or the
// process's privileges do not allow it.
bool setInodeFlags(const fs::path& file, int flags, bool on)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int now = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &now) == 0;
    if (done) {
        now = on ? now | flags : now & ~flags;
        done = ::ioctl(fd, FS_IOC_SETFLAGS, &now) == 0;
    }
    ::close(fd);
    return done;
}

std::uint32_t little32(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (int k = 3; k >= 0; --k)
        v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(k)]);
    return v;
}

std::uint32_t big32(const std::string& bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k)
        v = v << 8 | static_cast<unsigned char>(bytes[at + k]);
    return v;
}

// The values of the character or number field `name` of a dBase file.
std::vector<std::string> dbfColumn(const std::string& dbf, const std::string& name)
{
    const std::size_t records = little32(dbf, 4);
    const std::size_t header = static_cast<unsigned char>(dbf[8]) | static_cast<unsigned char>(dbf[9]) << 8;
    const std::size_t size = static_cast<unsigned char>(dbf[10]) | static_cast<unsigned char>(dbf[11]) << 8;
    std::size_t offset = 1, width = 0;
    bool found = false;
    for (std::size_t at = 32; at + 32 <= header && dbf[at] != '\r'; at += 32) {
        const std::string field(dbf.c_str() + at);
        const std::size_t length = static_cast<unsigned char>(dbf[at + 16]);
        if (field == name) {
            width = length;
            found = true;
            break;
        }
        offset += length;
    }
    std::vector<std::string> values;
    if (!found || dbf.size() < header + records * size)
        return values;
    for (std::size_t r = 0; r < records; ++r) {
        std::string v = dbf.substr(header + r * size + offset, width);
        v.erase(0, v.find_first_not_of(' '));
        v.erase(v.find_last_not_of(' ') + 1);
        values.push_back(v);
    }
    return values;
}

} // namespace

// A write beyond the file-size limit fails in every format: exit status 1,
// the former output byte for byte as it was, and no temporary left behind.
TEST_F(DatasetOutputs, FullDiskLeavesTheFormerOutputInEveryFormat)
{
    input("bare.geojson", 400, 0, true);
    for (const std::string out : {"o.geojson", "o.shp", "o.gpkg", "o.fgb", "o.gml", "o.dxf", "o.csv"}) {
        const auto first = run(cliPath(), migrate("bare.geojson", out), dir);
        ASSERT_EQ(first.status, 0) << out << "\n" << first.err;
        const auto before = snapshot();
        const auto r = run(cliPath(), migrate("bare.geojson", out), dir,
                           RunOptions{.fileSizeLimit = 4096, .ignoreFileSizeSignal = true});
        EXPECT_EQ(r.status, 1) << out << "\n" << r.err;
        EXPECT_NE(r.err.find("o."), std::string::npos) << out << "\n" << r.err;
        EXPECT_EQ(snapshot(), before) << out;
    }
}

// A part of the former Shapefile that cannot be replaced (no write
// permission, immutable, append-only, another user's) is found before
// anything is written: exit status 1, the message names the part, and every
// part stays as it was.
TEST_F(DatasetOutputs, APartThatCannotBeReplacedIsRefusedBeforeWriting)
{
    input("first.geojson", 3, 1);
    input("second.geojson", 5, 2);
    ASSERT_EQ(run(cliPath(), migrate("first.geojson", "s.shp"), dir).status, 0);
    const auto before = snapshot();
    const fs::path dbf = dir / "s.dbf";
    auto refused = [&](const std::string& what) {
        const auto r = run(cliPath(), migrate("second.geojson", "s.shp"), dir);
        EXPECT_EQ(r.status, 1) << what << "\n" << r.err;
        EXPECT_NE(r.err.find("s.dbf"), std::string::npos) << what << "\n" << r.err;
        EXPECT_EQ(snapshot(), before) << what;
    };

    fs::permissions(dbf, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    refused("a read-only .dbf");
    fs::permissions(dbf, fs::perms::owner_write, fs::perm_options::add);

    std::vector<std::string> skipped;
    for (const auto& [flag, what] : {std::pair{FS_IMMUTABLE_FL, "an immutable .dbf"},
                                     std::pair{FS_APPEND_FL, "an append-only .dbf"}}) {
        if (!setInodeFlags(dbf, flag, true)) {
            skipped.push_back(what);
            continue;
        }
        refused(what);
        ASSERT_TRUE(setInodeFlags(dbf, flag, false));
    }
    if (::chown(dbf.c_str(), 65534, 65534) == 0) {
        refused("a .dbf of another user");
        ASSERT_EQ(::chown(dbf.c_str(), ::geteuid(), ::getegid()), 0);
    } else {
        skipped.push_back("a .dbf of another user");
    }

    const auto r = run(cliPath(), migrate("second.geojson", "s.shp"), dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(dbfColumn(readText(dbf), "run"), std::vector<std::string>(5, "2"));
    for (const auto& what : skipped)
        std::printf("not tried here: %s\n", what.c_str());
}

// A part that cannot be moved into place (here a folder where the .dbf
// would go) fails the commit, and the parts already moved get their former
// content back: the set is all new or all old.
TEST_F(DatasetOutputs, AFailedMoveBringsBackTheFormerParts)
{
    for (const char* name : {"a.shp", "a.shx", "a.prj"})
        std::ofstream(dir / name) << "old " << name;
    fs::create_directories(dir / "a.dbf" / "inside");
    const auto before = snapshot();
    {
        platform::FolderWriter writer(dir / "a.shp");
        const fs::path folder = writer.file().parent_path();
        for (const char* name : {"a.shp", "a.shx", "a.dbf", "a.prj", "a.cpg"})
            std::ofstream(folder / name) << "new";
        EXPECT_THROW(writer.commit({"a.qix"}), FileError);
    }
    EXPECT_EQ(snapshot(), before);
}

// 20 runs into one Shapefile at once, each with its own number of points and
// its number in every record: every run succeeds, and at the end the .shp,
// the .shx and the .dbf are all of one run.
TEST_F(DatasetOutputs, ConcurrentRunsIntoOneShapefileLeaveOneRunsParts)
{
    constexpr int kRuns = 20;
    for (int k = 0; k < kRuns; ++k)
        input("in" + std::to_string(k) + ".geojson", k + 1, k);
    std::vector<Child> children;
    for (int k = 0; k < kRuns; ++k)
        children.push_back(Child::start(cliPath(), migrate("in" + std::to_string(k) + ".geojson", "shared.shp"), dir,
                                        -1, dir / ("err" + std::to_string(k) + ".txt")));
    for (int k = 0; k < kRuns; ++k) {
        const int status = children[static_cast<std::size_t>(k)].wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "run " << k << ": " << readText(dir / ("err" + std::to_string(k) + ".txt"));
    }

    const std::string shp = readText(dir / "shared.shp"), shx = readText(dir / "shared.shx"),
                      dbf = readText(dir / "shared.dbf");
    ASSERT_GE(shp.size(), 100u);
    ASSERT_GE(shx.size(), 100u);
    ASSERT_GE(dbf.size(), 32u);
    EXPECT_EQ(std::size_t(big32(shp, 24)) * 2, shp.size());
    EXPECT_EQ(std::size_t(big32(shx, 24)) * 2, shx.size());
    const auto runs = dbfColumn(dbf, "run");
    ASSERT_FALSE(runs.empty());
    const int k = std::stoi(runs.front());
    EXPECT_EQ(runs, std::vector<std::string>(static_cast<std::size_t>(k + 1), runs.front()));
    EXPECT_EQ((shx.size() - 100) / 8, std::size_t(k + 1)) << "the .shx of another run";
    EXPECT_EQ((shp.size() - 100) / 28, std::size_t(k + 1)) << "the .shp of another run";
    for (const auto& e : fs::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().find(".kolmo-"), std::string::npos) << e.path();
}

// --export-tinshift, like every other output, never replaces a data file of
// the program, under its own name or through a link.
TEST_F(DatasetOutputs, TinshiftExportRefusesTheDataFiles)
{
    fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
    fs::create_symlink("data/t7.par", dir / "link.json");
    const auto before = snapshot();
    for (const std::string file : {"data/t7.par", "data/meja_rs.mat", "data/gurs_virtualne_vezne_tocke_v4.0.txt",
                                   "data/VTP2024.mat", "data/./HREF_SVS2010.mat", "link.json"}) {
        const auto r = run(cliPath(), {"migrate", "--export-tinshift", file, "--data-dir", "data"}, dir);
        EXPECT_EQ(r.status, 1) << file << "\n" << r.err;
        EXPECT_NE(r.err.find("data file"), std::string::npos) << file << "\n" << r.err;
        EXPECT_EQ(snapshot(), before) << file;
    }
    EXPECT_EQ(run(cliPath(), {"migrate", "--export-tinshift", "model.json", "--data-dir", "data"}, dir).status, 0);
}

// The closing summary names the file as GDAL wrote it: "a.SHP" is written
// as a.shp.
TEST_F(DatasetOutputs, TheSummaryNamesTheFileAsWritten)
{
    input("in.geojson", 2, 3);
    const auto r = run(cliPath(), {"migrate", "--in", "in.geojson", "--out", "a.SHP", "--data-dir",
                                   dataDir().string()},
                       dir);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string shown = r.out.substr(0, r.out.find(':'));
    EXPECT_TRUE(fs::exists(dir / shown)) << r.out;
    EXPECT_EQ(r.out, "a.shp: 2 feature(s) written, 0 warning(s)\n");
}
