// Whole reports against the expected reports of the example computations:
// the inputs are read back from the expected report itself (tables, common
// points, parameters, accuracy figures), the writer is run on them and its
// output must match the expected report line by line.
#include "reports/izpis2d_a.h"
#include "reports/izpis2d_b.h"
#include "reports/izpis2d_p.h"
#include "reports/izpis3d_a.h"
#include "reports/izpis3d_b.h"
#include "reports/izpis3d_p.h"
#include "reports/izpis_etm.h"
#include "reports/izpis_tme.h"
#include "reports/pomoc.h"
#include "support/paths.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

using namespace kolmo;
using namespace kolmo::test;

namespace {

struct Porocilo {
    std::string bajti;              // as stored (Windows-1250)
    std::vector<std::string> v;     // lines in UTF-8

    explicit Porocilo(const std::string& ime)
        : bajti(beri(examplesDir() / "expected" / ime)), v(vrstice(platform::fromCp1250(bajti)))
    {
    }
    std::size_t najdi(const std::string& zacetek, std::size_t od = 0) const
    {
        for (std::size_t i = od; i < v.size(); ++i)
            if (v[i].rfind(zacetek, 0) == 0)
                return i;
        ADD_FAILURE() << "no line begins with " << zacetek;
        return v.size();
    }
    bool ima(const std::string& zacetek) const
    {
        for (const auto& l : v)
            if (l.rfind(zacetek, 0) == 0)
                return true;
        return false;
    }
    std::string po(const std::string& zacetek) const { return v[najdi(zacetek)].substr(zacetek.size()); }
};

std::vector<std::string> besede(const std::string& s)
{
    std::istringstream in(s);
    std::vector<std::string> w;
    for (std::string x; in >> x;)
        w.push_back(x);
    return w;
}

double stevilo(const std::string& s) { return std::stod(s); }

struct Vrstica {
    std::string ime;
    std::vector<double> x;
};

// Rows from line `od` to the next empty line.
std::vector<Vrstica> vrsticeTabele(const Porocilo& p, std::size_t od)
{
    std::vector<Vrstica> r;
    for (std::size_t i = od; i < p.v.size() && !p.v[i].empty(); ++i) {
        auto w = besede(p.v[i]);
        Vrstica vr{w[0], {}};
        for (std::size_t k = 1; k < w.size(); ++k) {
            char* konec = nullptr;
            const double x = std::strtod(w[k].c_str(), &konec);
            if (*konec != '\0')
                break; // "dan", "* zunaj SLO" and the like
            vr.x.push_back(x);
        }
        r.push_back(vr);
    }
    return r;
}

int tip3d(const std::string& oznaka) { return oznaka == "D96/fi_la" ? 1 : oznaka == "D96/TM" ? 2 : 3; }

double izDms(double d, double m, double s) { return d + m / 60.0 + s / 3600.0; }

// A spatial point table: title line `naslov`, rows two lines below.
PointSet tabela3d(const Porocilo& p, const std::string& naslov)
{
    PointSet ps;
    ps.tip = tip3d(p.po(naslov));
    const auto rows = vrsticeTabele(p, p.najdi(naslov) + 3);
    const std::size_t n = rows.size();
    const std::size_t sirina = ps.tip == 1 ? rows[0].x.size() - 4 : rows[0].x.size();
    ps.koo = Mat::Zero(static_cast<Eigen::Index>(n), static_cast<Eigen::Index>(sirina));
    for (std::size_t i = 0; i < n; ++i) {
        ps.ime.push_back(rows[i].ime);
        const auto& x = rows[i].x;
        const auto r = static_cast<Eigen::Index>(i);
        if (ps.tip == 1) {
            ps.koo(r, 0) = izDms(x[0], x[1], x[2]);
            ps.koo(r, 1) = izDms(x[3], x[4], x[5]);
            for (std::size_t c = 6; c < x.size(); ++c)
                ps.koo(r, static_cast<Eigen::Index>(c - 4)) = x[c];
        } else {
            for (std::size_t c = 0; c < x.size(); ++c)
                ps.koo(r, static_cast<Eigen::Index>(c)) = x[c];
        }
    }
    return ps;
}

Eigen::Index vrsta(const Names& imena, const std::string& ime)
{
    for (std::size_t i = 0; i < imena.size(); ++i)
        if (imena[i] == ime)
            return static_cast<Eigen::Index>(i);
    ADD_FAILURE() << "no point " << ime;
    return 0;
}

Vec parametri3d(const Porocilo& p)
{
    Vec PAR(7);
    PAR(0) = stevilo(besede(p.po("deltaX"))[0]);
    PAR(1) = stevilo(besede(p.po("deltaY"))[0]);
    PAR(2) = stevilo(besede(p.po("deltaZ"))[0]);
    const char* koti[] = {"alfa     ", "beta     ", "gama     "};
    for (int i = 0; i < 3; ++i) {
        const std::string s = p.po(koti[i]);
        const auto w = besede(s.substr(1));
        const double sek = stevilo(w[0]) * 3600 + stevilo(w[1]) * 60 + stevilo(w[2]);
        PAR(3 + i) = s[0] == '-' ? -sek : sek;
    }
    PAR(6) = stevilo(besede(p.po("merilo"))[0]);
    return PAR;
}

TTr nastavitve3d(const Porocilo& p)
{
    TTr t;
    const std::string visT = p.ima("Višine transformiranih točk: ") ? p.po("Višine transformiranih točk: ") : "";
    const bool reducirane = p.ima("Višine veznih točk v izračunu transf.par.: Reducirane");
    if (visT == "H = h - N")
        t.vis = reducirane ? 1 : 2;
    else if (visT == "Določene s transformacijo")
        t.vis = 3;
    else if (visT.empty())
        t.vis = reducirane ? 1 : 2;
    else
        t.vis = 4;
    t.helm = p.ima("Helmertova transformacija: DA") ? 1 : 2;
    t.geoid = p.ima("Višinski model: SVS2010") ? 1 : 2;
    return t;
}

DataLabels datoteke(const Porocilo& p, const char* zac, const char* kon)
{
    DataLabels d;
    if (p.ima("Vhodna datoteka: ")) {
        d.a = p.po("Vhodna datoteka: ");
        d.a.resize(d.a.size() - std::string(" (Varnik)").size());
    } else {
        d.a = p.po(zac);
        if (p.ima(kon))
            d.b = p.po(kon);
    }
    d.a = cp(d.a);
    d.b = cp(d.b);
    return d;
}

// Transformed points of a spatial report: rez.koo (with N in column 4 when
// the report has it) and the column order.
void transformirane3d(const Porocilo& p, const char* naslov, Rez& rez, int& redXY)
{
    const std::size_t t = p.najdi(naslov);
    rez.tip = tip3d(p.v[t].substr(std::string(naslov).size()));
    const auto glava = besede(p.v[t + 2]);
    redXY = (glava[1] == "e" || glava[1] == "y") ? 2 : 1;
    const auto rows = vrsticeTabele(p, t + 3);
    const bool zN = glava.back() == "N(int.)";
    rez.koo = Mat::Zero(static_cast<Eigen::Index>(rows.size()), 3 + (zN && rez.tip != 1 ? 1 : 0));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& x = rows[i].x;
        const auto r = static_cast<Eigen::Index>(i);
        if (rez.tip == 1) {
            rez.koo(r, 0) = izDms(x[0], x[1], x[2]);
            rez.koo(r, 1) = izDms(x[3], x[4], x[5]);
            rez.koo(r, 2) = x[6];
        } else {
            rez.koo(r, 0) = redXY == 1 ? x[0] : x[1];
            rez.koo(r, 1) = redXY == 1 ? x[1] : x[0];
            for (std::size_t c = 2; c < x.size(); ++c)
                rez.koo(r, static_cast<Eigen::Index>(c)) = x[c];
        }
    }
}

void preveriPorocilo(const std::filesystem::path& pot, const Porocilo& p)
{
    primerjajPriblizno(beri(pot), p.bajti);
}

class Primeri3d : public ::testing::TestWithParam<const char*> {};

TEST_P(Primeri3d, PolnoPorociloSeUjema)
{
    FiksenDatum datum;
    const Porocilo p(GetParam());
    const DataLabels data = datoteke(p, "Datoteka s podatki v začetnem datumu: ", "Datoteka s podatki v končnem datumu: ");
    const TTr t_tr = nastavitve3d(p);
    PointSet vhi = tabela3d(p, "KOORDINATE TOČK V ZAČETNEM DATUMU - ");
    PointSet vhv = tabela3d(p, "KOORDINATE TOČK V KONČNEM DATUMU - ");
    Par3dResult est;
    est.vezne.ime = besede(p.v[p.najdi("Vezne točke za izračun") + 1]);
    const auto n = static_cast<Eigen::Index>(est.vezne.ime.size());
    Rez rez;
    int redXY = 1;
    transformirane3d(p, "TRANSFORMIRANE KOORDINATE TOČK - ", rez, redXY);
    const Eigen::Index m = rez.koo.rows();

    // 3R comparison: Cartesian coordinates, accuracy and the test values.
    vhv.kk = Mat::Zero(vhv.koo.rows(), 3);
    rez.kk = Mat::Zero(m, 3);
    est.Zyt = Mat::Zero(3 * n, 3);
    est.v_st = Vec::Zero(3 * n);
    est.tau = Vec::Zero(3 * n);
    std::size_t i = p.najdi("točka            X") + 1;
    for (Eigen::Index c = 0; c < n; ++c) {
        if (p.v[i].rfind("---------------", 0) == 0)
            ++i;
        auto dan = vrsticeTabele(p, i);
        const Eigen::Index j = vrsta(vhv.ime, dan[0].ime), k = vrsta(vhi.ime, dan[0].ime);
        auto vr = [&](std::size_t l) {
            auto w = besede(p.v[i + l]);
            return std::array<double, 3>{stevilo(w[0]), stevilo(w[1]), stevilo(w[2])};
        };
        for (int e = 0; e < 3; ++e) {
            vhv.kk(j, e) = dan[0].x[static_cast<std::size_t>(e)];
            rez.kk(k, e) = vr(1)[static_cast<std::size_t>(e)];
            est.Zyt(3 * c + e, e) = vr(3)[static_cast<std::size_t>(e)] * vr(3)[static_cast<std::size_t>(e)];
            est.v_st(3 * c + e) = vr(4)[static_cast<std::size_t>(e)];
            est.tau(3 * c + e) = vr(5)[static_cast<std::size_t>(e)];
        }
        i += 7;
    }

    // Plane comparison.
    const bool zH = vhv.tip > 1;
    vhv.gk = Mat::Zero(vhv.koo.rows(), 3);
    rez.gk = Mat::Zero(m, 4);
    if (rez.tip > 1)
        rez.gk.leftCols(rez.koo.cols()) = rez.koo;
    i = p.najdi("PRIMERJAVA DANIH IN TRANSFORMIRANIH KOORDINAT VEZNIH TOČK V PROJ.") + 3;
    for (Eigen::Index c = 0; c < n; ++c) {
        auto w = besede(p.v[i]);
        auto w2 = besede(p.v[i + 1]);
        const Eigen::Index j = vrsta(vhv.ime, w[0]), k = vrsta(vhi.ime, w[0]);
        for (int e = 0; e < (zH ? 3 : 2); ++e) {
            vhv.gk(j, e) = stevilo(w[static_cast<std::size_t>(e) + 1]);
            rez.gk(k, e) = stevilo(w2[static_cast<std::size_t>(e)]);
        }
        i += 4;
    }

    Prik prik;
    prik.vx = Vec::Zero(m);
    prik.vy = Vec::Zero(m);
    if (rez.tip > 1) {
        const auto rows = vrsticeTabele(p, p.najdi("TRANSFORMIRANE KOORDINATE TOCK Z UPOŠTEVANJEM") + 3);
        for (Eigen::Index r = 0; r < m; ++r) {
            prik.vx(r) = rows[static_cast<std::size_t>(r)].x[0];
            prik.vy(r) = rows[static_cast<std::size_t>(r)].x[2];
        }
    }
    prik.pov = stevilo(besede(p.po("Površina oboda območja transformacije:"))[0]) * 1e6;
    est.m0[0] = stevilo(besede(p.po("Srednji stand. odklon (matrični racun):"))[0]);
    est.m0[1] = stevilo(besede(p.po("Srednji stand. odklon (iz odstopanj):"))[0]);
    est.iter = std::stoi(p.po("Število iteracij:"));
    for (auto& s : vhi.ime)
        s = cp(s);
    for (auto& s : vhv.ime)
        s = cp(s);

    const auto pot = zacasna("r.str");
    izpis3d_p(pot, data, vhi, vhv, rez, t_tr, parametri3d(p), est, prik, redXY);
    preveriPorocilo(pot, p);
}

INSTANTIATE_TEST_SUITE_P(Izpis3dP, Primeri3d,
                         ::testing::Values("local-3r7-gk-tm-full.str", "local-3r7-gk-tm-sd-full.str",
                                           "local-3r7-gk-fila-full-yx.str", "local-3r7-fila-gk-full.str",
                                           "local-3r7-dms-gk-full-v3.str", "local-3r7-fila-gk-full-v2-svs2000.str",
                                           "local-varnik-3r7-full.str", "country-3r7-fila-gk-full.str"));

TEST(Primeri3dB, SamoParametri)
{
    FiksenDatum datum;
    const Porocilo p("local-3r7-gk-tm-sd-params.str");
    const DataLabels data = datoteke(p, "Datoteka s podatki v zacetnem datumu: ", "Datoteka s podatki v koncnem datumu: ");
    TTr t_tr = nastavitve3d(p);
    const PointSet vhi = tabela3d(p, "KOORDINATE TOČK V ZAČETNEM DATUMU - ");
    const PointSet vhv = tabela3d(p, "KOORDINATE TOČK V KONČNEM DATUMU - ");
    Par3dResult est;
    est.vezne.ime = besede(p.v[p.najdi("Vezne točke za izračun") + 1]);
    est.m0[0] = stevilo(besede(p.po("Srednji stand. odklon (matrični racun):"))[0]);
    est.m0[1] = stevilo(besede(p.po("Srednji stand. odklon (iz odstopanj):"))[0]);
    est.iter = std::stoi(p.po("Število iteracij:"));
    const auto pot = zacasna("r.str");
    izpis3d_b(pot, data, vhi, vhv, t_tr, parametri3d(p), est);
    preveriPorocilo(pot, p);
}

TEST(Primeri3dA, DaniParametri)
{
    FiksenDatum datum;
    for (const char* ime : {"local-3r7-gk-tm-coords.str", "country-3r7-gk-tm-coords.str"}) {
        SCOPED_TRACE(ime);
        const Porocilo p(ime);
        TTr t_tr = nastavitve3d(p);
        const PointSet vhi = tabela3d(p, "KOORDINATE TOČK V ZAČETNEM DATUMU - ");
        Rez rez;
        int redXY = 1;
        transformirane3d(p, "TRANSFORMIRANE KOORDINATE TOČK - ", rez, redXY);
        DataLabels data{p.po("Datoteka s podatki v začetnem datumu: "), ""};
        const auto pot = zacasna("r.str");
        izpis3d_a(pot, data, vhi, rez, t_tr, parametri3d(p), redXY);
        preveriPorocilo(pot, p);
    }
}

// Plane reports.
PointSet tabela2d(const Porocilo& p, const std::string& naslov)
{
    PointSet ps;
    ps.tip = p.po(naslov) == "D96/TM" ? 1 : 2;
    const auto rows = vrsticeTabele(p, p.najdi(naslov) + 3);
    ps.koo = Mat::Zero(static_cast<Eigen::Index>(rows.size()), 4);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ps.ime.push_back(rows[i].ime);
        for (std::size_t c = 0; c < 4; ++c)
            ps.koo(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(c)) = rows[i].x[c];
    }
    return ps;
}

Vec parametri2d(const Porocilo& p, int& nPar)
{
    const std::size_t t = p.najdi("TRANSFORMACIJSKI PARAMETRI") + 2;
    std::vector<double> v;
    for (std::size_t i = t; i < p.v.size() && !p.v[i].empty(); ++i)
        v.push_back(stevilo(besede(p.v[i])[1]));
    nPar = static_cast<int>(v.size());
    return Eigen::Map<Vec>(v.data(), static_cast<Eigen::Index>(v.size()));
}

void transformirane2d(const Porocilo& p, const char* naslov, Rez& rez, int& redXY, int& tip)
{
    const std::size_t t = p.najdi(naslov);
    tip = p.v[t].substr(std::string(naslov).size()) == "D96/TM" ? 1 : 2;
    const auto glava = besede(p.v[t + 2]);
    redXY = (glava[1] == "e" || glava[1] == "y") ? 2 : 1;
    const auto rows = vrsticeTabele(p, t + 3);
    rez.koo = Mat::Zero(static_cast<Eigen::Index>(rows.size()), 2);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rez.koo(static_cast<Eigen::Index>(i), 0) = rows[i].x[redXY == 1 ? 0 : 1];
        rez.koo(static_cast<Eigen::Index>(i), 1) = rows[i].x[redXY == 1 ? 1 : 0];
    }
}

class Primeri2dP : public ::testing::TestWithParam<const char*> {};

TEST_P(Primeri2dP, PolnoPorociloSeUjema)
{
    FiksenDatum datum;
    const Porocilo p(GetParam());
    const DataLabels data = datoteke(p, "Datoteka s podatki v začetnem datumu: ", "Datoteka s podatki v končnem datumu: ");
    TTr t_tr;
    t_tr.helm = p.ima("Helmertova transformacija: DA") ? 1 : 2;
    const PointSet vhi = tabela2d(p, "KOORDINATE TOČK V ZAČETNEM DATUMU - ");
    PointSet vhv = tabela2d(p, "KOORDINATE TOČK V KONČNEM DATUMU - ");
    Par2dResult est;
    est.vezne.ime = besede(p.v[p.najdi("Vezne točke za izračun") + 1]);
    Rez rez;
    int redXY = 1, tip = 1, nPar = 4;
    transformirane2d(p, "TRANSFORMIRANE KOORDINATE TOČK - ", rez, redXY, tip);
    EXPECT_EQ(tip, vhv.tip);
    const Vec PAR = parametri2d(p, nPar);
    Prik prik;
    const auto rows = vrsticeTabele(p, p.najdi("TRANSFORMIRANE KOORDINATE TOČK Z UPOŠTEVANJEM") + 3);
    prik.vx = Vec::Zero(rez.koo.rows());
    prik.vy = Vec::Zero(rez.koo.rows());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        prik.vx(static_cast<Eigen::Index>(r)) = rows[r].x[0];
        prik.vy(static_cast<Eigen::Index>(r)) = rows[r].x[2];
    }
    prik.pov = stevilo(besede(p.po("Površina oboda območja transformacije:"))[0]) * 1e6;
    est.m0 = stevilo(besede(p.po("Srednji stand. odklon:"))[0]);
    est.iter = std::stoi(p.po("Število iteracij:"));
    const auto pot = zacasna("r.str");
    izpis2d_p(pot, data, vhi, vhv, rez, nPar, t_tr, PAR, est, prik, redXY);
    preveriPorocilo(pot, p);
}

INSTANTIATE_TEST_SUITE_P(Izpis2dP, Primeri2dP,
                         ::testing::Values("local-2r4-gk-tm-full.str", "local-2r6-gk-tm-full-yx.str",
                                           "local-2r4-gk-tm-sd-full.str", "local-varnik-2r4-full.str",
                                           "country-2r4-gk-tm-full.str"));

TEST(Primeri2d, SamoParametriInDaniParametri)
{
    FiksenDatum datum;
    {
        const Porocilo p("local-2r6-tm-gk-params.str");
        const DataLabels data = datoteke(p, "Datoteka s podatki v začetnem datumu: ", "Datoteka s podatki v končnem datumu: ");
        TTr t_tr;
        t_tr.helm = p.ima("Helmertova transformacija: DA") ? 1 : 2;
        Par2dResult est;
        est.vezne.ime = besede(p.v[p.najdi("Vezne točke za izračun") + 1]);
        est.m0 = stevilo(besede(p.po("Srednji stand. odklon:"))[0]);
        est.iter = std::stoi(p.po("Število iteracij:"));
        int nPar = 0;
        const Vec PAR = parametri2d(p, nPar);
        const auto pot = zacasna("b.str");
        izpis2d_b(pot, data, tabela2d(p, "KOORDINATE TOČK V ZAČETNEM DATUMU - "),
                  tabela2d(p, "KOORDINATE TOČK V KONČNEM DATUMU - "), nPar, t_tr, PAR, est);
        preveriPorocilo(pot, p);
    }
    {
        const Porocilo p("local-2r4-gk-tm-coords.str");
        Rez rez;
        int redXY = 1, tip = 1, nPar = 0;
        transformirane2d(p, "TRANSFORMIRANE KOORDINATE TOČK - ", rez, redXY, tip);
        PointSet vhv;
        vhv.tip = tip;
        const Vec PAR = parametri2d(p, nPar);
        const auto pot = zacasna("a.str");
        izpis2d_a(pot, {p.po("Datoteka s podatki v začetnem datumu: "), ""},
                  tabela2d(p, "KOORDINATE TOČK V ZAČETNEM DATUMU - "), vhv, rez, nPar, PAR, redXY);
        preveriPorocilo(pot, p);
    }
}

// Conversion reports.
TEST(PrimeriPretvorba, TmVFiLa)
{
    FiksenDatum datum;
    const Porocilo p("local-conv-tm-fila.str");
    PointSet vhi;
    const auto vhod = vrsticeTabele(p, p.najdi("točka           n") + 1);
    const auto izhod = vrsticeTabele(p, p.najdi("točka         fi") + 1);
    const auto n = static_cast<Eigen::Index>(vhod.size());
    vhi.tip = 2;
    vhi.koo.resize(n, 3);
    Rez rez;
    rez.koo.resize(n, 4);
    for (Eigen::Index i = 0; i < n; ++i) {
        const auto u = static_cast<std::size_t>(i);
        vhi.ime.push_back(vhod[u].ime);
        for (Eigen::Index c = 0; c < 3; ++c)
            vhi.koo(i, c) = vhod[u].x[static_cast<std::size_t>(c)];
        for (Eigen::Index c = 0; c < 4; ++c)
            rez.koo(i, c) = izhod[u].x[static_cast<std::size_t>(c)];
    }
    const auto pot = zacasna("r.str");
    izpis_tme(pot, vhi, rez, p.ima("Višinski model: SVS2010") ? 1 : 2);
    preveriPorocilo(pot, p);
}

TEST(PrimeriPretvorba, FiLaVTm)
{
    FiksenDatum datum;
    for (const char* ime : {"local-conv-fila-tm.str", "local-conv-fila-tm-yx-svs2000.str", "country-conv-fila-tm.str"}) {
        SCOPED_TRACE(ime);
        const Porocilo p(ime);
        const auto vhod = vrsticeTabele(p, p.najdi("točka           fi") + 1);
        const std::size_t t = p.najdi("točka           ", p.najdi("TRANSFORMIRANE"));
        const int redXY = besede(p.v[t])[1] == "n" ? 1 : 2;
        const auto izhod = vrsticeTabele(p, t + 1);
        const auto n = static_cast<Eigen::Index>(vhod.size());
        PointSet vhi;
        vhi.tip = 1;
        vhi.koo.resize(n, 3);
        Rez rez;
        rez.koo.resize(n, 4);
        for (Eigen::Index i = 0; i < n; ++i) {
            const auto& x = vhod[static_cast<std::size_t>(i)].x;
            const auto& y = izhod[static_cast<std::size_t>(i)].x;
            vhi.ime.push_back(vhod[static_cast<std::size_t>(i)].ime);
            vhi.koo.row(i) << izDms(x[0], x[1], x[2]), izDms(x[3], x[4], x[5]), x[6];
            rez.koo.row(i) << y[redXY == 1 ? 0 : 1], y[redXY == 1 ? 1 : 0], y[2], y[3];
        }
        const auto pot = zacasna("r.str");
        izpis_etm(pot, vhi, rez, redXY, p.ima("Višinski model: SVS2010") ? 1 : 2);
        preveriPorocilo(pot, p);
    }
}

} // namespace
