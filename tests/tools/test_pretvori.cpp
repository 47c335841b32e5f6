#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "platform/dialogs.h"
#include "platform/textread.h"
#include "tools/mod_pret.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace kolmo;
namespace fs = std::filesystem;
using platform::Box;

namespace {

// A scratch folder per test, removed afterwards.
class Pretvori : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("kolmo_pretvori_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::create_directories(dir);
        out = (dir / "rez.txt").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    static PointSet points(Names ime, Mat koo)
    {
        PointSet p;
        p.ime = std::move(ime);
        p.koo = std::move(koo);
        return p;
    }
    std::string written() const { return platform::readFile(out); }

    fs::path dir;
    std::string out;
    platform::RecordingDialogs rec;
    platform::ScopedDialogs scoped{rec};
    const fs::path noModels = "/nonexistent/kolmo-data";
};

const Box kConversionError{Box::Error, "Napaka pri pri pretvorbi koordinat!", "Napaka"};

} // namespace

TEST_F(Pretvori, ChecksInOrder)
{
    std::optional<PointSet> none;
    PretvoriSettings same;
    same.tip_vh = 3;
    same.tip_rez = 3;
    EXPECT_FALSE(pretvori(none, same, "", noModels));
    std::optional<PointSet> empty = points({}, Mat(0, 3));
    EXPECT_FALSE(pretvori(empty, PretvoriSettings{}, out, noModels));
    std::optional<PointSet> one = points({"A"}, (Mat(1, 3) << 100000, 500000, 300).finished());
    EXPECT_FALSE(pretvori(one, same, "", noModels));
    EXPECT_FALSE(pretvori(one, PretvoriSettings{}, "", noModels));
    EXPECT_EQ(rec.boxes, (std::vector<Box>{
                             {Box::Error, "Ni podatkov! Preberi podatke iz datoteke.", "Napaka"},
                             {Box::Error, "Ni podatkov! Preberi podatke iz datoteke.", "Napaka"},
                             {Box::Error, "Identicna tipa koordinat! Nesmiselna pretvorba.", "Napaka"},
                             {Box::Error, "Izberi izhodno datoteko!", "Napaka"},
                         }));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(rec.busyDepth, 0);
}

TEST_F(Pretvori, EllipsoidalToPlaneFormats)
{
    Mat koo(2, 3);
    koo << 46.5, 14.5, 300.25, 46.0, 15.0, 0.0;
    std::optional<PointSet> vhi = points({"T1", "\xC8" "EPNA_TOCKA"}, koo);
    PretvoriSettings s;
    s.vis = 3; // no heights
    ASSERT_TRUE(pretvori(vhi, s, out, noModels));
    EXPECT_EQ(written(), "T1           151270.328   461622.566\n"
                         "\xC8" "EPNA_TOCKA   95576.318   500000.000\n");
    s.tip_rez = 4;
    s.vis = 2; // ellipsoidal: the input height passes through
    ASSERT_TRUE(pretvori(vhi, s, out, noModels));
    EXPECT_EQ(written(), "T1           461622.566   151270.328      300.250\n"
                         "\xC8" "EPNA_TOCKA  500000.000    95576.318        0.000\n");
    EXPECT_TRUE(rec.boxes.empty());
    EXPECT_EQ(vhi->koo, koo);
}

TEST_F(Pretvori, CartesianBothWaysAndEllipsoidalResultKeepsThreeValues)
{
    Mat ell(1, 3);
    ell << 46.0, 15.0, 300.0;
    std::optional<PointSet> vhi = points({"K"}, ell);
    PretvoriSettings toCart;
    toCart.tip_rez = 2;
    toCart.eli = 3;
    ASSERT_TRUE(pretvori(vhi, toCart, out, noModels));
    EXPECT_EQ(written(), "K            4286769.756  1148636.494  4565002.021\n");

    vhi = points({"K"}, elipkart(ell, 1, 3));
    PretvoriSettings toEll;
    toEll.tip_vh = 2;
    toEll.tip_rez = 1;
    toEll.eli = 3;
    toEll.vis = 3; // "brez" still writes the height
    ASSERT_TRUE(pretvori(vhi, toEll, out, noModels));
    EXPECT_EQ(written(), "K            46.000000000   15.000000000      300.000\n");
}

TEST_F(Pretvori, PlaneToPlaneYxGoesRoundTheEllipsoidWithZoneDigitRemoved)
{
    Mat koo(2, 3);
    koo << 5101000.0, 5457000.0, 250.0, 95000.0, 540000.0, 10.0;
    std::optional<PointSet> vhi = points({"Z1", "Z2"}, koo);
    PretvoriSettings s;
    s.tip_vh = 3;
    s.tip_rez = 4;
    s.vis = 3;
    ASSERT_TRUE(pretvori(vhi, s, out, noModels));
    EXPECT_EQ(written(), "Z1           457000.000   101000.000\n"
                         "Z2           540000.000    95000.000\n");
    EXPECT_EQ(vhi->koo(0, 0), 101000.0);
    EXPECT_EQ(vhi->koo(0, 1), 457000.0);
}

TEST_F(Pretvori, FailuresWriteNothing)
{
    // Geoid heights from models that cannot be loaded: the reduction of the
    // zone digit has been applied to the points already; exactly 5 000 000 is kept.
    Mat koo(2, 3);
    koo << 5101000.0, 5457000.0, 250.0, 5000000.0, 500000.0, 10.0;
    std::optional<PointSet> vhi = points({"G1", "G2"}, koo);
    PretvoriSettings s;
    s.tip_vh = 3;
    s.tip_rez = 4;
    s.vis = 1;
    EXPECT_FALSE(pretvori(vhi, s, out, noModels));
    EXPECT_EQ(vhi->koo(0, 0), 101000.0);
    EXPECT_EQ(vhi->koo(0, 1), 457000.0);
    EXPECT_EQ(vhi->koo(1, 0), 5000000.0);
    EXPECT_EQ(rec.boxes, std::vector<Box>{kConversionError});
    EXPECT_FALSE(fs::exists(out));

    // A point outside the zone: the projection's box, then the conversion error.
    rec.boxes.clear();
    Mat ell(3, 3);
    ell << 46, 15, 0, 46, 17, 0, 46, 14, 0;
    vhi = points({"A", "B", "C"}, ell);
    PretvoriSettings p;
    p.vis = 3;
    EXPECT_FALSE(pretvori(vhi, p, out, noModels));
    EXPECT_EQ(rec.boxes, (std::vector<Box>{{Box::Error, "Izven obmocja 5.cone GK!", "Napaka"}, kConversionError}));
    EXPECT_FALSE(fs::exists(out));

    // Fewer than three coordinates (points loaded elsewhere), and an output folder that does not exist.
    rec.boxes.clear();
    vhi = points({"A"}, (Mat(1, 2) << 46, 15).finished());
    EXPECT_FALSE(pretvori(vhi, p, out, noModels));
    vhi = points({"A"}, ell.topRows(1));
    EXPECT_FALSE(pretvori(vhi, p, (dir / "no" / "such.txt").string(), noModels));
    EXPECT_EQ(rec.boxes, (std::vector<Box>{kConversionError, kConversionError}));
    EXPECT_EQ(rec.busyDepth, 0);
}

TEST_F(Pretvori, VhDatCutsToThreeColumnsOrKeepsThePreviousPoints)
{
    const fs::path six = dir / "six.pod";
    std::ofstream(six) << "A 1 2 3 4 5 6\r\nB 7 8 9 10 11 12\r\n";
    std::optional<PointSet> vhi;
    ASSERT_TRUE(vhDat(vhi, six));
    EXPECT_EQ(vhi->koo, (Mat(2, 3) << 1, 2, 3, 7, 8, 9).finished());

    const fs::path one = dir / "one.pod";
    std::ofstream(one) << "X 1\n";
    EXPECT_FALSE(vhDat(vhi, one));
    EXPECT_FALSE(vhDat(vhi, dir / "missing.pod"));
    EXPECT_EQ(vhi->ime, (Names{"A", "B"}));
    const Box readError{Box::Error, "Napacna oblika podatkov!", "Napaka pri branju datoteke"};
    EXPECT_EQ(rec.boxes, (std::vector<Box>{readError, readError}));
}
