#include "reports/izpis_etm.h"

#include "reports/izpis_glava.h"

namespace kolmo {

using izpis::ime;
using izpis::preveri;

void izpis_etm(const std::filesystem::path& dat_r, const PointSet& vhi, const Rez& rez, int redXY, int geoid)
{
    const Mat& X = vhi.koo;
    const Mat& Yt = rez.koo;
    preveri(static_cast<Eigen::Index>(vhi.ime.size()) == X.rows(), "names and coordinates of the points");
    preveri(X.rows() == 0 || X.cols() >= 3, "columns of the points");
    preveri(Yt.rows() <= X.rows(), "rows of the converted points");
    preveri(Yt.rows() == 0 || Yt.cols() >= 4, "columns of the converted points");

    izpis::Izpis out(dat_r);
    izpis::glava(out);
    out("Tip transformacije: Pretvorba koordinat iz D96/fi_la v D96/TM");
    izpis::visinskiModel(out, geoid);
    out("\n\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D96/fi_la");
    out("\n\ntočka           fi                la             h\n");
    for (Eigen::Index i = 0; i < X.rows(); ++i)
        izpis::vrsticaDms(out, "%-8s %3d %02d %08.5f %5d %02d %08.5f %10.3f\n", ime(vhi.ime, i), X(i, 0), X(i, 1),
                          {X(i, 2)});
    out("\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/TM");
    out(redXY == 1 ? "\n\ntočka           n             e            H          N(int.)"
                   : "\n\ntočka           e             n            H          N(int.)");
    for (Eigen::Index i = 0; i < Yt.rows(); ++i) {
        if (redXY == 1)
            out("\n%-8s %12.3f %13.3f %11.3f %13.3f", ime(vhi.ime, i), Yt(i, 0), Yt(i, 1), Yt(i, 2), Yt(i, 3));
        else
            out("\n%-8s %12.3f %13.3f %11.3f %13.3f", ime(vhi.ime, i), Yt(i, 1), Yt(i, 0), Yt(i, 2), Yt(i, 3));
        izpis::zunajSlo(out, Yt(i, 3));
    }
    out.shrani(dat_r);
}

} // namespace kolmo
