#include "input/prebsi.h"
#include "platform/errors.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
