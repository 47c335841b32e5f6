// Varnik project files: both readers, on small made-up files and on the
// example projects.
#include "input/prebpro2d.h"
#include "input/prebpro3d1.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "support/paths.h"

#include <gtest/gtest.h>

using namespace kolmo;
using kolmo::test::examplesDir;

namespace {

// Spatial project: type 1 end list, type 2 start list, results D48/GK.
const char* const kSpatial =
    "PROJEKT test\n"
    "ELIPSOIDNE KOORDINATE\n"
    "ELIPSOID\n"
    "GRS80\n"
    "T1 46 2 3.5 0.01 14 30 0 0.01 350.2 0.02\n"
    "*I\n"
    "G M 15 0.9999\n"
    "O 500000 -5000000\n"
    "GRS80\n"
    "T2 500100.0 0.005 95000.0 0.005 300.0 0.01\n"
    "A%B 500200.0 0.006 95100.0 0.007 301.0 0.02 extra fields\n"
    "*R\n"
    "G M 15 0.9999\n"
    "O 500000 -5000000\n"
    "BESSEL\n"
    "anything after the results header\n";

const char* const kPlane =
    "PROJEKT ravnina\n"
    "D96/TM\n"
    "P1 101369.0365 0.004 462464.6246 0.005\n"
    "*I\n"
    "D48/GK\n"
    "P1 100882.7351 0.013 462835.5927 0.014\n"
    "P2 94336.3736 0.013 455002.8605 0.013\n"
    "*T\n";

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const auto pos = text.find(from);
    EXPECT_NE(pos, std::string::npos) << from;
    return text.replace(pos, from.size(), to);
}

} // namespace

TEST(Varnik3d, PointLayoutsAndTypes)
{
    const auto r = prebpro3d1Text(kSpatial);
    ASSERT_EQ(r.vhv.tip, 1);
    ASSERT_EQ(r.vhv.size(), 1);
    EXPECT_EQ(r.vhv.ime[0], "T1");
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 0), 46 + 2 / 60.0 + 3.5 / 3600.0);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 1), 14.5);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 2), 350.2);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 3), 0.01);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 4), 0.01);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 5), 0.02);

    ASSERT_EQ(r.vhi.tip, 2);
    ASSERT_EQ(r.vhi.size(), 2);
    EXPECT_EQ(r.vhi.ime[0], "T2");
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 0), 95000.0);   // x
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 1), 500100.0);  // y: the easting came first
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 2), 300.0);
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 3), 0.005);
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 4), 0.005);
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 5), 0.01);
    EXPECT_EQ(r.vhi.ime[1], "A_B");
    EXPECT_DOUBLE_EQ(r.vhi.koo(1, 3), 0.007);  // s_x
    EXPECT_DOUBLE_EQ(r.vhi.koo(1, 4), 0.006);  // s_y
    EXPECT_EQ(r.rezTip, 3);
}

TEST(Varnik3d, LowerCaseBlankLinesCrLfAndEmptyList)
{
    // Lower-case markers and header letters; blank lines and CR LF do not shift
    // the line positions; an empty end-datum list keeps its type.
    const std::string text =
        "projekt\r\n\r\n"
        "elipsoidne\r\n  elipsoid\r\n\r\nwgs84\r\n"
        "*i konec\r\n"
        "g m 15\r\no 500000\r\n\t\r\nbessel\r\n"
        "T2 500100.0 0.005 95000.0 0.005 300.0 0.01\r\n"
        "*t\r\n"
        "g m\r\no\r\ngrs80";
    const auto r = prebpro3d1Text(text);
    EXPECT_EQ(r.vhv.tip, 1);
    EXPECT_EQ(r.vhv.size(), 0);
    EXPECT_TRUE(r.vhv.ime.empty());
    EXPECT_EQ(r.vhi.tip, 3);
    EXPECT_EQ(r.vhi.size(), 1);
    EXPECT_EQ(r.rezTip, 2);
}

TEST(Varnik3d, FaultsFailTheWholeRead)
{
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped(rec);
    const std::string good = kSpatial;
    const std::vector<std::string> bad{
        replaced(good, "*R\n", ""),                                    // no end marker for the start list
        replaced(good, "*I\n", ""),                                    // no end marker for the end list
        replaced(good, " 350.2 0.02", " 350.2"),                       // short type 1 line
        replaced(good, " 301.0 0.02 extra fields", ""),                // short type 2 line
        replaced(good, "95000.0", "95000,0"),                          // decimal comma
        replaced(good, "350.2", "nan"),                                // not a finite number
        good.substr(0, good.find("BESSEL")),                           // file ends inside the results header
    };
    for (const auto& text : bad)
        EXPECT_THROW(prebpro3d1Text(text), FileError) << text;
    EXPECT_TRUE(rec.boxes.empty());  // no wrong type among them
}

TEST(Varnik3d, UnknownTypeHeaderShowsBoxThenFails)
{
    const std::string good = kSpatial;
    // One bad header in each of the three places, the last after both lists
    // were read: still nothing is returned.
    for (const auto& text : {replaced(good, "ELIPSOID\n", "X\n"), replaced(good, "O 500000 -5000000\nGRS80", "O 500000 -5000000\nHAYFORD"),
                             replaced(good, "G M 15 0.9999\nO 500000 -5000000\nBESSEL", "GM 15\nO 500000 -5000000\nBESSEL")}) {
        platform::RecordingDialogs rec;
        platform::ScopedDialogs scoped(rec);
        EXPECT_THROW(prebpro3d1Text(text), FileError);
        ASSERT_EQ(rec.boxes.size(), 1u);
        EXPECT_EQ(rec.boxes[0], (platform::Box{platform::Box::Error, "Napacen tip koordinat!", "Napaka"}));
    }
}

TEST(Varnik3d, ExampleProject)
{
    const auto r = prebpro3d1(examplesDir() / "projekt_3r.in");
    ASSERT_EQ(r.vhv.size(), 12);
    ASSERT_EQ(r.vhi.size(), 20);
    EXPECT_EQ(r.vhv.tip, 1);
    EXPECT_EQ(r.vhi.tip, 3);
    EXPECT_EQ(r.rezTip, 2);
    EXPECT_EQ(r.vhv.ime.front(), "LJ01");
    EXPECT_NEAR(r.vhv.koo(0, 0), 46 + 3 / 60.0 + 3.92886 / 3600, 1e-12);
    EXPECT_NEAR(r.vhv.koo(0, 1), 14 + 30 / 60.0 + 53.81211 / 3600, 1e-12);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 2), 542.7303);
    EXPECT_EQ(r.vhi.ime.back(), "N08");
    EXPECT_DOUBLE_EQ(r.vhi.koo(19, 0), 98986.6871);
    EXPECT_DOUBLE_EQ(r.vhi.koo(19, 1), 464746.0949);
    EXPECT_DOUBLE_EQ(r.vhi.koo(19, 5), 0.024);
    EXPECT_THROW(prebpro3d1(examplesDir() / "no_such_project.in"), FileError);
}

TEST(Varnik2d, ListsAndEndMarkers)
{
    const auto r = prebpro2dText(kPlane);
    EXPECT_EQ(r.vhv.tip, 0);
    EXPECT_EQ(r.vhi.tip, 0);
    ASSERT_EQ(r.vhv.size(), 1);
    ASSERT_EQ(r.vhi.size(), 2);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 0), 101369.0365);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 1), 462464.6246);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 2), 0.004);
    EXPECT_DOUBLE_EQ(r.vhv.koo(0, 3), 0.005);
    EXPECT_EQ(r.vhi.ime[1], "P2");
    // "*R" ends the second list as well, in either case; an empty first list.
    const auto r2 = prebpro2dText(replaced(replaced(kPlane, "*T", "*r"), "P1 101369.0365 0.004 462464.6246 0.005\n", ""));
    EXPECT_EQ(r2.vhv.size(), 0);
    EXPECT_EQ(r2.vhi.size(), 2);
    // The line after "*I" is skipped whatever it holds.
    EXPECT_EQ(prebpro2dText(replaced(kPlane, "D48/GK", "P0 1 2 3 4")).vhi.size(), 2);
}

TEST(Varnik2d, FaultsFailTheWholeRead)
{
    const std::string good = kPlane;
    for (const auto& text : {replaced(good, "*T\n", ""), replaced(good, "*I\n", ""), replaced(good, " 0.014", ""),
                             replaced(good, "94336.3736", "94336.37x"), std::string("a\nb\n*I\n")})
        EXPECT_THROW(prebpro2dText(text), FileError) << text;
}

TEST(Varnik2d, ExampleProject)
{
    const auto r = prebpro2d(examplesDir() / "projekt_2r.in");
    ASSERT_EQ(r.vhv.size(), 12);
    ASSERT_EQ(r.vhi.size(), 20);
    EXPECT_EQ(r.vhv.ime[11], "LJ12");
    EXPECT_DOUBLE_EQ(r.vhv.koo(11, 0), 100919.6474);
    EXPECT_DOUBLE_EQ(r.vhv.koo(11, 1), 459268.8531);
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 0), 100882.7351);
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 1), 462835.5927);
    EXPECT_DOUBLE_EQ(r.vhi.koo(0, 2), 0.013);
}

TEST(Varnik, ResultName)
{
    EXPECT_EQ(varnikResultName("mreza.pod"), "mreza.str");
    EXPECT_EQ(varnikResultName("a.b.pod"), "a.str");
    EXPECT_EQ(varnikResultName("projekt"), "projekt.str");
    EXPECT_EQ(varnikResultName("/home/x.y/projekt_3r.in"), "projekt_3r.str");
}

// Values no survey holds end the reading with the line, the point and the
// value named.  Fault pinned down: minutes 99 were read as 99/60 deg, and a
// project file of the local network gave dx = -1 103 460 m.
TEST(Varnik, ImpossibleValuesAreRefusedNamingLineAndValue)
{
    const auto whatOf = [](const std::string& text) {
        try {
            if (text.find("D96/TM") != std::string::npos)
                prebpro2dText(text);
            else
                prebpro3d1Text(text);
        } catch (const FileError& e) {
            return std::string(e.what());
        }
        return std::string("(read)");
    };
    const std::string ok = "T1 46 2 3.5 0.01 14 30 0 0.01 350.2 0.02";
    for (const auto& [line, what] : std::vector<std::pair<std::string, std::string>>{
             {"T1 46 99 3.5 0.01 14 30 0 0.01 350.2 0.02", "latitude minutes 99 are outside 0 to 60"},
             {"T1 46 2 60 0.01 14 30 0 0.01 350.2 0.02", "latitude seconds 60 are outside 0 to 60"},
             {"T1 46 2 3.5 0.01 14 -1 0 0.01 350.2 0.02", "longitude minutes -1 are outside 0 to 60"},
             {"T1 46 2 3.5 0.01 14 30 61.5 0.01 350.2 0.02", "longitude seconds 61.5 are outside 0 to 60"},
             {"T1 96 2 3.5 0.01 14 30 0 0.01 350.2 0.02", "latitude 96.03430556 deg is outside -90 to 90 deg"},
             {"T1 46 2 3.5 0.01 14 30 0 -0.01 350.2 0.02", "standard deviation -0.01 is negative"},
             {"T1 46 2 3.5 0.01 14 30 0 0.01 350.2 -0.02", "standard deviation -0.02 is negative"}}) {
        EXPECT_EQ(whatOf(replaced(kSpatial, ok, line)), "line 5: point 'T1': " + what) << line;
    }
    EXPECT_EQ(whatOf(replaced(kSpatial, "T2 500100.0 0.005 95000.0 0.005", "T2 500100.0 0.005 95000.0 -0.005")),
              "line 10: point 'T2': standard deviation -0.005 is negative");
    EXPECT_EQ(whatOf(replaced(kPlane, "P2 94336.3736 0.013 455002.8605 0.013", "P2 94336.3736 0.013 455002.8605 -1")),
              "line 7: point 'P2': standard deviation -1 is negative");
    // The edges themselves are angles.
    EXPECT_EQ(whatOf(replaced(kSpatial, ok, "T1 90 0 0 0 14 59 59.999 0 350.2 0")), "(read)");
}
