// Spatial transformation reports built from small hand-made inputs.
#include "reports/gradniki.h"
#include "reports/izpis3d_a.h"
#include "reports/izpis3d_b.h"
#include "reports/izpis3d_p.h"
#include "platform/errors.h"
#include "reports/pomoc.h"

#include <gtest/gtest.h>

using namespace kolmo;
using namespace kolmo::test;

namespace {

// Two common points A1, B2 and a new point N3, D48/GK -> D96/TM.
struct Primer {
    DataLabels data{"zac.pod", "kon.pod"};
    PointSet vhi = tocke(3, {"A1", "B2", "N3"},
                         matrika({{100000.123, 450000.456, 300.5, 1, 1, 1},
                                  {101000, 451000, 310, 0.01, 0.02, 0.03},
                                  {100500, 450500, 305, 1, 1, 1}}));
    PointSet vhv = tocke(2, {"A1", "B2"},
                         matrika({{100487.1, 449629.2, 347.5, 1, 1, 1}, {101487, 450629, 357, 1, 1, 1}}));
    Rez rez;
    TTr t_tr;
    Vec PAR = vektor({483.4043, 132.679891, 409.455353, -4.6919, -0.5, 12.178224, 9.879328});
    Par3dResult est;
    Prik prik;

    Primer()
    {
        vhv.kk = matrika({{4290000.1, 1110000.2, 4570000.3}, {4291000, 1111000, 4569000}});
        vhv.gk = vhv.koo.leftCols(3);
        rez.tip = 2;
        rez.koo = matrika({{100487.08, 449629.23, 347.45, 47.1},
                           {101487.03, 450628.98, 357.01, 39.999},
                           {100987, 450129, 352, 40.0}});
        rez.gk = rez.koo;
        rez.kk = matrika({{4290000.09, 1110000.22, 4570000.25}, {4291000.01, 1110999.98, 4569000.02}, {0, 0, 0}});
        t_tr.vis = 1;
        t_tr.helm = 1;
        t_tr.geoid = 1;
        est.m0 = {0.02, 0.026};
        est.iter = 2;
        est.vezne.ime = {"A1", "B2"};
        est.Zyt = matrika({{0.0004, 0, 0}, {0, 0.0009, 0}, {0, 0, 0.0016}, {0.0001, 0, 0}, {0, 0.0001, 0}, {0, 0, 0.0001}});
        est.v_st = vektor({0.5, 1, 1.5, 3.5, 0.1, 0.1});
        est.tau = vektor({0.1, 0.2, 0.3, 0.4, 0.5, 0.6});
        prik.vx = vektor({0.02, -0.03, 0.005});
        prik.vy = vektor({-0.03, 0.02, 0.001});
        prik.pov = 123456789;
    }

    std::string p(int redXY = 1)
    {
        const auto pot = zacasna("p.str");
        izpis3d_p(pot, data, vhi, vhv, rez, t_tr, PAR, est, prik, redXY);
        return beri(pot);
    }
};

const std::string vhodneTocke =
    "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D48/GK"
    "\n\ntočka           x            y            H         s_x      s_y      s_H\n"
    "A1         100000.123   450000.456     300.500     1.000    1.000    1.000\n"
    "B2         101000.000   451000.000     310.000     0.010    0.020    0.030\n"
    "N3         100500.000   450500.000     305.000     1.000    1.000    1.000\n"
    "\n\nKOORDINATE TOČK V KONČNEM DATUMU - D96/TM"
    "\n\ntočka           n            e            H         s_n      s_e      s_H\n"
    "A1         100487.100   449629.200     347.500     1.000    1.000    1.000\n"
    "B2         101487.000   450629.000     357.000     1.000    1.000    1.000\n"
    "\n\nVezne točke za izračun transformacijskih parametrov:\nA1       B2       ";

const std::string parametri =
    "deltaX         483.404300 m\n"
    "deltaY         132.679891 m\n"
    "deltaZ         409.455353 m\n"
    "alfa     - 0 00 04.691900 \"\n"
    "beta     - 0 00 00.500000 \"\n"
    "gama       0 00 12.178224 \"\n"
    "merilo           9.879328 ppm\n";

const std::string natancnost =
    "\nSrednji stand. odklon (matrični racun):   0.020 m"
    "\nSrednji stand. odklon (iz odstopanj):     0.026 m"
    "\nŠtevilo iteracij:   2"
    "\nŠtevilo veznih točk:   2"
    "\nŠtevilo nadštevilčnosti:  -1\n";

TEST(Izpis3dP, CeloPorocilo)
{
    FiksenDatum datum;
    Primer pr;
    const std::string pricakovano =
        std::string(glava) +
        "Tip transformacije: 3R 7-parametrična podobnostna"
        "\nVišine veznih točk v izračunu transf.par.: Reducirane na 0: h=0, H=0\nVišine transformiranih točk: H = h - N"
        "\nHelmertova transformacija: DA"
        "\nVišinski model: SVS2010 (Koper)"
        "\n\nDatoteka s podatki v začetnem datumu: zac.pod\nDatoteka s podatki v končnem datumu: kon.pod\n" +
        vhodneTocke +
        "\n\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/TM"
        "\n\ntočka           n            e             H          N(int.)"
        "\nA1         100487.080   449629.230      347.450       47.100"
        "\nB2         101487.030   450628.980      357.010       39.999 * zunaj SLO"
        "\nN3         100987.000   450129.000      352.000       40.000"
        "\n\n\nPRIMERJAVA DANIH IN TRANSFORMIRANIH KOORDINAT VEZNIH TOČK V 3R PRAVOKOTNEM KOORDINATNEM SISTEMU\n\n"
        "točka            X            Y            Z\n"
        "A1        4290000.100  1110000.200  4570000.300  dan\n"
        "          4290000.090  1110000.220  4570000.250  transf.\n"
        "                0.010       -0.020        0.050  dan - transf.\n"
        "                0.020        0.030        0.040  std.dev.transf.k.\n"
        "                0.500        1.000        1.500  std.popr.\n"
        "                0.100        0.200        0.300  tau test\n\n"
        "--------------- grobi pogresek ----------------\n"
        "B2        4291000.000  1111000.000  4569000.000  dan\n"
        "          4291000.010  1110999.980  4569000.020  transf.\n"
        "               -0.010        0.020       -0.020  dan - transf.\n"
        "                0.010        0.010        0.010  std.dev.transf.k.\n"
        "                3.500        0.100        0.100  std.popr.\n"
        "                0.400        0.500        0.600  tau test\n\n"
        "\nPRIMERJAVA DANIH IN TRANSFORMIRANIH KOORDINAT VEZNIH TOČK V PROJ. RAVNINI KONČNEGA DATUMA"
        "\n\ntočka           n            e             H\n"
        "A1         100487.100   449629.200      347.500  dan\n"
        "           100487.080   449629.230      347.450  transf.\n"
        "                0.020       -0.030        0.050  dan - transf.\n\n"
        "B2         101487.000   450629.000      357.000  dan\n"
        "           101487.030   450628.980      357.010  transf.\n"
        "               -0.030        0.020       -0.010  dan - transf.\n\n"
        "\nTRANSFORMIRANE KOORDINATE TOCK Z UPOŠTEVANJEM ODSTOPANJ V RAVNINI PROJEKCIJE"
        "\n\ntočka          v_n          n         v_e          e            H"
        "\nA1            0.020   100487.100    -0.030   449629.200      347.450"
        "\nB2           -0.030   101487.000     0.020   450629.000      357.010"
        "\nN3            0.005   100987.005     0.001   450129.001      352.000"
        "\n\n"
        "\nTRANSFORMACIJSKI PARAMETRI\n\n" +
        parametri + natancnost +
        "\nPovršina oboda območja transformacije:  123.46 km2"
        "\n\nNajmanjše in največje vrednosti odstopanj (v cm):"
        "\nmin         -3.0     -3.0     -1.0"
        "\nmax          2.0      2.0      5.0"
        "\n----------------------------------"
        "\nsr.v.       -0.5     -0.5      2.0"
        "\nsr.v.(abs)   2.5      2.5      3.0";
    const std::string dobljeno = pr.p();
    EXPECT_EQ(dobljeno, cp(pricakovano));
    // Windows-1250 single bytes, bare line feeds, no final line feed.
    EXPECT_NE(dobljeno.find("to\xE8ka"), std::string::npos);
    EXPECT_EQ(dobljeno.find('\r'), std::string::npos);
    EXPECT_NE(dobljeno.back(), '\n');
}

TEST(Izpis3dP, GrobiPogresekPoPravilih)
{
    FiksenDatum datum;
    Primer pr;
    const std::string grob = cp("--------------- grobi pogresek ----------------\n");
    // v_st 3.5 with tau below 1 is marked; the other point is not.
    std::string r = pr.p();
    EXPECT_NE(r.find(grob + "B2 "), std::string::npos);
    EXPECT_EQ(r.find(grob + "A1 "), std::string::npos);
    // All v_st at most 3.29 and tau at most 1: no mark at all.
    pr.est.v_st = vektor({0.5, 1, 1.5, 3.29, 0.1, 0.1});
    pr.est.tau = vektor({0.1, 0.2, 0.3, 1.0, 0.5, 0.6});
    EXPECT_EQ(pr.p().find(grob), std::string::npos);
    // tau above 1 alone marks the point.
    pr.est.tau = vektor({0.1, 1.01, 0.3, 0.4, 0.5, 0.6});
    r = pr.p();
    EXPECT_NE(r.find(grob + "A1 "), std::string::npos);
    EXPECT_EQ(r.find(grob + "B2 "), std::string::npos);
}

TEST(Izpis3dP, KotiInPovrsina)
{
    FiksenDatum datum;
    Primer pr;
    pr.PAR(3) = 0.5;
    pr.PAR(4) = -3600 * 1.5 - 61.25; // 1° 31' 01.25"
    pr.prik.pov = 999;
    const std::string r = pr.p();
    EXPECT_NE(r.find("alfa       0 00 00.500000 \"\nbeta     - 1 31 01.250000 \"\n"), std::string::npos);
    EXPECT_NE(r.find(cp("transformacije:  0.00  km2")), std::string::npos);
}

TEST(Izpis3dP, RedXYZamenjaSamoTransformiraneTocke)
{
    FiksenDatum datum;
    Primer pr;
    const std::string r = pr.p(2);
    EXPECT_NE(r.find(cp("\n\ntočka           e            n             H          N(int.)")), std::string::npos);
    EXPECT_NE(r.find("\nA1         449629.230   100487.080      347.450       47.100"), std::string::npos);
    // The comparison and the corrected coordinates keep the stored order.
    EXPECT_NE(r.find("A1         100487.100   449629.200      347.500  dan\n"), std::string::npos);
    EXPECT_NE(r.find("\nA1            0.020   100487.100    -0.030   449629.200      347.450"), std::string::npos);
    // Other plane output: x/y labels.
    pr.rez.tip = 3;
    const std::string g = pr.p(2);
    EXPECT_NE(g.find(cp("TOČK - D48/GK\n\ntočka           y            x             H")), std::string::npos);
    EXPECT_NE(g.find(cp("\n\ntočka          v_x          x         v_y          y            H")), std::string::npos);
    EXPECT_NE(g.find(cp("KONČNEGA DATUMA\n\ntočka           x            y             H\n")), std::string::npos);
}

TEST(Izpis3dP, VisineBrezGeoidaInMeja40m)
{
    FiksenDatum datum;
    Primer pr;
    for (int vis : {3, 4}) {
        pr.t_tr.vis = vis;
        const std::string r = pr.p();
        EXPECT_EQ(r.find("N(int.)"), std::string::npos);
        EXPECT_EQ(r.find("zunaj SLO"), std::string::npos);
        EXPECT_NE(r.find("\nB2         101487.030   450628.980      357.010\n"), std::string::npos);
    }
    EXPECT_NE(pr.p().find(cp("Višine transformiranih točk: Identične točkam v začetnem datumu\n")), std::string::npos);
    pr.t_tr.vis = 3;
    EXPECT_NE(pr.p().find(cp("Upoštevane: h, H\nVišine transformiranih točk: Določene s transformacijo\n")),
              std::string::npos);
    pr.t_tr.vis = 2;
    const std::string r = pr.p();
    EXPECT_NE(r.find(cp("Upoštevane: h, H\nVišine transformiranih točk: H = h - N\n")), std::string::npos);
    // 39.999 is marked, 40.000 is not (and a later row keeps its own line).
    EXPECT_NE(r.find("39.999 * zunaj SLO\nN3"), std::string::npos);
    EXPECT_NE(r.find("       40.000\n\n\nPRIMERJAVA"), std::string::npos);
}

TEST(Izpis3dP, ElipsoidniKoncniDatum)
{
    FiksenDatum datum;
    Primer pr;
    // End points D96/fi_la, output D96/fi_la with N from the plane record.
    pr.vhv.tip = 1;
    pr.vhv.koo = matrika({{46.5, 14.25, 347.5, 1, 1, 1}, {45.25, 15.0 + 0.5 / 3600, 357, 1, 1, 1}});
    pr.rez.tip = 1;
    pr.rez.koo = matrika({{46.5, 14.25, 347.45}, {46.1, 14.2, 357.01}, {46.2, 14.3, 352}});
    pr.t_tr.vis = 2;
    std::string r = pr.p();
    EXPECT_NE(r.find("A1        46 30 00.00000    14 15 00.00000    347.500    1.000    1.000    1.000\n"),
              std::string::npos);
    EXPECT_NE(r.find("B2        45 15 00.00000    15 00 00.50000    357.000"), std::string::npos);
    EXPECT_NE(r.find(cp("\n\ntočka           fi                la             h          N(int.)\nA1        46 30 "
                        "00.00000    14 15 00.00000    347.4500       47.100\n")),
              std::string::npos);
    EXPECT_NE(r.find("357.0100       39.999 * zunaj SLO\n"), std::string::npos);
    // Two-column comparison, no corrected coordinates, two-column statistics.
    EXPECT_NE(r.find(cp("KONČNEGA DATUMA\n\ntočka           x            y\n"
                        "A1         100487.100   449629.200  dan\n"
                        "           100487.080   449629.230  transf.\n"
                        "                0.020       -0.030  dan - transf.\n\n")),
              std::string::npos);
    EXPECT_EQ(r.find("ODSTOPANJ V RAVNINI"), std::string::npos);
    EXPECT_NE(r.find(cp("dan - transf.\n\n\nTRANSFORMACIJSKI PARAMETRI")), std::string::npos);
    const std::string konec = "\nmin         -3.0     -3.0"
                              "\nmax          2.0      2.0"
                              "\n-------------------------"
                              "\nsr.v.       -0.5     -0.5"
                              "\nsr.v.(abs)   2.5      2.5";
    EXPECT_EQ(r.substr(r.size() - konec.size()), konec);
    // Without a fourth plane column no geoid height is written.
    pr.rez.gk = pr.rez.gk.leftCols(3).eval();
    r = pr.p();
    EXPECT_NE(r.find("    347.4500\nB2"), std::string::npos);
}

TEST(Izpis3dP, VarnikDolgaImenaInSistemTrst)
{
    FiksenDatum datum;
    Primer pr;
    pr.data = {"projekt.in", ""};
    pr.t_tr.geoid = 2;
    pr.t_tr.helm = 0;
    pr.vhi.ime[2] = "DOLGOIME123";
    const std::string r = pr.p();
    EXPECT_NE(r.find(cp("\nHelmertova transformacija: NE\nVišinski model: SVS2000 (Trst)\n\nVhodna datoteka: "
                        "projekt.in (Varnik)\n\n\nKOORDINATE")),
              std::string::npos);
    EXPECT_EQ(r.find("Datoteka s podatki"), std::string::npos);
    EXPECT_NE(r.find("DOLGOIME123   100500.000   450500.000"), std::string::npos);
    EXPECT_NE(r.find("\nDOLGOIME123   100987.000"), std::string::npos);
}

TEST(Izpis3dP, PodvojenaImenaInVeznaBrezPara)
{
    FiksenDatum datum;
    Primer pr;
    // A1 twice among the end points: two entries, the statistics take the last pair.
    pr.vhv.ime = {"A1", "A1"};
    pr.vhv.kk.row(1) = pr.vhv.kk.row(0);
    pr.vhv.gk.row(1) = pr.vhv.gk.row(0);
    pr.vhv.gk(1, 0) = 100487.18; // dx of the second pair: 0.10
    pr.est.vezne.ime = {"X9", "A1"};
    const std::string r = pr.p();
    std::size_t n = 0;
    for (std::size_t p = r.find("  dan\n"); p != std::string::npos; p = r.find("  dan\n", p + 1))
        ++n;
    EXPECT_EQ(n, 4u); // 2 pairs, in both comparisons
    EXPECT_EQ(r.find("X9 "), r.find("X9       ")); // only in the list of common points
    // The pairs use the blocks of position 2 (A1): std.dev 0.01.
    EXPECT_NE(r.find("                0.010        0.010        0.010  std.dev.transf.k.\n"), std::string::npos);
    EXPECT_NE(r.find("                0.100       -0.030        0.050  dan - transf.\n\n"), std::string::npos);
    // dx = {0 (X9 without a pair), 0.10}.
    EXPECT_NE(r.find("\nmin          0.0     -3.0      0.0\nmax         10.0      0.0      5.0"), std::string::npos);
}

TEST(Izpis3dP, BrezParovStatistikaNeSesuje)
{
    FiksenDatum datum;
    Primer pr;
    pr.est.vezne.ime = {"X9"};
    pr.est.Zyt = Mat::Zero(3, 3);
    pr.est.v_st = Vec::Zero(3);
    pr.est.tau = Vec::Zero(3);
    const std::string r = pr.p();
    EXPECT_NE(r.find("\nmin          NaN      NaN      NaN\nmax          NaN      NaN      NaN"), std::string::npos);
    EXPECT_NE(r.find("\nsr.v.(abs)   NaN      NaN      NaN"), std::string::npos);
}

TEST(Izpis3dP, NeskladniVhodiSoNapaka)
{
    Primer pr;
    pr.est.v_st = Vec::Zero(3); // B2 has no test values
    const auto pot = zacasna("n.str");
    EXPECT_THROW(izpis3d_p(pot, pr.data, pr.vhi, pr.vhv, pr.rez, pr.t_tr, pr.PAR, pr.est, pr.prik, 1), Error);
    EXPECT_FALSE(std::filesystem::exists(pot));
    Primer pr2;
    pr2.prik.vx = Vec::Zero(2);
    EXPECT_THROW(izpis3d_p(pot, pr2.data, pr2.vhi, pr2.vhv, pr2.rez, pr2.t_tr, pr2.PAR, pr2.est, pr2.prik, 1), Error);
}

TEST(Izpis3dB, CeloPorocilo)
{
    FiksenDatum datum;
    Primer pr;
    pr.t_tr.vis = 2;
    pr.t_tr.helm = 2;
    const auto pot = zacasna("b.str");
    izpis3d_b(pot, pr.data, pr.vhi, pr.vhv, pr.t_tr, pr.PAR, pr.est);
    const std::string pricakovano =
        std::string(glava) +
        "Tip transformacije: 3R 7-parametrična podobnostna"
        "\nIzračun transformacijskih parametrov"
        "\n\nVišine veznih točk v izračunu transf.par.: Upoštevane: h, H"
        "\nHelmertova transformacija: NE"
        "\nVišinski model: SVS2010 (Koper)"
        "\n\nDatoteka s podatki v zacetnem datumu: zac.pod\nDatoteka s podatki v koncnem datumu: kon.pod\n" +
        vhodneTocke + "\n\n\nTRANSFORMACIJSKI PARAMETRI\n\n" + parametri + natancnost;
    EXPECT_EQ(beri(pot), cp(pricakovano));

    pr.data.b.clear();
    pr.t_tr.vis = 1;
    izpis3d_b(pot, pr.data, pr.vhi, pr.vhv, pr.t_tr, pr.PAR, pr.est);
    EXPECT_NE(beri(pot).find(cp("transf.par.: Reducirane na 0: h=0, H=0\n")), std::string::npos);
    EXPECT_NE(beri(pot).find("\n\nVhodna datoteka: zac.pod (Varnik)\n\n\nKOORDINATE"), std::string::npos);
}

TEST(Izpis3dA, CeloPorociloZElipsoidnimiVhodi)
{
    FiksenDatum datum;
    Primer pr;
    pr.vhi = tocke(1, {"P1"}, matrika({{46.0 + 5.0 / 60 + 3.2 / 3600, 14.5, 300.25}}));
    pr.rez.koo = matrika({{100487.08, 449629.23, 347.45, 47.1}});
    pr.t_tr.vis = 1;
    const auto pot = zacasna("a.str");
    izpis3d_a(pot, {"fila.pod", ""}, pr.vhi, pr.rez, pr.t_tr, pr.PAR, 2);
    const std::string pricakovano =
        std::string(glava) +
        "Tip transformacije: 3R 7-parametrična podobnostna"
        "\nIzračun transformiranih koordinat iz danih transformacijskih parametrov"
        "\n\nVišine transformiranih točk: H = h - N"
        "\nVišinski model: SVS2010 (Koper)"
        "\n\nDatoteka s podatki v začetnem datumu: fila.pod\n"
        "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D96/fi_la"
        "\n\ntočka           fi                la             h\n"
        "P1        46 05 03.20000    14 30 00.00000    300.250\n"
        "\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/TM"
        "\n\ntočka           e            n             H          N(int.)"
        "\nP1         449629.230   100487.080      347.450       47.100"
        "\n\n\nTRANSFORMACIJSKI PARAMETRI\n\n" +
        parametri;
    EXPECT_EQ(beri(pot), cp(pricakovano));
    EXPECT_EQ(beri(pot).back(), '\n');
}

} // namespace
