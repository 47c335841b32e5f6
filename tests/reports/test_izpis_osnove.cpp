// The report writer's formatting, header date, name matching and file errors.
#include "platform/errors.h"
#include "reports/gradniki.h"
#include "reports/izpis_etm.h"
#include "reports/izpis_glava.h"
#include "reports/izpis_skupno.h"
#include "reports/pomoc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

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
