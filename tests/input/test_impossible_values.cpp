// Values no survey holds: minutes and seconds of 60 or more in ddd.mmssss,
// latitudes beyond the poles, negative standard deviations, a scale change
// that shrinks the network to a point; and the rows that reading completes
// with 0.
#include "app/izracun.h"
#include "app/pardb.h"
#include "input/prebsi.h"
#include "input/rackot.h"
#include "input/uredi.h"
#include "input/value_checks.h"
#include "platform/dialogs.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kolmo;

namespace {

std::string whatOf(double value)
{
    try {
        rackot(value, 14.3021, 2);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(converted)";
}

Mat rows(std::initializer_list<std::initializer_list<double>> r)
{
    Mat m(static_cast<Eigen::Index>(r.size()), static_cast<Eigen::Index>(r.begin()->size()));
    Eigen::Index i = 0;
    for (const auto& row : r) {
        Eigen::Index j = 0;
        for (double v : row)
            m(i, j++) = v;
        ++i;
    }
    return m;
}

} // namespace

TEST(Ddmmss, MinutesAndSecondsOfSixtyOrMoreAreRefused)
{
    EXPECT_EQ(whatOf(46.99), "46.99 in ddd.mmssss notation has 99 minutes (60 or more)");
    EXPECT_EQ(whatOf(46.6), "46.6 in ddd.mmssss notation has 60 minutes (60 or more)");
    EXPECT_EQ(whatOf(46.0575), "46.0575 in ddd.mmssss notation has 75 seconds (60 or more)");
    EXPECT_EQ(whatOf(46.056), "46.056 in ddd.mmssss notation has 60 seconds (60 or more)");
    EXPECT_EQ(whatOf(-46.0575), "-46.0575 in ddd.mmssss notation has 75 seconds (60 or more)");
    // A hair below 46 deg 2' 99.99" is 46 deg 3' by the rounding rule, and
    // 46 deg 59' 59.99..." stays below a whole degree: both are angles.
    EXPECT_NEAR(rackot(46.03, 0, 2).first, 46.05, 1e-12);
    EXPECT_NEAR(rackot(46.5959999, 0, 2).first, 46 + 59.0 / 60 + 59.999 / 3600, 1e-9);
    EXPECT_NEAR(rackot(46.595999999999, 0, 2).first, 47.0, 1e-9);
    EXPECT_NEAR(rackot(46.055999, 0, 2).first, 46 + 5.0 / 60 + 59.99 / 3600, 1e-9);
    // The other notations have no minutes.
    EXPECT_EQ(rackot(46.99, 0, 1).first, 46.99);

    // The arrangement says which row failed and why.
    try {
        arrange(Uredi, "1", rows({{46.0512, 14.3021, 300}, {46.0512, 14.3077, 301}}), std::nullopt, 2);
        ADD_FAILURE() << "arranged";
    } catch (const ArrangeError& e) {
        EXPECT_STREQ(e.what(), "Napaka pri urejanju podatkov!");
        EXPECT_EQ(e.row, 1);
        EXPECT_EQ(e.reason, "14.3077 in ddd.mmssss notation has 77 seconds (60 or more)");
    }
    std::string why;
    Eigen::Index row = 7;
    Mat C1;
    EXPECT_FALSE(uveljavi(Uredi2, "1", rows({{46.0512, 14.3021, 300}}), C1, {1, 2, 9}, 1, &why, &row));
    EXPECT_EQ(why, "field 9 of column 3 is not one of 1 to 3");
    EXPECT_EQ(row, -1);
}

TEST(ImpossibleValues, LatitudesAndStandardDeviationsByLayout)
{
    PointSet spatial;
    spatial.ime = {"A", "B"};
    spatial.koo = rows({{46.05, 14.5, 300, 0.01, 0.01, 0.02}, {-90.5, 14.5, 300, 0.01, 0.01, 0.02}});
    auto bad = impossibleValue(spatial, 1, true);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->row, 1);
    EXPECT_EQ(bad->what, "latitude -90.5 is outside -90 to 90 deg");
    EXPECT_FALSE(impossibleValue(spatial, 1, false)) << "plane coordinates have no latitude";

    spatial.koo(1, 0) = 90.0;
    spatial.koo(1, 4) = -0.01;
    bad = impossibleValue(spatial, 1, true);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->what, "standard deviation -0.01 (column 5) is negative");
    // Five columns get unit standard deviations later: nothing of theirs to check.
    EXPECT_FALSE(impossibleValue(spatial.koo.leftCols(5), true, 3, 3));

    PointSet plane;
    plane.ime = {"P"};
    plane.koo = rows({{100000, -0.5, 0.01, -0.02}});
    bad = impossibleValue(plane, 2, false);
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->what, "standard deviation -0.02 (column 4) is negative");
    plane.koo = rows({{95.0, 14.5, 300}});
    EXPECT_EQ(impossibleValue(plane, 4, false)->what, "latitude 95 is outside -90 to 90 deg")
        << "the conversion from D96/fi_la reads latitudes";
    EXPECT_FALSE(impossibleValue(plane, 5, false));
}

TEST(ImpossibleValues, ComputationRefusesThemBeforeComputing)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    AppState s;
    s.pot_prg = test::dataDir();
    MainInputs in;
    in.workDir = std::filesystem::temp_directory_path();
    in.izhod = "kolmo_impossible_" + std::to_string(::getpid()) + ".str";
    in.tip1 = 1;
    in.tip2 = 3;
    in.tip3 = 3;
    PointSet start, end;
    start.ime = {"A", "B", "C"};
    start.koo = rows({{46.05, 14.5, 300}, {46.06, 14.6, 300}, {146.07, 14.7, 300}});
    end.ime = start.ime;
    end.koo = rows({{100000, 460000, 300}, {101000, 461000, 300}, {102000, 462000, 300}});
    s.vhi = start;
    s.vhv = end;
    EXPECT_FALSE(izracun(s, in).ok);
    ASSERT_FALSE(rec.boxes.empty());
    EXPECT_EQ(rec.boxes.back().text, "Preveri podatke ali izberi pravilne nastavitve!");
    EXPECT_EQ(rec.boxes.back().details, "start points, point C (row 3): latitude 146.07 is outside -90 to 90 deg");

    // Seven parameters whose scale change shrinks the network to a point.
    s = AppState{};
    s.pot_prg = test::dataDir();
    s.vhi = end;
    s.t_tr.izr = 2;
    s.PAR = Vec::Zero(7);
    s.PAR(6) = -1e6;
    in.tip1 = 3;
    in.tip2 = 2;
    in.tip3 = 2;
    EXPECT_FALSE(izracun(s, in).ok);
    EXPECT_EQ(rec.boxes.back().details, "scale change -1000000 ppm: the scale factor 1 + dm * 1e-6 must be positive");
    EXPECT_FALSE(std::filesystem::exists(in.workDir / in.izhod));

    // Nor are such parameters stored.
    EXPECT_EQ(*checkParSet("2", "Nič", s.PAR), "Parametri niso shranjeni! Med parametri je neveljavna vrednost.");
    s.PAR(6) = -999999.0;
    EXPECT_FALSE(checkParSet("2", "Skoraj nič", s.PAR));
}

TEST(ShortRows, ReadingNamesTheRowsItCompletes)
{
    ReadNotes notes;
    const PointSet p = prebsiText("\nA 1 2 3\n\nB 4 5\r\nC 6 7 8 9 10 11 12\nD 1\n", &notes);
    EXPECT_EQ(p.koo.cols(), 6);
    EXPECT_EQ(notes.width, 6);
    EXPECT_EQ(notes.lines, (std::vector<std::size_t>{2, 4, 5, 6}));
    EXPECT_EQ(notes.linesShorterThan(6), (std::vector<std::size_t>{2, 4, 6}));
    EXPECT_EQ(notes.linesShorterThan(3), (std::vector<std::size_t>{4, 6}));
    EXPECT_EQ(p.koo(1, 2), 0.0) << "the 0 of the missing places stays";

    ReadNotes two;
    EXPECT_EQ(prebsiText("A 1 2\nB 3 4\n", &two).koo.cols(), 4);
    EXPECT_EQ(two.width, 2) << "before the two columns of unit standard deviations";
}
