// Bounded reading of text files: a line at a time with a cap on its length,
// binary data refused at its first NUL byte, a UTF-8 byte-order mark skipped,
// and running out of memory told as such.
//
// Faults pinned down: kolmo-cli read /dev/zero until the machine ran out of
// memory, took 28 s and 6 GB for a 2 GB file of zero bytes before calling it
// a format error, and read a byte-order mark as part of the first point name.
#include "input/prebpro3d1.h"
#include "input/prebsi.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/textread.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <new>

namespace fs = std::filesystem;
using namespace kolmo;
using namespace kolmo::test;
using platform::LineReader;
using namespace std::string_literals;

namespace {

void writeFile(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

// What a reader delivers: "<number>:<line>" per line, or "error: <what()>".
std::string readAll(LineReader& reader)
{
    std::string out, line;
    try {
        while (reader.next(line))
            out += std::to_string(reader.lineNumber()) + ":" + line + "\n";
    } catch (const FileError& e) {
        out += std::string("error: ") + e.what() + "\n";
    }
    return out;
}

std::string whatOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

struct Reading : ::testing::Test {
    fs::path dir = freshFolder("reading");
    void TearDown() override { fs::remove_all(dir); }
};

} // namespace

TEST_F(Reading, BlocksDoNotShowInTheLines)
{
    // Every kind of line end, blank lines, a CR LF split between two blocks at
    // some block size, a last line without an end, and the same text failing
    // at its NUL byte after some good lines.
    const std::string text = "\t first  \r\nsecond\rthird\n\n  \r\n\r\rfourth line is a little longer\r\n"
                             "fifth\r\n\r\nlast";
    for (const std::string& t : {text, text + "\nbad\0byte\n"s, "\xEF\xBB\xBF" + text}) {
        auto memory = LineReader::ofText(t);
        const std::string expected = readAll(memory);
        writeFile(dir / "t.txt", t);
        for (std::size_t block = 4; block <= 40; ++block) {
            LineReader file(dir / "t.txt", block);
            std::string got = readAll(file);
            // The file's name appears in its messages only.
            const auto named = got.find((dir / "t.txt").string() + ", ");
            if (named != std::string::npos)
                got.erase(named, (dir / "t.txt").string().size() + 2);
            EXPECT_EQ(got, expected) << "block size " << block;
        }
    }
    auto memory = LineReader::ofText(text);
    EXPECT_EQ(readAll(memory), "1:first\n2:second\n3:third\n8:fourth line is a little longer\n9:fifth\n11:last\n");
}

TEST_F(Reading, LongLineAndNulByteEndTheReadingNamingTheLine)
{
    const std::string longest(platform::kMaxLineBytes, 'x');
    writeFile(dir / "ok.txt", "a\n" + longest + "\nb\n");
    EXPECT_EQ(platform::readLines(dir / "ok.txt").size(), 3u) << "a line of exactly 1 MiB is still a line";

    writeFile(dir / "long.txt", "a\nb\n" + longest + "y\nc\n");
    EXPECT_EQ(whatOf([&] { platform::readLines(dir / "long.txt"); }),
              (dir / "long.txt").string() + ", line 3: a line longer than 1048576 bytes (not a text file?)");

    writeFile(dir / "nul.pod", "T1 1 2 3\r\nT2 4 5\0 6\r\n"s);
    EXPECT_EQ(whatOf([&] { prebsi(dir / "nul.pod"); }),
              (dir / "nul.pod").string() + ", line 2: a NUL byte (binary data, not a text file)");

    fs::create_directories(dir / "folder.pod");
    EXPECT_EQ(whatOf([&] { prebsi(dir / "folder.pod"); }),
              (dir / "folder.pod").string() + ": read failed: Is a directory");
    EXPECT_EQ(whatOf([&] { prebsi(dir / "none.pod"); }),
              "File not found. (" + (dir / "none.pod").string() + ": No such file or directory)");
}

TEST_F(Reading, ByteOrderMarkIsNoPartOfTheText)
{
    const std::string bom = "\xEF\xBB\xBF";
    EXPECT_EQ(prebsiText(bom + "T1 46.05 14.5 300\n").ime.front(), "T1");
    writeFile(dir / "bom.pod", bom + "T1 46.05 14.5 300\n" + bom + "T2 1 2 3\n");
    const PointSet p = prebsi(dir / "bom.pod");
    EXPECT_EQ(p.ime, (Names{"T1", bom + "T2"})) << "only the mark at the very start is skipped";
    EXPECT_EQ(platform::splitFields(bom + "2,a,1"), (std::vector<std::string>{"2", "a", "1"}));

    std::ifstream in(examplesDir() / "projekt_3r.in", std::ios::binary);
    const std::string project((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Varnik3d withMark = prebpro3d1Text(bom + project), without = prebpro3d1Text(project);
    EXPECT_EQ(withMark.vhv.ime, without.vhv.ime);
    EXPECT_EQ(withMark.vhi.koo, without.vhi.koo);
}

TEST_F(Reading, OutOfMemoryIsNotAFormatError)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    platform::errorBoxFor(std::bad_alloc(), "Napacna oblika podatkov!", "Napaka pri branju datoteke", "start file");
    platform::errorBoxFor(FileError("x.pod, line 3: 'a' is not a finite number"), "Napacna oblika podatkov!",
                          "Napaka pri branju datoteke", "start file");
    ASSERT_EQ(rec.boxes.size(), 2u);
    EXPECT_EQ(rec.boxes[0], (platform::Box{platform::Box::Error, "Premalo pomnilnika!", "Napaka pri branju datoteke"}));
    EXPECT_EQ(rec.boxes[0].details, "start file: out of memory (std::bad_alloc)");
    EXPECT_EQ(rec.boxes[1].text, "Napacna oblika podatkov!");
    EXPECT_EQ(rec.boxes[1].details, "start file: x.pod, line 3: 'a' is not a finite number");
}

// kolmo-cli on files that are no text.  The CPU limit only keeps a reader
// that takes everything in from hanging the test.
TEST_F(Reading, CommandLineRefusesBinaryInputAtOnce)
{
    RunOptions limits;
    limits.cpuSeconds = 20;
    {
        const auto r = run(cliPath(), {"convert", "--in", "/dev/zero", "--out", (dir / "o.txt").string()}, dir, limits);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
        EXPECT_EQ(detailLines(r.err), "/dev/zero, line 1: a NUL byte (binary data, not a text file)\n");
        EXPECT_LT(r.seconds, 5.0);
    }
    {
        // 2 GB of zero bytes that take no disk space.
        const fs::path zeros = dir / "zeros.pod";
        std::ofstream(zeros).close();
        fs::resize_file(zeros, 2ull << 30);
        const auto r = run(cliPath(),
                           {"transform", "--start", zeros.string(), "--start-type", "gk", "--end",
                            (examplesDir() / "local" / "d96_tm.pod").string(), "--end-type", "tm", "--report",
                            (dir / "r.str").string()},
                           dir, limits);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Napacna oblika podatkov!\n");
        EXPECT_EQ(detailLines(r.err), "start file: " + zeros.string() + ", line 1: a NUL byte (binary data, not a text file)\n");
        EXPECT_LT(r.seconds, 5.0);
        EXPECT_FALSE(fs::exists(dir / "r.str"));
    }
}

TEST_F(Reading, CommandLineTellsOutOfMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit allows";
#else
    // Four million short points do not fit in 160 MB of address space.
    {
        std::ofstream out(dir / "many.pod", std::ios::binary);
        const std::string line = "P 1 2 3\n";
        for (int i = 0; i < 4000000; ++i)
            out << line;
    }
    RunOptions limits;
    limits.memoryLimit = 160ll << 20;
    const auto r = run(cliPath(), {"convert", "--in", (dir / "many.pod").string(), "--out", (dir / "o.txt").string()},
                       dir, limits);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(boxLines(r.err), "Napaka pri branju datoteke: Premalo pomnilnika!\n") << r.err;
    EXPECT_FALSE(fs::exists(dir / "o.txt"));
#endif
}
