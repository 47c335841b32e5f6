#include "reports/izpis2d_a.h"

#include "reports/izpis2d_deli.h"
#include "reports/izpis_glava.h"

namespace kolmo {

void izpis2d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const Rez& rez, int nPar, const Vec& PAR, int redXY)
{
    const Mat& Yt = rez.koo;
    const Eigen::Index n = vhi.koo.rows();
    izpis::preveri(n == 0 || (Yt.rows() >= n && Yt.cols() >= 2), "transformed coordinates");
    izpis2d_a(
        dat_r, data, vhi, vhv,
        [&](Eigen::Index i, double& x, double& y) {
            x = Yt(i, 0);
            y = Yt(i, 1);
        },
        nPar, PAR, redXY);
}

void izpis2d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const izpis::Vrstica2d& vrstica, int nPar, const Vec& PAR, int redXY)
{
    izpis::Izpis out(dat_r);
    izpis::glava(out);
    izpis::vrsta2d(out, nPar);
    out("\nIzračun transformiranih koordinat iz danih transformacijskih parametrov");
    out("\n\nDatoteka s podatki v začetnem datumu: %s\n", data.a.c_str());
    izpis::tabela2d(out, "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - ", vhi);
    izpis::transformirane2d(out, "\n\nTRANSFORMIRANE KOORDINATE TOČK - ", vhv.tip, vhi.ime, vhi.koo.rows(),
                            vrstica, redXY);
    out("\n\nTRANSFORMACIJSKI PARAMETRI\n\n");
    izpis::parametri2d(out, PAR, nPar);
    out.shrani(dat_r);
}

} // namespace kolmo
