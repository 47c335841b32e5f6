// kolmo-cli migrate on point files of other shapes: --precision for a round
// trip that keeps the tenth of a millimetre, --columns for files that hold
// the easting first (name,e,n,H), CSV from standard input, and point files
// named .xyz or .dat.
#include "migrate/columns.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace kolmo {
namespace {

namespace fs = std::filesystem;

struct Point {
    std::string name;
    double x = 0, y = 0, h = 0;
};

// Rows "name x y H" of a point file, or of a CSV after its header.
std::vector<Point> rowsOf(const std::string& text)
{
    std::vector<Point> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        for (char& c : line)
            if (c == ',')
                c = ' ';
        std::istringstream l(line);
        Point p;
        if (l >> p.name >> p.x >> p.y >> p.h)
            rows.push_back(p);
    }
    return rows;
}

// Points of Ljubljana's network in D48/GK (x, y, H).
const std::string kGk = "LJ01 100882.7351 462835.5927 542.6612\n"
                        "LJ02 94336.3736 455002.8605 562.5806\n"
                        "LJ03 106274.6788 469187.8866 339.7457\n";

struct MigratePointOptions : ::testing::Test {
    fs::path dir = test::freshFolder("migrate_point_options");
    void TearDown() override { fs::remove_all(dir); }
    test::RunResult migrate(std::vector<std::string> args, const std::string& input = {})
    {
        args.insert(args.begin(), "migrate");
        args.push_back("-q");
        test::RunOptions options;
        options.input = input;
        return test::run(test::cliPath(), args, dir, options);
    }
};

} // namespace

// GK -> TM -> GK through point files: at the default three decimals the
// rounding of both steps shows (up to about a millimetre); --precision 5
// brings the start coordinates back to a few hundredths of a millimetre.
TEST_F(MigratePointOptions, PrecisionKeepsARoundTrip)
{
    std::ofstream(dir / "gk.pod") << kGk;
    for (const int precision : {3, 5}) {
        SCOPED_TRACE(precision);
        const std::string p = std::to_string(precision);
        auto r = migrate({"--in", "gk.pod", "--out", "tm.pod", "--precision", p});
        ASSERT_EQ(r.status, 0) << r.err;
        r = migrate({"--in", "tm.pod", "--out", "back.pod", "--from", "tm", "--precision", p});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string tm = test::readText(dir / "tm.pod");
        // The decimals written: "100882.7351" gets `precision` of them.
        const auto first = tm.substr(tm.find('.') + 1);
        EXPECT_EQ(first.find_first_not_of("0123456789"), static_cast<std::size_t>(precision)) << tm;
        const auto start = rowsOf(kGk), back = rowsOf(test::readText(dir / "back.pod"));
        ASSERT_EQ(back.size(), start.size());
        double worst = 0;
        for (std::size_t k = 0; k < start.size(); ++k) {
            worst = std::max({worst, std::abs(back[k].x - start[k].x), std::abs(back[k].y - start[k].y)});
            EXPECT_NEAR(back[k].h, start[k].h, 0.6 * std::pow(10.0, -precision));
        }
        if (precision == 5)
            EXPECT_LT(worst, 5e-5);
        else
            EXPECT_LT(worst, 2e-3);
    }
    EXPECT_EQ(migrate({"--in", "gk.pod", "--out", "tm.pod", "--precision", "12"}).status, 2);
}

// A CSV "name,e,n,H" read with --columns e,n,H gives the points of the same
// file in the order x, y, H; read by position it would put every point
// outside the model.  The same CSV on standard input (--in - --csv) too.
TEST_F(MigratePointOptions, ColumnsAndCsvFromStandardInput)
{
    std::ofstream(dir / "gk.pod") << kGk;
    auto r = migrate({"--in", "gk.pod", "--out", "expected.pod"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto expected = rowsOf(test::readText(dir / "expected.pod"));
    ASSERT_EQ(expected.size(), 3u);

    std::string en = "name,e,n,H\n";
    for (const Point& p : rowsOf(kGk)) {
        std::ostringstream line;
        line.precision(12);
        line << p.name << ',' << p.y << ',' << p.x << ',' << p.h << '\n';
        en += line.str();
    }
    std::ofstream(dir / "en.csv") << en;

    r = migrate({"--in", "en.csv", "--out", "byposition.pod"});
    EXPECT_EQ(r.status, 3) << "every point outside the model";
    EXPECT_NE(r.err.find("outside the transformation model"), std::string::npos) << r.err;

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--in", "en.csv", "--columns", "e,n,H", "--out", "out.pod"},
             {"--in", "-", "--csv", "--columns", "e, n, H", "--out", "out.pod"},
             {"--in", "-", "--csv", "--columns", "e,n,H", "--out", "-"}}) {
        SCOPED_TRACE(args[1]);
        fs::remove(dir / "out.pod");
        r = migrate(args, args[1] == "-" ? en : std::string());
        ASSERT_EQ(r.status, 0) << r.err;
        const auto rows = rowsOf(args.back() == "-" ? r.out : test::readText(dir / "out.pod"));
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t k = 0; k < rows.size(); ++k) {
            EXPECT_EQ(rows[k].name, expected[k].name);
            EXPECT_DOUBLE_EQ(rows[k].x, expected[k].x);
            EXPECT_DOUBLE_EQ(rows[k].y, expected[k].y);
            EXPECT_DOUBLE_EQ(rows[k].h, expected[k].h);
        }
    }

    // Columns left out and no height: two coordinates, no height column.
    std::ofstream(dir / "wide.txt") << "A 7 460000 100000 1\n";
    r = migrate({"--in", "wide.txt", "--columns", "-,e,n", "--out", "wide.pod"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream wide(test::readText(dir / "wide.pod"));
    std::string name;
    double x = 0, y = 0, extra = 0;
    wide >> name >> x >> y;
    EXPECT_FALSE(wide >> extra) << "no height";
    EXPECT_NEAR(x, 100000 + 487, 10);
    EXPECT_NEAR(y, 460000 - 371, 10);

    for (const char* wrong : {"e,e,H", "e,H", "a,b", "x,y,H,-,-,-,-"})
        EXPECT_EQ(migrate({"--in", "en.csv", "--columns", wrong, "--out", "no.pod"}).status, 2) << wrong;
    EXPECT_FALSE(fs::exists(dir / "no.pod"));
}

// Point files are not told by their extension alone: .xyz and .dat are read
// and written as point files, a GIS extension for a point file's output is
// refused with what to do instead.
TEST_F(MigratePointOptions, PointFilesOfOtherNames)
{
    std::ofstream(dir / "gk.xyz") << kGk;
    auto r = migrate({"--in", "gk.xyz", "--out", "tm.dat"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rowsOf(test::readText(dir / "tm.dat")).size(), 3u);
    r = migrate({"--in", "tm.dat", "--from", "tm", "--out", "gk.out"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(rowsOf(test::readText(dir / "gk.out")).size(), 3u);

    r = migrate({"--in", "gk.xyz", "--out", "tm.gpkg"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("transform --out"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "tm.gpkg"));
}

TEST(MigrateColumns, ParsedByWhatEachHolds)
{
    EXPECT_EQ(parseColumns("e,n,H"), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(parseColumns("x,y"), (std::vector<int>{0, 1, -1}));
    EXPECT_EQ(parseColumns("-, N ,-,E,h"), (std::vector<int>{1, 3, 4}));
    for (const char* wrong : {"", "e", "e,e", "x,y,q", "x,y,H,H", "-,-,-,-,-,-,x,y"})
        EXPECT_THROW(parseColumns(wrong), std::invalid_argument) << wrong;

    std::array<double, 6> row{10, 20, 30, 40, 0, 0};
    int count = 4;
    pickColumns({3, 1, 0}, row, count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(row[0], 40);
    EXPECT_EQ(row[1], 20);
    EXPECT_EQ(row[2], 10);
    // A row too short for the height keeps x and y; one too short for y is short.
    row = {1, 2, 0, 0, 0, 0};
    count = 2;
    pickColumns({1, 0, 2}, row, count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(row[0], 2);
    row = {1, 0, 0, 0, 0, 0};
    count = 1;
    pickColumns({1, 0, 2}, row, count);
    EXPECT_EQ(count, 0);
}

// A CSV row's name: UTF-8 of Slovene letters becomes Windows-1250, a name in
// Windows-1250 already (not valid UTF-8) and plain ASCII stay as they are.
TEST(MigrateColumns, CsvNamesComeInWindows1250)
{
    EXPECT_EQ(csvName("\xC4\x8C\xC5\xA1\xC5\xBE" "1"), "\xC8\x9A\x9E" "1");
    EXPECT_EQ(csvName("\xC8\x9A\x9E" "1"), "\xC8\x9A\x9E" "1");
    EXPECT_EQ(csvName("LJ01"), "LJ01");
}

} // namespace kolmo
