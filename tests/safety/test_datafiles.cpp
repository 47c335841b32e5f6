// Data files of the program folder are looked at before they are read.
// Faults pinned down: with HREF_SVS2010.mat a link to /dev/zero, "geoid" took
// 106 s and 15.7 GB before "Premalo pomnilnika!"; a 4 GB sparse file took 35 s
// and 7.9 GB; a folder in a model's place was told as "basic_filebuf::
// underflow ... Is a directory".
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace fs = std::filesystem;
using namespace kolmo::test;

TEST(DataFiles, AFolderADeviceOrAHugeFileIsRefusedAtOnceByName)
{
    const fs::path dir = freshFolder("datafiles");
    fs::copy(dataDir(), dir / "data", fs::copy_options::recursive);
    const fs::path model = dir / "data" / "HREF_SVS2010.mat";
    const std::vector<std::pair<std::function<void()>, std::string>> cases{
        {[&] { fs::create_symlink("/dev/zero", model); }, "is not a regular file (a device or a pipe), not a data file"},
        {[&] {
             std::ofstream(model).close();
             fs::resize_file(model, 4ull << 30);  // sparse: no disk space
         },
         "is 4096 MB, larger than any data file of the program (at most 64 MB)"},
        {[&] { fs::create_directory(model); }, "is a folder, not a data file"},
    };
    for (const auto& [make, why] : cases) {
        fs::remove_all(model);
        make();
        const auto r = run(cliPath(), {"geoid", "--data-dir", "data", "46.05", "14.5"}, dir,
                           RunOptions{.cpuSeconds = 20});
        EXPECT_EQ(r.status, 1) << why;
        EXPECT_EQ(detailLines(r.err), "data/HREF_SVS2010.mat: " + why + "\n");
        EXPECT_LT(r.seconds, 5.0) << "a guard against reading it, not a benchmark";
    }
    fs::remove_all(dir);
}
