// Plane transformation reports built from small hand-made inputs.
#include "reports/gradniki.h"
#include "reports/izpis2d_a.h"
#include "reports/izpis2d_b.h"
#include "reports/izpis2d_p.h"
#include "reports/pomoc.h"

#include <gtest/gtest.h>

using namespace kolmo;
using namespace kolmo::test;

namespace {

struct Primer2d {
    DataLabels data{"zac.pod", "kon.pod"};
    PointSet vhi = tocke(2, {"A1", "N3"}, matrika({{100000.123, 450000.456, 1, 1}, {100500, 450500, 0.5, 0.25}}));
    PointSet vhv = tocke(1, {"A1"}, matrika({{100487.1, 449629.2, 1, 1}}));
    Rez rez;
    TTr t_tr;
    Vec PAR = vektor({1.0000102, 0.0000255, 497.05689, -378.232018});
    Par2dResult est;
    Prik prik;

    Primer2d()
    {
        rez.koo = matrika({{100487.08, 449629.23}, {100987, 450129}});
        t_tr.helm = 1;
        est.vezne.ime = {"A1"};
        est.m0 = 0.019;
        est.iter = 2;
        prik.vx = vektor({0.02, 0.005});
        prik.vy = vektor({-0.03, 0.001});
        prik.pov = 149530000;
    }
    std::string p(int redXY = 1)
    {
        const auto pot = zacasna("p.str");
        izpis2d_p(pot, data, vhi, vhv, rez, static_cast<int>(PAR.size()), t_tr, PAR, est, prik, redXY);
        return beri(pot);
    }
};

const std::string tocke2d =
    "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D48/GK\n\ntocka           x            y          s_x      s_y\n"
    "A1        100000.123   450000.456      1.000    1.000\n"
    "N3        100500.000   450500.000      0.500    0.250\n"
    "\n\nKOORDINATE TOČK V KONČNEM DATUMU - D96/TM\n\ntocka           n            e          s_n      s_e\n"
    "A1        100487.100   449629.200      1.000    1.000\n"
    "\n\nVezne točke za izračun transformacijskih parametrov:\nA1       ";

const std::string parametri4 = "a        1.0000\nb        0.0000\nc      497.0569\nd     -378.2320\n";

TEST(Izpis2dP, CeloPorocilo)
{
    FiksenDatum datum;
    Primer2d pr;
    const std::string pricakovano =
        std::string(glava) + "Tip transformacije: 2D 4-parametrična podobnostna"
                             "\nHelmertova transformacija: DA"
                             "\n\nDatoteka s podatki v začetnem datumu: zac.pod\nDatoteka s podatki v končnem datumu: kon.pod\n" +
        tocke2d +
        "\n\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/TM\n\ntocka           n            e\n"
        "A1        100487.080   449629.230\n"
        "N3        100987.000   450129.000\n"
        "\n\nPRIMERJAVA DANIH IN TRANSFORMIRANIH KOORDINAT VEZNIH TOCK V KONČNEM DATUMU\n\n"
        "A1        100487.100   449629.200  dan\n"
        "          100487.080   449629.230  transf.\n"
        "               0.020       -0.030  dan - transf.\n\n"
        "\nTRANSFORMACIJSKI PARAMETRI\n\n" +
        parametri4 +
        "\n\nTRANSFORMIRANE KOORDINATE TOČK Z UPOŠTEVANJEM ODSTOPANJ"
        "\n\ntočka          v_n          n         v_e          e"
        "\nA1            0.020   100487.100    -0.030   449629.200"
        "\nN3            0.005   100987.005     0.001   450129.001"
        "\n\nSrednji stand. odklon:   0.019 m"
        "\nŠtevilo iteracij:   2"
        "\nŠtevilo veznih točk:   1"
        "\n\nPovršina oboda območja transformacije:  149.53 km2"
        "\n\nNajmanjše in največje vrednosti odstopanj (v cm):"
        "\nmin          2.0     -3.0"
        "\nmax          2.0     -3.0"
        "\n----------------------------"
        "\nsr.v.        2.0     -3.0"
        "\nsr.v.(abs)   2.0      3.0";
    EXPECT_EQ(pr.p(), cp(pricakovano));
}

TEST(Izpis2dP, SestParametrovInZamenjanRed)
{
    FiksenDatum datum;
    Primer2d pr;
    pr.PAR = vektor({1, -0.00002, -496.2098, 0.00003, 1, 378.9435});
    pr.vhv.tip = 2;
    const std::string r = pr.p(2);
    EXPECT_NE(r.find(cp("Tip transformacije: 2D 6-parametrična podobnostna")), std::string::npos);
    EXPECT_NE(r.find("d        0.0000\ne        1.0000\nf      378.9435\n"), std::string::npos);
    EXPECT_NE(r.find("b       -0.0000\n"), std::string::npos);
    EXPECT_NE(r.find(cp("TOČK - D48/GK\n\ntocka           y            x\nA1        449629.230   100487.080\n")),
              std::string::npos);
    // Comparison and corrected coordinates keep the stored order.
    EXPECT_NE(r.find("A1        100487.100   449629.200  dan\n"), std::string::npos);
    EXPECT_NE(r.find(cp("\n\ntočka          v_x          x         v_y          y"
                        "\nA1            0.020   100487.100    -0.030   449629.200")),
              std::string::npos);
    EXPECT_NE(r.find(cp("KONČNEM DATUMU - D48/GK\n\ntocka           x            y          s_x      s_y\n")),
              std::string::npos);
}

TEST(Izpis2dP, PodvojenaImenaVaricnikInVeznaBrezPara)
{
    FiksenDatum datum;
    Primer2d pr;
    pr.data.b.clear();
    // A1 twice among the start points, X9 without a pair before it.
    pr.vhi = tocke(2, {"A1", "A1"}, matrika({{1, 2, 1, 1}, {3, 4, 1, 1}}));
    pr.rez.koo = matrika({{100487.08, 449629.23}, {100487.05, 449629.26}});
    pr.est.vezne.ime = {"X9", "A1"};
    const std::string r = pr.p();
    EXPECT_NE(r.find("\n\nVhodna datoteka: zac.pod (Varnik)\n\n\nKOORDINATE"), std::string::npos);
    EXPECT_NE(r.find("          100487.080   449629.230  transf.\n               0.020       -0.030  dan - transf.\n\n"
                     "A1        100487.100   449629.200  dan\n"
                     "          100487.050   449629.260  transf.\n               0.050       -0.060  dan - transf.\n\n"),
              std::string::npos);
    // dx = {0, 0.05}, dy = {0, -0.06}: the last pair counts, the position without a pair is 0.
    EXPECT_NE(r.find("\nmin          0.0     -6.0\nmax          5.0      0.0"), std::string::npos);
    EXPECT_NE(r.find("\nsr.v.        2.5     -3.0\nsr.v.(abs)   2.5      3.0"), std::string::npos);
}

TEST(Izpis2dP, DolgoIme)
{
    FiksenDatum datum;
    Primer2d pr;
    pr.vhi.ime[1] = "TOCKA12345";
    const std::string r = pr.p();
    EXPECT_NE(r.find("TOCKA12345  100500.000   450500.000      0.500    0.250\n"), std::string::npos);
    EXPECT_NE(r.find("\nTOCKA12345      0.005   100987.005"), std::string::npos);
}

TEST(Izpis2dB, CeloPorocilo)
{
    FiksenDatum datum;
    Primer2d pr;
    pr.t_tr.helm = 2;
    const auto pot = zacasna("b.str");
    izpis2d_b(pot, pr.data, pr.vhi, pr.vhv, 4, pr.t_tr, pr.PAR, pr.est);
    const std::string pricakovano =
        std::string(glava) + "Tip transformacije: 2D 4-parametrična podobnostna"
                             "\nIzračun transformacijskih parametrov"
                             "\n\nHelmertova transformacija: NE"
                             "\n\nDatoteka s podatki v začetnem datumu: zac.pod\nDatoteka s podatki v končnem datumu: kon.pod\n" +
        tocke2d + "\n\n\nTRANSFORMACIJSKI PARAMETRI\n\n" + parametri4 +
        "\nSrednji stand. odklon:   0.019 m"
        "\nŠtevilo iteracij:   2"
        "\nŠtevilo veznih točk:   1";
    EXPECT_EQ(beri(pot), cp(pricakovano));
}

TEST(Izpis2dA, CeloPorociloPoCiljnemTipu)
{
    FiksenDatum datum;
    Primer2d pr;
    PointSet cilj;
    cilj.tip = 1; // only the target type is read
    const auto pot = zacasna("a.str");
    izpis2d_a(pot, {"zac.pod", "ignored"}, pr.vhi, cilj, pr.rez, 4, pr.PAR, 2);
    const std::string pricakovano =
        std::string(glava) + "Tip transformacije: 2D 4-parametrična podobnostna"
                             "\nIzračun transformiranih koordinat iz danih transformacijskih parametrov"
                             "\n\nDatoteka s podatki v začetnem datumu: zac.pod\n"
                             "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D48/GK\n\ntocka           x            y          s_x      s_y\n"
                             "A1        100000.123   450000.456      1.000    1.000\n"
                             "N3        100500.000   450500.000      0.500    0.250\n"
                             "\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/TM\n\ntocka           e            n\n"
                             "A1        449629.230   100487.080\n"
                             "N3        450129.000   100987.000\n"
                             "\n\nTRANSFORMACIJSKI PARAMETRI\n\n" +
        parametri4;
    EXPECT_EQ(beri(pot), cp(pricakovano));
    cilj.tip = 2;
    izpis2d_a(pot, {"zac.pod", ""}, pr.vhi, cilj, pr.rez, 4, pr.PAR, 1);
    EXPECT_NE(beri(pot).find(cp("TOČK - D48/GK\n\ntocka           x            y\nA1        100487.080")),
              std::string::npos);
}

} // namespace
