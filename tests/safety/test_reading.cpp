// Bounded reading: a line at a time with a cap on its length, binary data
// refused at its first NUL byte, a UTF-8 byte-order mark skipped, running out
// of memory told as such.  Faults pinned down: kolmo-cli read /dev/zero until
// memory ran out, took 28 s and 6 GB to call a 2 GB file of zero bytes a
// format error, and read a byte-order mark as part of the first point name.
#include "input/prebsi.h"
#include "platform/errors.h"
#include "platform/textread.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;
using namespace std::string_literals;

namespace {

struct Reading : ::testing::Test {
    fs::path dir = freshFolder("reading");
    void TearDown() override { fs::remove_all(dir); }
    void write(const std::string& name, const std::string& text) { std::ofstream(dir / name, std::ios::binary) << text; }
    std::string failure(const std::string& name)
    {
        try {
            prebsi(dir / name);
        } catch (const FileError& e) {
            return std::string(e.what()).erase(0, (dir / name).string().size());
        }
        return "(read)";
    }
};

} // namespace

TEST_F(Reading, LinesNumberedAcrossBlocksCappedAndWithoutMark)
{
    // CR LF split between two blocks at some block size, lone CRs, blank lines.
    write("t.txt", "\xEF\xBB\xBF P1 1\r\n\rP2 2\n\n P3 3 \r\r\nP4 4");
    for (std::size_t block = 4; block <= 12; ++block) {
        platform::LineReader reader(dir / "t.txt", block);
        std::string got, line;
        while (reader.next(line))
            got += std::to_string(reader.lineNumber()) + ":" + line + " ";
        EXPECT_EQ(got, "1:P1 1 3:P2 2 5:P3 3 7:P4 4 ") << "block size " << block;
    }
    EXPECT_EQ(prebsiText("\xEF\xBB\xBFT1 46.05 14.5 300\n").ime.front(), "T1");

    const std::string longest = "B 1 2 3" + std::string(platform::kMaxLineBytes - 7, ' ');
    write("long.pod", "A 1 2 3\n" + longest + "\n" + longest + " \n");
    EXPECT_EQ(failure("long.pod"), ", line 3: a line longer than 1048576 bytes (not a text file?)");
    write("nul.pod", "T1 1 2 3\r\nT2 4 5\0 6\r\n"s);
    EXPECT_EQ(failure("nul.pod"), ", line 2: a NUL byte (binary data, not a text file)");
}

TEST_F(Reading, CommandLineRefusesBinaryInputAtOnceAndTellsOutOfMemory)
{
    std::ofstream(dir / "zeros.pod").close();
    fs::resize_file(dir / "zeros.pod", 2ull << 30);  // 2 GB of zero bytes, no disk space
    for (const std::string in : {"/dev/zero", "zeros.pod"}) {
        const auto r = run(cliPath(), {"convert", "--in", in, "--out", "o.txt"}, dir, RunOptions{.cpuSeconds = 20});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
        EXPECT_EQ(detailLines(r.err), in + ", line 1: a NUL byte (binary data, not a text file)\n");
        EXPECT_LT(r.seconds, 5.0) << "a guard against reading it all, not a benchmark";
    }
#if !defined(__SANITIZE_ADDRESS__)  // AddressSanitizer reserves more address space than the limit
    // Four million short points do not fit in 256 MB of address space (of
    // which the program's libraries, GDAL's among them, take about 180 MB).
    {
        std::ofstream out(dir / "many.pod");
        for (int i = 0; i < 4000000; ++i)
            out << "P 1 2 3\n";
    }
    const auto r = run(cliPath(), {"convert", "--in", "many.pod", "--out", "o.txt"}, dir,
                       RunOptions{.memoryLimit = 256ll << 20});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Premalo pomnilnika!\n") << r.err;
#endif
    EXPECT_FALSE(fs::exists(dir / "o.txt"));
}
