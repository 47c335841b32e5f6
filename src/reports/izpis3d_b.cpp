#include "reports/izpis3d_b.h"

#include "reports/izpis3d_deli.h"
#include "reports/izpis_glava.h"

namespace kolmo {

void izpis3d_b(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi,
               const PointSet& vhv, const TTr& t_tr, const Vec& PAR, const Par3dResult& est)
{
    izpis::Izpis out(dat_r);
    izpis::glava(out);
    out("Tip transformacije: 3R 7-parametrična podobnostna");
    out("\nIzračun transformacijskih parametrov");
    out("\n\nVišine veznih točk v izračunu transf.par.: ");
    out(t_tr.vis == 1 ? "Reducirane na 0: h=0, H=0" : "Upoštevane: h, H");
    out("\nHelmertova transformacija: ");
    out(izpis::daNe(t_tr.helm));
    izpis::visinskiModel(out, t_tr.geoid);
    if (data.b.empty()) {
        out("\n\nVhodna datoteka: %s (Varnik)\n", data.a.c_str());
    } else {
        out("\n\nDatoteka s podatki v zacetnem datumu: %s\n", data.a.c_str());
        out("Datoteka s podatki v koncnem datumu: %s\n", data.b.c_str());
    }
    izpis::tabela3d(out, "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - ", vhi, true);
    izpis::tabela3d(out, "\n\nKOORDINATE TOČK V KONČNEM DATUMU - ", vhv, true);
    izpis::vezneTocke(out, est.vezne.ime);
    out("\n\n\nTRANSFORMACIJSKI PARAMETRI\n\n");
    izpis::parametri3d(out, PAR);
    izpis::natancnost3d(out, est);
    out.shrani(dat_r);
}

} // namespace kolmo
