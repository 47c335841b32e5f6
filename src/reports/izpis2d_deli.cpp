#include "reports/izpis2d_deli.h"

namespace kolmo::izpis {

void tabela2d(Izpis& out, const char* naslov, const PointSet& ps)
{
    const Mat& X = ps.koo;
    preveri(static_cast<Eigen::Index>(ps.ime.size()) == X.rows(), "names and coordinates of a point set");
    preveri(X.rows() == 0 || X.cols() >= 4, "columns of a point set");
    out(naslov);
    if (ps.tip == 1)
        out("D96/TM\n\ntocka           n            e          s_n      s_e\n");
    else
        out("D48/GK\n\ntocka           x            y          s_x      s_y\n");
    for (Eigen::Index i = 0; i < X.rows(); ++i)
        out("%-8s %11.3f %12.3f %10.3f %8.3f\n", ime(ps.ime, i), X(i, 0), X(i, 1), X(i, 2), X(i, 3));
}

void transformirane2d(Izpis& out, const char* naslov, int tip, const Names& imena, Eigen::Index n,
                      const Mat& Yt, int redXY)
{
    preveri(n == 0 || (Yt.rows() >= n && Yt.cols() >= 2), "transformed coordinates");
    transformirane2d(
        out, naslov, tip, imena, n,
        [&](Eigen::Index i, double& x, double& y) {
            x = Yt(i, 0);
            y = Yt(i, 1);
        },
        redXY);
}

void transformirane2d(Izpis& out, const char* naslov, int tip, const Names& imena, Eigen::Index n,
                      const Vrstica2d& vrstica, int redXY)
{
    preveri(static_cast<Eigen::Index>(imena.size()) >= n, "names of the start points");
    out(naslov);
    if (tip == 1)
        out(redXY == 1 ? "D96/TM\n\ntocka           n            e\n" : "D96/TM\n\ntocka           e            n\n");
    else
        out(redXY == 1 ? "D48/GK\n\ntocka           x            y\n" : "D48/GK\n\ntocka           y            x\n");
    for (Eigen::Index i = 0; i < n; ++i) {
        double x = 0, y = 0;
        vrstica(i, x, y);
        if (redXY == 1)
            out("%-8s %11.3f %12.3f\n", ime(imena, i), x, y);
        else
            out("%-8s %11.3f %12.3f\n", ime(imena, i), y, x);
    }
}

void parametri2d(Izpis& out, const Vec& PAR, int nPar)
{
    preveri(PAR.size() >= (nPar == 6 ? 6 : 4), "plane parameters");
    out("a    %10.4f\n", PAR(0));
    out("b    %10.4f\n", PAR(1));
    out("c    %10.4f\n", PAR(2));
    out("d    %10.4f\n", PAR(3));
    if (nPar == 6) {
        out("e    %10.4f\n", PAR(4));
        out("f    %10.4f\n", PAR(5));
    }
}

void vrsta2d(Izpis& out, int nPar) { out("Tip transformacije: 2D %d-parametrična podobnostna", nPar); }

} // namespace kolmo::izpis
