#include "reports/izpis_tme.h"

#include "reports/izpis_glava.h"

namespace kolmo {

using izpis::ime;
using izpis::preveri;

void izpis_tme(const std::filesystem::path& dat_r, const PointSet& vhi, const Rez& rez, int geoid)
{
    const Mat& X = vhi.koo;
    const Mat& Yt = rez.koo;
    preveri(static_cast<Eigen::Index>(vhi.ime.size()) == X.rows(), "names and coordinates of the points");
    preveri(X.rows() == 0 || X.cols() >= 3, "columns of the points");
    preveri(X.rows() == 0 || (Yt.rows() >= X.rows() && Yt.cols() >= 4), "converted points");

    izpis::Izpis out(dat_r);
    izpis::glava(out);
    out("Tip transformacije: Pretvorba koordinat iz D96/TM v D96/fi_la");
    izpis::visinskiModel(out, geoid);
    out("\n\n\nKOORDINATE TOČK V ZAČETNEM DATUMU - D96/TM");
    out("\n\ntočka           n             e            H");
    for (Eigen::Index i = 0; i < X.rows(); ++i)
        out("\n%-8s %12.3f %13.3f %11.3f", ime(vhi.ime, i), X(i, 0), X(i, 1), X(i, 2));
    out("\n\nTRANSFORMIRANE KOORDINATE TOČK - D96/fi_la");
    out("\n\ntočka         fi            la             h          N(int.)");
    for (Eigen::Index i = 0; i < X.rows(); ++i)
        out("\n%-8s %12.8f %13.8f %11.3f %13.3f", ime(vhi.ime, i), Yt(i, 0), Yt(i, 1), Yt(i, 2), Yt(i, 3));
    out.shrani(dat_r);
}

} // namespace kolmo
