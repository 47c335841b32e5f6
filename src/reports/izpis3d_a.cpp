#include "reports/izpis3d_a.h"

#include "reports/izpis3d_deli.h"
#include "reports/izpis_glava.h"

namespace kolmo {

void izpis3d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi, const Rez& rez,
               const TTr& t_tr, const Vec& PAR, int redXY)
{
    izpis::Izpis out;
    izpis::glava(out);
    out("Tip transformacije: 3R 7-parametrična podobnostna");
    out("\nIzračun transformiranih koordinat iz danih transformacijskih parametrov");
    if (t_tr.vis < 3)
        out("\n\nVišine transformiranih točk: H = h - N");
    else if (t_tr.vis == 3)
        out("\n\nVišine transformiranih točk: Določene s transformacijo");
    else
        out("\n\nVišine transformiranih točk: Identične točkam v začetnem datumu");
    izpis::visinskiModel(out, t_tr.geoid);
    out("\n\nDatoteka s podatki v začetnem datumu: %s\n", data.a.c_str());
    izpis::tabela3d(out, "\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - ", vhi, false);
    izpis::transformirane3d(out, "\n\nTRANSFORMIRANE KOORDINATE TOČK - ", vhi.ime, rez, t_tr.vis, redXY);
    out("\n\n\nTRANSFORMACIJSKI PARAMETRI\n\n");
    izpis::parametri3d(out, PAR);
    out.shrani(dat_r);
}

} // namespace kolmo
