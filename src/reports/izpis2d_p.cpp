#include "reports/izpis2d_p.h"

#include "reports/izpis2d_deli.h"
#include "reports/izpis_glava.h"

namespace kolmo {

using izpis::ime;
using izpis::preveri;

void izpis2d_p(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const Rez& rez, int nPar, const TTr& t_tr, const Vec& PAR,
               const Par2dResult& est, const Prik& prik, int redXY)
{
    izpis::Izpis out(dat_r);
    izpis::glava(out);
    izpis::vrsta2d(out, nPar);
    out("\nHelmertova transformacija: ");
    out(izpis::daNe(t_tr.helm));
    izpis::datoteke(out, data.a, data.b);
    izpis::tabela2d(out, "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - ", vhi);
    izpis::tabela2d(out, "\n\nKOORDINATE TOČK V KONČNEM DATUMU - ", vhv);
    izpis::vezneTocke(out, est.vezne.ime);
    const Mat& Yt = rez.koo;
    izpis::transformirane2d(out, "\n\n\nTRANSFORMIRANE KOORDINATE TOČK - ", vhv.tip, vhi.ime, vhi.koo.rows(), Yt,
                            redXY);

    // Given and transformed common points, in stored column order.
    out("\n\nPRIMERJAVA DANIH IN TRANSFORMIRANIH KOORDINAT VEZNIH TOCK V KONČNEM DATUMU\n\n");
    izpis::Odstopanja dx, dy;
    const Mat& Y = vhv.koo;
    for (const auto& [c, j, k] : izpis::pariVeznih(est.vezne.ime, vhv.ime, vhi.ime)) {
        preveri(k < Yt.rows() && Yt.cols() >= 2, "transformed coordinates of the common points");
        dx.nastavi(c, Y(j, 0) - Yt(k, 0));
        dy.nastavi(c, Y(j, 1) - Yt(k, 1));
        out("%-8s %11.3f %12.3f  dan\n", ime(vhv.ime, j), Y(j, 0), Y(j, 1));
        out("%20.3f %12.3f  transf.\n", Yt(k, 0), Yt(k, 1));
        out("%20.3f %12.3f  dan - transf.\n\n", Y(j, 0) - Yt(k, 0), Y(j, 1) - Yt(k, 1));
    }

    out("\nTRANSFORMACIJSKI PARAMETRI\n\n");
    izpis::parametri2d(out, PAR, nPar);

    // Coordinates corrected by the interpolated residuals, in stored order.
    preveri(prik.vx.size() >= Yt.rows() && prik.vy.size() >= Yt.rows(), "interpolated corrections");
    preveri(static_cast<Eigen::Index>(vhi.ime.size()) >= Yt.rows(), "names of the transformed points");
    out("\n\nTRANSFORMIRANE KOORDINATE TOČK Z UPOŠTEVANJEM ODSTOPANJ");
    out(vhv.tip == 1 ? "\n\ntočka          v_n          n         v_e          e"
                     : "\n\ntočka          v_x          x         v_y          y");
    for (Eigen::Index i = 0; i < Yt.rows(); ++i)
        out("\n%-8s %10.3f %12.3f %9.3f %12.3f", ime(vhi.ime, i), prik.vx(i), Yt(i, 0) + prik.vx(i), prik.vy(i),
            Yt(i, 1) + prik.vy(i));

    out("\n\nSrednji stand. odklon: %7.3f m", est.m0);
    out("\nŠtevilo iteracij: %3d", est.iter);
    out("\nŠtevilo veznih točk: %3d", static_cast<int>(est.vezne.ime.size()));
    out("\n\nPovršina oboda območja transformacije:  %-5.2f km2", prik.pov / 1000000.0);
    izpis::statistika(out, {&dx, &dy}, "\n----------------------------");
    out.shrani(dat_r);
}

} // namespace kolmo
