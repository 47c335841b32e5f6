#include "app/primerjava_modela.h"

#include "engine/tran2d_p.h"
#include "engine/tran3d.h"
#include "engine/vezne.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "migrate/tran_trik.h"

#include <cmath>
#include <cstdio>

namespace kolmo {

std::optional<ModelDifference> primerjajZModelom(const AppState& s)
{
    const int tip = s.t_tr.tip;
    if (tip < 1 || tip > 3 || s.t_tr.izr == 2 || !s.vhi || !s.vhv || s.vhv->ime.empty())
        return std::nullopt;
    const int npar = tip == 1 ? 7 : tip == 2 ? 4 : 6;
    if (s.PAR.size() != npar || !s.PAR.allFinite())
        return std::nullopt;
    const PointSet& vhi = *s.vhi;
    const PointSet& vhv = *s.vhv;
    // The datums: 3r7 lists D96/fi_la, D96/TM, D48/GK (1, 2, 3); the plane
    // ones D96/TM, D48/GK (1, 2).
    const bool startD48 = tip == 1 ? vhi.tip == 3 : vhi.tip == 2;
    const bool endD48 = tip == 1 ? vhv.tip == 3 : vhv.tip == 2;
    if (startD48 == endD48)
        return std::nullopt;
    const Eigen::Index n = vhi.koo.rows();
    Mat from, to; // plane x (northing), y (easting) of the start points and their transformed ones
    try {
        if (tip == 1) {
            if (vhi.kk.rows() < n || vhi.kk.cols() < 3 || vhi.ek.rows() < n || vhi.ek.cols() < 2)
                return std::nullopt;
            from = vhi.tip == 1 ? elipgk(vhi.ek.leftCols(2), n, 2, 1) : Mat(vhi.koo.leftCols(2));
            const int endEllipsoid = vhv.tip < 3 ? 2 : 3;
            const Mat ek = kartelip(tran3d(vhi.kk.topRows(n).leftCols(3), s.PAR, 7), n, endEllipsoid);
            to = elipgk(ek.leftCols(2), n, endEllipsoid, 1);
        } else {
            from = vhi.koo.leftCols(2);
            to = tran2d_p(vhi, s.PAR, npar).koo.leftCols(2);
        }
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (from.rows() != n || to.rows() != n)
        return std::nullopt;
    const TriangleModel* model = nullptr;
    try {
        model = &TriangleModel::of(s.pot_prg);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    ModelDifference d;
    for (const auto& [i, j] : commonPoints(vhi.ime, vhv.ime)) {
        (void)j;
        double e = 0, nn = 0;
        const double x = from(i, 0), y = from(i, 1);
        const bool inside = startD48 ? model->gkToTm(y, x, e, nn) : model->tmToGk(y, x, e, nn);
        if (!inside || !std::isfinite(to(i, 0)) || !std::isfinite(to(i, 1)))
            continue;
        const double dist = std::hypot(to(i, 0) - nn, to(i, 1) - e);
        ++d.compared;
        if (dist > d.largest || d.compared == 1) {
            d.largest = dist;
            d.point = vhi.ime[static_cast<std::size_t>(i)];
        }
    }
    if (d.compared == 0)
        return std::nullopt;
    return d;
}

std::string modelDifferenceText(double metres)
{
    char buf[160];
    std::snprintf(buf, sizeof buf,
                  "Parametri se od državnega modela razlikujejo za %.2f m: preveri datum in vrsto koordinat.", metres);
    return buf;
}

} // namespace kolmo
