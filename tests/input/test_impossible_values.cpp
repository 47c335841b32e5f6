// Values no survey holds are refused before they reach a computation.  Fault
// pinned down: minutes of 99 in ddd.mmssss were read as 99/60 deg, and the
// computation took latitudes beyond the poles and a scale change that shrinks
// the network to a point.
#include "app/izracun.h"
#include "app/pardb.h"
#include "input/rackot.h"
#include "platform/dialogs.h"
#include "support/paths.h"
#include "support/run.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kolmo;

TEST(Ddmmss, MinutesAndSecondsOfSixtyOrMoreAreRefused)
{
    for (const auto& [value, why] : std::vector<std::pair<double, std::string>>{
             {46.99, "46.99 in ddd.mmssss notation has 99 minutes (60 or more)"},
             {46.6, "46.6 in ddd.mmssss notation has 60 minutes (60 or more)"},
             {46.056, "46.056 in ddd.mmssss notation has 60 seconds (60 or more)"},
             {-46.0575, "-46.0575 in ddd.mmssss notation has 75 seconds (60 or more)"}}) {
        try {
            rackot(value, 14.3021, 2);
            ADD_FAILURE() << value << " converted";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(e.what(), why);
        }
    }
    // The rounding of 46.03 (held as 46.0299999...) to 46 deg 3', and seconds a
    // hair below 60, stay angles.
    EXPECT_NEAR(rackot(46.03, 0, 2).first, 46.05, 1e-12);
    EXPECT_NEAR(rackot(46.5959999, 0, 2).first, 46 + 59.0 / 60 + 59.999 / 3600, 1e-9);
    EXPECT_NEAR(rackot(46.595999999999, 0, 2).first, 47.0, 1e-9);

}

TEST(ImpossibleValues, ComputationAndDatabaseRefuseThem)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    AppState s;
    s.pot_prg = test::dataDir();
    MainInputs in;
    in.workDir = test::freshFolder("impossible");
    in.izhod = "r.str";
    PointSet start, end;
    start.ime = end.ime = {"A", "B", "C"};
    start.koo.resize(3, 3);
    start.koo << 46.05, 14.5, 300, 46.06, 14.6, 300, 146.07, 14.7, 300;
    end.koo.resize(3, 6);
    end.koo << 100000, 460000, 300, 0.01, 0.01, 0.02, 101000, 461000, 300, 0.01, -0.01, 0.02, 102000, 462000, 300,
        0.01, 0.01, 0.02;
    s.vhi = start;
    s.vhv = end;
    EXPECT_FALSE(izracun(s, in).ok);
    EXPECT_EQ(rec.boxes.back().details, "start points, point C (row 3): latitude 146.07 is outside -90 to 90 deg");
    s.vhi->koo(2, 0) = 46.07;
    EXPECT_FALSE(izracun(s, in).ok);
    EXPECT_EQ(rec.boxes.back().details, "end points, point B (row 2): standard deviation -0.01 (column 5) is negative");

    Vec shrink = Vec::Zero(7);
    shrink(6) = -1e6;
    EXPECT_EQ(*checkParSet("2", "Nič", shrink), "Parametri niso shranjeni! Med parametri je neveljavna vrednost.");
    shrink(6) = -999999.0;
    EXPECT_FALSE(checkParSet("2", "Skoraj nič", shrink));
    EXPECT_FALSE(std::filesystem::exists(in.workDir / "r.str"));
    std::filesystem::remove_all(in.workDir);
}
