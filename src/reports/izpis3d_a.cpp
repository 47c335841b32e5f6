#include "reports/izpis3d_a.h"

#include "reports/izpis3d_deli.h"
#include "reports/izpis_glava.h"

namespace kolmo {

namespace {

// `transformirane` writes the table of transformed points.
template <class Transformirane>
void zapisi(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi, const TTr& t_tr,
            const Vec& PAR, const Transformirane& transformirane)
{
    izpis::Izpis out(dat_r);
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
    transformirane(out, "\n\nTRANSFORMIRANE KOORDINATE TOČK - ");
    out("\n\n\nTRANSFORMACIJSKI PARAMETRI\n\n");
    izpis::parametri3d(out, PAR);
    out.shrani(dat_r);
}

} // namespace

void izpis3d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi, const Rez& rez,
               const TTr& t_tr, const Vec& PAR, int redXY)
{
    zapisi(dat_r, data, vhi, t_tr, PAR, [&](izpis::Izpis& out, const char* naslov) {
        izpis::transformirane3d(out, naslov, vhi.ime, rez, t_tr.vis, redXY);
    });
}

void izpis3d_a(const std::filesystem::path& dat_r, const DataLabels& data, const PointSet& vhi, int rezTip,
               const izpis::Vrstica3d& vrstica, const TTr& t_tr, const Vec& PAR, int redXY)
{
    zapisi(dat_r, data, vhi, t_tr, PAR, [&](izpis::Izpis& out, const char* naslov) {
        izpis::transformirane3d(out, naslov, vhi.ime, rezTip, vhi.koo.rows(), t_tr.vis, redXY, vrstica);
    });
}

} // namespace kolmo
