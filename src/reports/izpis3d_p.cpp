#include "reports/izpis3d_p.h"

#include "engine/par3d_7.h"
#include "reports/izpis3d_deli.h"
#include "reports/izpis_glava.h"

#include <cmath>

namespace kolmo {

using izpis::ime;
using izpis::preveri;

namespace {

const char* visine(int vis)
{
    switch (vis) {
    case 1:
        return "Reducirane na 0: h=0, H=0\nVišine transformiranih točk: H = h - N";
    case 2:
        return "Upoštevane: h, H\nVišine transformiranih točk: H = h - N";
    case 3:
        return "Upoštevane: h, H\nVišine transformiranih točk: Določene s transformacijo";
    default:
        return "Upoštevane: h, H\nVišine transformiranih točk: Identične točkam v začetnem datumu";
    }
}

// Given and transformed Cartesian coordinates of the common points with their
// accuracy and the gross-error test.
void primerjava3r(izpis::Izpis& out, const std::vector<izpis::ParVeznih>& pari, const PointSet& vhv,
                  const Rez& rez, const Par3dResult& est)
{
    out("\n\n\nPRIMERJAVA DANIH IN TRANSFORMIRANIH KOORDINAT VEZNIH TOČK V 3R PRAVOKOTNEM KOORDINATNEM SISTEMU\n\n");
    out("točka            X            Y            Z\n");
    const Vec& v = est.v_st;
    const Vec& tau = est.tau;
    const Mat& Z = est.Zyt;
    for (const auto& [c, j, k] : pari) {
        const Eigen::Index b = 3 * c;
        preveri(v.size() >= b + 3 && tau.size() >= b + 3, "standardised differences of the common points");
        preveri(Z.rows() >= b + 3 && Z.cols() >= 3, "covariance of the common points");
        preveri(j < vhv.kk.rows() && vhv.kk.cols() >= 3, "Cartesian end coordinates");
        preveri(k < rez.kk.rows() && rez.kk.cols() >= 3, "Cartesian transformed coordinates");
        if (grobaKoordinata(est, b) || grobaKoordinata(est, b + 1) || grobaKoordinata(est, b + 2))
            out("--------------- grobi pogresek ----------------\n");
        out("%-8s %12.3f %12.3f %12.3f  dan\n", ime(vhv.ime, j), vhv.kk(j, 0), vhv.kk(j, 1), vhv.kk(j, 2));
        out("%21.3f %12.3f %12.3f  transf.\n", rez.kk(k, 0), rez.kk(k, 1), rez.kk(k, 2));
        out("%21.3f %12.3f %12.3f  dan - transf.\n", vhv.kk(j, 0) - rez.kk(k, 0), vhv.kk(j, 1) - rez.kk(k, 1),
            vhv.kk(j, 2) - rez.kk(k, 2));
        out("%21.3f %12.3f %12.3f  std.dev.transf.k.\n", std::sqrt(Z(b, 0)), std::sqrt(Z(b + 1, 1)),
            std::sqrt(Z(b + 2, 2)));
        out("%21.3f %12.3f %12.3f  std.popr.\n", v(b), v(b + 1), v(b + 2));
        out("%21.3f %12.3f %12.3f  tau test\n\n", tau(b), tau(b + 1), tau(b + 2));
    }
}

} // namespace

void izpis3d_p(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const Rez& rez, const TTr& t_tr, const Vec& PAR, const Par3dResult& est,
               const Prik& prik, int redXY)
{
    izpis::Izpis out(dat_r);
    izpis::glava(out);
    out("Tip transformacije: 3R 7-parametrična podobnostna");
    out("\nVišine veznih točk v izračunu transf.par.: ");
    out(visine(t_tr.vis));
    out("\nHelmertova transformacija: ");
    out(izpis::daNe(t_tr.helm));
    izpis::visinskiModel(out, t_tr.geoid);
    izpis::datoteke(out, data.a, data.b);
    izpis::tabela3d(out, "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - ", vhi, true);
    izpis::tabela3d(out, "\n\nKOORDINATE TOČK V KONČNEM DATUMU - ", vhv, true);
    izpis::vezneTocke(out, est.vezne.ime);
    izpis::transformirane3d(out, "\n\n\nTRANSFORMIRANE KOORDINATE TOČK - ", vhi.ime, rez, t_tr.vis, redXY);

    const auto pari = izpis::pariVeznih(est.vezne.ime, vhv.ime, vhi.ime);
    primerjava3r(out, pari, vhv, rez, est);

    // Comparison in the plane of the end datum; its differences feed the statistics.
    const bool zVisino = vhv.tip > 1;
    out("\nPRIMERJAVA DANIH IN TRANSFORMIRANIH KOORDINAT VEZNIH TOČK V PROJ. RAVNINI KONČNEGA DATUMA");
    out(rez.tip == 2 ? "\n\ntočka           n            e" : "\n\ntočka           x            y");
    out(zVisino ? "             H\n" : "\n");
    izpis::Odstopanja dx, dy, dH;
    const Mat& Y = vhv.gk;
    const Mat& T = rez.gk;
    for (const auto& [c, j, k] : pari) {
        preveri(j < Y.rows() && Y.cols() >= (zVisino ? 3 : 2), "plane end coordinates");
        preveri(k < T.rows() && T.cols() >= (zVisino ? 3 : 2), "plane transformed coordinates");
        dx.nastavi(c, Y(j, 0) - T(k, 0));
        dy.nastavi(c, Y(j, 1) - T(k, 1));
        if (zVisino) {
            dH.nastavi(c, Y(j, 2) - T(k, 2));
            out("%-8s %12.3f %12.3f %12.3f  dan\n", ime(vhv.ime, j), Y(j, 0), Y(j, 1), Y(j, 2));
            out("%21.3f %12.3f %12.3f  transf.\n", T(k, 0), T(k, 1), T(k, 2));
            out("%21.3f %12.3f %12.3f  dan - transf.\n\n", Y(j, 0) - T(k, 0), Y(j, 1) - T(k, 1),
                Y(j, 2) - T(k, 2));
        } else {
            out("%-8s %12.3f %12.3f  dan\n", ime(vhv.ime, j), Y(j, 0), Y(j, 1));
            out("%21.3f %12.3f  transf.\n", T(k, 0), T(k, 1));
            out("%21.3f %12.3f  dan - transf.\n\n", Y(j, 0) - T(k, 0), Y(j, 1) - T(k, 1));
        }
    }

    // Plane output: coordinates corrected by the interpolated residuals, in
    // stored column order.
    if (rez.tip > 1) {
        const Mat& Yt = rez.koo;
        preveri(prik.vx.size() >= Yt.rows() && prik.vy.size() >= Yt.rows(), "interpolated corrections");
        out("\nTRANSFORMIRANE KOORDINATE TOCK Z UPOŠTEVANJEM ODSTOPANJ V RAVNINI PROJEKCIJE");
        out(rez.tip == 2 ? "\n\ntočka          v_n          n         v_e          e            H"
                         : "\n\ntočka          v_x          x         v_y          y            H");
        for (Eigen::Index i = 0; i < Yt.rows(); ++i)
            out("\n%-8s %10.3f %12.3f %9.3f %12.3f %12.3f", ime(vhi.ime, i), prik.vx(i), Yt(i, 0) + prik.vx(i),
                prik.vy(i), Yt(i, 1) + prik.vy(i), Yt(i, 2));
        out("\n\n");
    }

    out("\nTRANSFORMACIJSKI PARAMETRI\n\n");
    izpis::parametri3d(out, PAR);
    izpis::natancnost3d(out, est);
    out("\nPovršina oboda območja transformacije:  %-5.2f km2", prik.pov / 1000000.0);
    if (zVisino)
        izpis::statistika(out, {&dx, &dy, &dH}, "\n----------------------------------");
    else
        izpis::statistika(out, {&dx, &dy}, "\n-------------------------");
    out.shrani(dat_r);
}

} // namespace kolmo
