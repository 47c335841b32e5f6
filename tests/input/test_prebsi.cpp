#include "input/prebsi.h"
#include "platform/errors.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace kolmo;

TEST(Prebsi, DecimalCommaAndPercentInNames)
{
    const PointSet p = prebsiText("T1 46,0512 14,3021 300\nA%1 1 2 3\n");
    ASSERT_EQ(p.ime, (Names{"T1", "A_1"}));
    ASSERT_EQ(p.koo.rows(), 2);
    ASSERT_EQ(p.koo.cols(), 3);
    EXPECT_EQ(p.koo(0, 0), 46.0512);
    EXPECT_EQ(p.koo(0, 1), 14.3021);
    EXPECT_EQ(p.koo(0, 2), 300.0);
    EXPECT_EQ(p.tip, 0);
}

TEST(Prebsi, ColumnCompletion)
{
    // Two numbers on every line: plane points with unit standard deviations.
    PointSet p = prebsiText("A 1 2\nB 3 4\n");
    Mat four(2, 4);
    four << 1, 2, 1, 1, 3, 4, 1, 1;
    EXPECT_EQ(p.koo, four);

    // One wider line widens every row with zeros, before and after it.
    p = prebsiText("A 1 2\nB 3 4 5\nC 6 7\n");
    Mat three(3, 3);
    three << 1, 2, 0, 3, 4, 5, 6, 7, 0;
    EXPECT_EQ(p.koo, three);

    // At most six numbers per line; the rest of the line is ignored.
    p = prebsiText("A 1 2 3 4 5 6 7 8\nB 1\n");
    ASSERT_EQ(p.koo.cols(), 6);
    EXPECT_EQ(p.koo(0, 5), 6.0);
    EXPECT_EQ(p.koo.row(1), (Eigen::RowVectorXd(6) << 1, 0, 0, 0, 0, 0).finished());

    // A single number per line stays a single column.
    EXPECT_EQ(prebsiText("A 7\n").koo.cols(), 1);
}

TEST(Prebsi, LinesTrimmedBlankLinesSkippedBothLineEnds)
{
    const PointSet p = prebsiText("\n\n  \t P1\t 1.5  2.5\t3.5  \r\n\r\n   \nP2 -4 +5e2 .5\r\nP3 6 7 8");
    ASSERT_EQ(p.ime, (Names{"P1", "P2", "P3"}));
    EXPECT_EQ(p.koo(0, 2), 3.5);
    EXPECT_EQ(p.koo(1, 0), -4.0);
    EXPECT_EQ(p.koo(1, 1), 500.0);
    EXPECT_EQ(p.koo(1, 2), 0.5);
    EXPECT_EQ(p.koo(2, 2), 8.0);
    // Other control characters 9-13 separate tokens too.
    const PointSet q = prebsiText("Q\v1\f2 3\n");
    EXPECT_EQ(q.ime[0], "Q");
    EXPECT_EQ(q.koo.cols(), 3);
}

TEST(Prebsi, NamesAreBytesKeptAsTheyCame)
{
    // "Čep" and "Žaga" in Windows-1250, a UTF-8 byte sequence and a name that looks like a number.
    const std::string text = "\xC8" "ep 1 2 3\n\x8E" "aga 4 5 6\n\xC5\xBE 7 8 9\n12 1 1 1\n";
    const PointSet p = prebsiText(text);
    EXPECT_EQ(p.ime, (Names{"\xC8" "ep", "\x8E" "aga", "\xC5\xBE", "12"}));
}

TEST(Prebsi, FailsAsAWhole)
{
    for (const char* bad : {
             "A 1 2 3\nB 1 x 3\n",          // not a number
             "A 1 2 3\nB\n",                // a name without numbers
             "A 1,5,2 3\n",                 // two decimal commas in one token
             "A nan 2 3\n", "A 1 inf 3\n", "A 1 2 1e999\n", "A 1 2 -Infinity\n", // non-finite
             "A 0x10 2 3\n",                // not decimal notation
             "", "\n \n\t\n",                // no data line
             "\v\n",                        // a line of separators only
         })
        EXPECT_THROW(prebsiText(bad), FileError) << '"' << bad << '"';
    EXPECT_THROW(prebsi(std::filesystem::path("/nonexistent/kolmo/none.pod")), FileError);
}

TEST(Prebsi, ReadsTheExampleFiles)
{
    const PointSet fila = prebsi(test::examplesDir() / "country" / "d96_fila.pod");
    ASSERT_GT(fila.size(), 10);
    EXPECT_EQ(fila.ime[0], "S01");
    EXPECT_EQ(fila.koo.cols(), 3);
    EXPECT_EQ(fila.koo(0, 0), 46.2882835);
    EXPECT_EQ(static_cast<Eigen::Index>(fila.ime.size()), fila.koo.rows());

    const PointSet plane2d = prebsi(test::examplesDir() / "country" / "d48_gk_2d.pod");
    EXPECT_EQ(plane2d.koo.cols(), 4);
    EXPECT_TRUE((plane2d.koo.rightCols(2).array() == 1).all());
    EXPECT_EQ(prebsi(test::examplesDir() / "country" / "d96_tm_sd.pod").koo.cols(), 6);
}

TEST(Prebsi, MillionLinesInOnePass)
{
    std::string text;
    text.reserve(40u * 1000000u);
    for (int i = 0; i < 1000000; ++i) {
        text += 'P';
        text += std::to_string(i);
        text += i == 777 ? " 46.5 14.5 300.25 0.01\n" : " 46.5 14.5 300.25\n";
    }
    const PointSet p = prebsiText(text);
    ASSERT_EQ(p.koo.rows(), 1000000);
    ASSERT_EQ(p.koo.cols(), 4);
    EXPECT_EQ(p.koo(777, 3), 0.01);
    EXPECT_EQ(p.koo(999999, 3), 0.0);
    EXPECT_EQ(p.ime.back(), "P999999");
}

namespace {

PointSet csv(std::string_view text, ReadNotes* notes = nullptr)
{
    PointFileOptions o;
    o.csv = true;
    return prebsiText(text, notes, o);
}

std::string csvFailure(std::string_view text)
{
    try {
        csv(text);
    } catch (const FileError& e) {
        return e.what();
    }
    return "no failure";
}

} // namespace

TEST(PrebsiCsv, SeparatorsHeaderQuotesAndDecimalCommas)
{
    // Commas: a decimal point only; the header line is left out.
    PointSet p = csv("name,x,y,H\nT1,46.05,14.30,300\n T2 , 1e2 ,-2.5, 0 \n");
    ASSERT_EQ(p.ime, (Names{"T1", "T2"}));
    EXPECT_EQ(p.koo, (Mat(2, 3) << 46.05, 14.30, 300, 100, -2.5, 0).finished());

    // Semicolons (decided by the first line): decimal commas, quoted names
    // holding separators and quotes, "%" made "_" as in every point file.
    p = csv("\"ime\";\"x\";\"y\"\r\n\"A; \"\"north\"\", 1\";46,0512;14,3021\r\n\"B%2\" ; 1,5 ; 2\r\n");
    ASSERT_EQ(p.ime, (Names{"A; \"north\", 1", "B_2"}));
    EXPECT_EQ(p.koo(0, 0), 46.0512);
    EXPECT_EQ(p.koo(1, 0), 1.5);
    EXPECT_EQ(p.koo.cols(), 4) << "two numbers: plane points with unit standard deviations";
}

TEST(PrebsiCsv, ShortRowsWidthAndKeptColumns)
{
    ReadNotes notes;
    const PointSet p = csv("A,1,2,3,4,5,6,7,text\nB,1,2,,\nC,1\n", &notes);
    EXPECT_EQ(notes.width, 6);
    EXPECT_EQ(notes.counts, (std::vector<unsigned char>{6, 2, 1}));
    EXPECT_EQ(notes.lines, (std::vector<std::size_t>{1, 2, 3}));
    EXPECT_EQ(p.koo.row(1), (Eigen::RowVectorXd(6) << 1, 2, 0, 0, 0, 0).finished());

    // Kept columns: the matrix holds three, the notes still count six.
    PointFileOptions o;
    o.csv = true;
    o.keep = 3;
    ReadNotes kept;
    const PointSet q = prebsiText("A,1,2,3,4,5,6\nB,1,2\n", &kept, o);
    EXPECT_EQ(q.koo, (Mat(2, 3) << 1, 2, 3, 1, 2, 0).finished());
    EXPECT_EQ(kept.width, 6);
    o.csv = false;
    EXPECT_EQ(prebsiText("A 1 2\nB 3 4\n", nullptr, o).koo, (Mat(2, 3) << 1, 2, 1, 3, 4, 1).finished())
        << "two numbers: the first unit standard deviation fills the third kept column";
}

TEST(PrebsiCsv, FaultsNameTheLineAndTheField)
{
    EXPECT_EQ(csvFailure("P1,x,2\n"), "line 1: 'x' is not a finite number");
    EXPECT_EQ(csvFailure("A,1,2\nB,\"3,4\n"), "line 2: field 2: a quote that is not closed");
    EXPECT_EQ(csvFailure("A,\"1\"x,2\n"), "line 1: field 2: text after its closing quote");
    EXPECT_EQ(csvFailure("A,1,,2\n"), "line 1: point 'A': field 3 is empty");
    EXPECT_EQ(csvFailure("A\n"), "line 1: point 'A' has no coordinates");
    EXPECT_EQ(csvFailure("A,1\n,2\n"), "line 2: a point without a name (the first field is empty)");
    EXPECT_EQ(csvFailure("name,x,y\n"), "no point in the file");
    EXPECT_EQ(csvFailure("A,1,nan\n"), "line 1: 'nan' is not a finite number");
}

TEST(PrebsiCsv, ByNameAndLikeThePointFile)
{
    EXPECT_TRUE(isCsvName("a/b.csv"));
    EXPECT_TRUE(isCsvName("B.CSV"));
    EXPECT_FALSE(isCsvName("b.pod"));
    EXPECT_FALSE(isCsvName("csv"));

    // The example file as CSV reads to the same points as the file itself.
    const auto pod = test::examplesDir() / "local" / "d48_gk_sd.pod";
    const PointSet a = prebsi(pod);
    std::string text = "name,x,y,H,sx,sy,sH\n";
    for (std::size_t i = 0; i < a.ime.size(); ++i) {
        text += a.ime[i];
        for (Eigen::Index c = 0; c < a.koo.cols(); ++c) {
            char buf[64];
            std::snprintf(buf, sizeof buf, ",%.17g", a.koo(static_cast<Eigen::Index>(i), c));
            text += buf;
        }
        text += '\n';
    }
    const auto file = std::filesystem::temp_directory_path() / ("kolmo_prebsi_" + std::to_string(::getpid()) + ".csv");
    std::ofstream(file) << text;
    const PointSet b = prebsi(file);
    std::filesystem::remove(file);
    EXPECT_EQ(b.ime, a.ime);
    EXPECT_EQ(b.koo, a.koo);
}
