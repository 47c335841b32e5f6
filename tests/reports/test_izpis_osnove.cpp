// The report writer's formatting, header date, name matching and file errors.
#include "platform/errors.h"
#include "platform/files.h"
#include "reports/report_file.h"
#include "reports/gradniki.h"
#include "reports/izpis_etm.h"
#include "reports/izpis_glava.h"
#include "reports/izpis_skupno.h"
#include "reports/pomoc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <vector>

using namespace kolmo;
using namespace kolmo::test;

namespace {

const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

TEST(Izpis, NeStevilaVSirinoPolja)
{
    izpis::Izpis out;
    out("[%8.3f][%-6.2f][%3d][%s][%5.1f]", nan, -inf, 5, "x", inf);
    out.zapisi("[%3d %02d %08.5f]", {nan, 7.0, 3.25});
    out("[%12.3f]", -nan);
    EXPECT_EQ(out.besedilo(), "[     NaN][-Inf  ][  5][x][  Inf][NaN 07 03.25000][         NaN]");
}

// The formatter of the reports writes what printf writes, for every kind of
// conversion the reports use, over signs, zeros, ties and widths too narrow.
TEST(Izpis, HitroOblikovanjeJeEnakoPrintf)
{
    std::mt19937_64 rng(1996);
    std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
    std::uniform_int_distribution<int> exponent(-7, 9);
    std::uniform_int_distribution<int> whole(-400, 400);
    const char* names[] = {"T1", "", "DOLGO_IME_TOCKE_15", "\xC8" "EPNA"};
    for (int i = 0; i < 20000; ++i) {
        const double v = i < 8 ? std::vector<double>{0.0, -0.0, 0.0005, -0.0005, 2.5, -2.5, 1e15 + 0.5, -1e-300}[i]
                               : mantissa(rng) * std::pow(10.0, exponent(rng));
        const int d = whole(rng);
        const char* name = names[i % 4];
        ReportFile rf;
        rf.print("%-8s %12.3f %02d %08.5f %-5.2f %3d %5d %.4f %9.3f|%s|%d%%\n", name, v, d, v, v, d, d, v, v, name, d);
        char buf[512];
        std::snprintf(buf, sizeof buf, "%-8s %12.3f %02d %08.5f %-5.2f %3d %5d %.4f %9.3f|%s|%d%%\n", name, v, d, v, v,
                      d, d, v, v, name, d);
        ASSERT_EQ(rf.text(), buf) << v << " " << d;
    }
    // Conversions the formatter leaves to printf still come out as printf's.
    ReportFile rf;
    rf.print("%+d %e %x %5.2s\n", 5, 1.5, 255, "abc");
    EXPECT_EQ(rf.text(), "+5 1.500000e+00 ff    ab\n");
}

// A report opened for a file streams into the temporary file of the one-step
// writing: nothing appears before save(), and an abandoned report leaves the
// previous file and no temporary one.
TEST(Izpis, PorociloVDatotekoSprotiInVEnemKoraku)
{
    const auto pot = zacasna("tok.str");
    platform::writeFileAtomic(pot, "prej");
    {
        izpis::Izpis out(pot);
        for (int i = 0; i < 100000; ++i)
            out("%-8s %12.3f %12.3f\n", "T", 1.0 * i, 2.0 * i);
        EXPECT_EQ(beri(pot), "prej") << "not yet in place";
    }
    EXPECT_EQ(beri(pot), "prej") << "abandoned";
    for (const auto& e : std::filesystem::directory_iterator(pot.parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".tok.str.kolmo-"), std::string::npos);
    izpis::Izpis out(pot), vPomnilniku;
    for (int i = 0; i < 100000; ++i) {
        out("%-8s %12.3f %12.3f\n", "T", 1.0 * i, 2.0 * i);
        vPomnilniku("%-8s %12.3f %12.3f\n", "T", 1.0 * i, 2.0 * i);
    }
    out.shrani(pot);
    EXPECT_EQ(beri(pot), vPomnilniku.besedilo());
}

TEST(Izpis, BesediloVWindows1250InUporabniskiTekstNeOblikuje)
{
    izpis::Izpis out;
    out("čšžČŠŽ %s\n", "100%s %d");
    EXPECT_EQ(out.besedilo(), "\xE8\x9A\x9E\xC8\x8A\x8E 100%s %d\n");
}

TEST(Izpis, NeznanaVTockahDms)
{
    FiksenDatum datum;
    const PointSet vhi = tocke(1, {"P1"}, matrika({{nan, 14.5, 1}}));
    Rez rez;
    rez.koo = matrika({{1, 2, 3, nan}});
    const auto pot = zacasna("nan.str");
    izpis_etm(pot, vhi, rez, 1, 1);
    const std::string r = beri(pot);
    EXPECT_NE(r.find("P1       NaN NaN      NaN    14 30 00.00000      1.000\n"), std::string::npos);
    // NaN is not below 40: no outside mark.
    EXPECT_EQ(r.substr(r.size() - 14), "           NaN");
}

TEST(Glava, DatumIzUreInDanasnjiDatum)
{
    {
        FiksenDatum datum;
        izpis::Izpis out;
        izpis::glava(out);
        EXPECT_EQ(out.besedilo(), glava);
    }
    const auto d = izpis::danes();
    izpis::Izpis out;
    izpis::glava(out);
    char vrstica[40];
    std::snprintf(vrstica, sizeof vrstica, "\nDatum: %02d.%02d.%d\n", d.dan, d.mesec, d.leto);
    EXPECT_NE(out.besedilo().find(vrstica), std::string::npos);
    EXPECT_GE(d.leto, 2024);
}

TEST(ParoviVeznih, VrstniRedInPodvojenaImena)
{
    const auto pari = izpis::pariVeznih({"A", "B", "C"}, {"B", "A", "A"}, {"A", "X", "A", "B"});
    const std::vector<std::array<Eigen::Index, 3>> pricakovano = {
        {0, 1, 0}, {0, 1, 2}, {0, 2, 0}, {0, 2, 2}, {1, 0, 3}};
    ASSERT_EQ(pari.size(), pricakovano.size());
    for (std::size_t i = 0; i < pari.size(); ++i)
        EXPECT_EQ((std::array<Eigen::Index, 3>{pari[i].c, pari[i].j, pari[i].k}), pricakovano[i]) << i;
    // Case-sensitive, exact names.
    EXPECT_TRUE(izpis::pariVeznih({"a"}, {"A"}, {"A"}).empty());
    EXPECT_TRUE(izpis::pariVeznih({"A"}, {"A "}, {"A"}).empty());
}

TEST(Datoteka, NapakaPriPisanju)
{
    const PointSet vhi = tocke(2, {"P"}, matrika({{1, 2, 3}}));
    Rez rez;
    rez.koo = matrika({{46, 14, 1, 47}});
    EXPECT_THROW(izpis_etm(zacasna("ni") / "mapa" / "r.str", vhi, rez, 1, 1), FileError);
}

} // namespace
