#include "reports/izpis2d_b.h"

#include "reports/izpis2d_deli.h"
#include "reports/izpis_glava.h"

namespace kolmo {

void izpis2d_b(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, int nPar, const TTr& t_tr, const Vec& PAR, const Par2dResult& est)
{
    izpis::Izpis out(dat_r);
    izpis::glava(out);
    izpis::vrsta2d(out, nPar);
    out("\nIzračun transformacijskih parametrov");
    out("\n\nHelmertova transformacija: ");
    out(izpis::daNe(t_tr.helm));
    izpis::datoteke(out, data.a, data.b);
    izpis::tabela2d(out, "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - ", vhi);
    izpis::tabela2d(out, "\n\nKOORDINATE TOČK V KONČNEM DATUMU - ", vhv);
    izpis::vezneTocke(out, est.vezne.ime);
    out("\n\n\nTRANSFORMACIJSKI PARAMETRI\n\n");
    izpis::parametri2d(out, PAR, nPar);
    out("\nSrednji stand. odklon: %7.3f m", est.m0);
    out("\nŠtevilo iteracij: %3d", est.iter);
    out("\nŠtevilo veznih točk: %3d", static_cast<int>(est.vezne.ime.size()));
    out.shrani(dat_r);
}

} // namespace kolmo
