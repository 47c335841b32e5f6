#include "reports/izpis3d_deli.h"

#include "geodesy/dms.h"

#include <cmath>

namespace kolmo::izpis {

const char* oznaka3d(int tip)
{
    if (tip == 1)
        return "D96/fi_la";
    if (tip == 2)
        return "D96/TM";
    return "D48/GK";
}

void tabela3d(Izpis& out, const char* naslov, const PointSet& ps, bool zStd)
{
    const Mat& X = ps.koo;
    preveri(static_cast<Eigen::Index>(ps.ime.size()) == X.rows(), "names and coordinates of a point set");
    preveri(X.rows() == 0 || X.cols() >= (zStd ? 6 : 3), "columns of a point set");
    out(naslov);
    out(oznaka3d(ps.tip));
    if (zStd) {
        if (ps.tip == 1)
            out("\n\ntočka           fi                la             h        s_fi     s_la     s_h\n");
        else if (ps.tip == 2)
            out("\n\ntočka           n            e            H         s_n      s_e      s_H\n");
        else
            out("\n\ntočka           x            y            H         s_x      s_y      s_H\n");
    } else {
        if (ps.tip == 1)
            out("\n\ntočka           fi                la             h\n");
        else if (ps.tip == 2)
            out("\n\ntočka           n            e            H\n");
        else
            out("\n\ntočka           x            y            H\n");
    }
    for (Eigen::Index i = 0; i < X.rows(); ++i) {
        if (ps.tip == 1 && zStd)
            vrsticaDms(out, "%-8s %3d %02d %08.5f %5d %02d %08.5f %10.3f %8.3f %8.3f %8.3f\n", ime(ps.ime, i),
                       X(i, 0), X(i, 1), {X(i, 2), X(i, 3), X(i, 4), X(i, 5)});
        else if (ps.tip == 1)
            vrsticaDms(out, "%-8s %3d %02d %08.5f %5d %02d %08.5f %10.3f\n", ime(ps.ime, i), X(i, 0), X(i, 1),
                       {X(i, 2)});
        else if (zStd)
            out("%-8s %12.3f %12.3f %11.3f %9.3f %8.3f %8.3f\n", ime(ps.ime, i), X(i, 0), X(i, 1), X(i, 2),
                X(i, 3), X(i, 4), X(i, 5));
        else
            out("%-8s %12.3f %12.3f %11.3f\n", ime(ps.ime, i), X(i, 0), X(i, 1), X(i, 2));
    }
}

void transformirane3d(Izpis& out, const char* naslov, const Names& imena, const Rez& rez, int vis, int redXY)
{
    const Mat& Yt = rez.koo;
    preveri(static_cast<Eigen::Index>(imena.size()) >= Yt.rows(), "names of the transformed points");
    preveri(Yt.rows() == 0 || Yt.cols() >= 3, "columns of the transformed points");
    // Ellipsoidal output has no geoid column of its own: N comes from the
    // fourth column of the plane record; without one nothing is written.
    const Mat& virN = rez.tip == 1 ? rez.gk : Yt;
    transformirane3d(out, naslov, imena, rez.tip, Yt.rows(), vis, redXY, [&](Eigen::Index i, Tocka3d& t) {
        for (Eigen::Index c = 0; c < 3; ++c)
            t.koo[c] = Yt(i, c);
        t.imaN = virN.cols() >= 4 && i < virN.rows();
        t.N = t.imaN ? virN(i, 3) : 0.0;
    });
}

void transformirane3d(Izpis& out, const char* naslov, const Names& imena, int rezTip, Eigen::Index n, int vis,
                      int redXY, const Vrstica3d& vrstica)
{
    preveri(static_cast<Eigen::Index>(imena.size()) >= n, "names of the transformed points");
    out(naslov);
    out(oznaka3d(rezTip));
    if (rezTip == 1)
        out("\n\ntočka           fi                la             h");
    else if (rezTip == 2)
        out(redXY == 1 ? "\n\ntočka           n            e             H"
                       : "\n\ntočka           e            n             H");
    else
        out(redXY == 1 ? "\n\ntočka           x            y             H"
                       : "\n\ntočka           y            x             H");
    const bool zN = vis < 3;
    if (zN)
        out("          N(int.)");
    Tocka3d t;
    for (Eigen::Index i = 0; i < n; ++i) {
        t = Tocka3d{};
        vrstica(i, t);
        const double* Yt = t.koo;
        if (rezTip == 1)
            vrsticaDms(out, "\n%-8s %3d %02d %08.5f %5d %02d %08.5f %11.4f", ime(imena, i), Yt[0], Yt[1], {Yt[2]});
        else if (redXY == 1)
            out("\n%-8s %12.3f %12.3f %12.3f", ime(imena, i), Yt[0], Yt[1], Yt[2]);
        else
            out("\n%-8s %12.3f %12.3f %12.3f", ime(imena, i), Yt[1], Yt[0], Yt[2]);
        if (zN && t.imaN) {
            out("%13.3f", t.N);
            zunajSlo(out, t.N);
        }
    }
}

namespace {

// Sign, then degrees, minutes and seconds of |sekunde| / 3600 and the mark '"'.
void kot(Izpis& out, double sekunde)
{
    out(sekunde < 0 ? "-" : " ");
    const auto [d, m, s] = dms(std::fabs(sekunde) / 3600.0);
    if (std::isfinite(d) && d < 1.0e9)
        out("%2d %02d %09.6f ", static_cast<int>(d), static_cast<int>(m), s);
    else
        out.zapisi("%2d %02d %09.6f ", {d, m, s});
    out("\"");
}

} // namespace

void parametri3d(Izpis& out, const Vec& PAR)
{
    preveri(PAR.size() >= 7, "seven parameters");
    out("deltaX    %15.6f m\n", PAR(0));
    out("deltaY    %15.6f m\n", PAR(1));
    out("deltaZ    %15.6f m\n", PAR(2));
    out("alfa     ");
    kot(out, PAR(3));
    out("\nbeta     ");
    kot(out, PAR(4));
    out("\ngama     ");
    kot(out, PAR(5));
    out("\n");
    out("merilo        %11.6f ppm\n", PAR(6));
}

void natancnost3d(Izpis& out, const Par3dResult& est)
{
    const int n = static_cast<int>(est.vezne.ime.size());
    out("\nSrednji stand. odklon (matrični racun): %7.3f m", est.m0[0]);
    out("\nSrednji stand. odklon (iz odstopanj):   %7.3f m", est.m0[1]);
    out("\nŠtevilo iteracij: %3d", est.iter);
    out("\nŠtevilo veznih točk: %3d", n);
    out("\nŠtevilo nadštevilčnosti: %3d\n", 3 * n - 7);
}

} // namespace kolmo::izpis
