#include "plots/prik_izr.h"

#include "engine/obod_izr.h"
#include "platform/errors.h"
#include "plots/biharmonic.h"

#include <string>
#include <string_view>
#include <unordered_map>

namespace kolmo {
namespace {

// Last row of every name.  The residual of a common point comes from the last
// end row and the last start row carrying its name: of all matching (end,
// start) pairs in scan order, that is the one written last.
std::unordered_map<std::string_view, Eigen::Index> lastRowOfName(const Names& ime)
{
    std::unordered_map<std::string_view, Eigen::Index> last;
    last.reserve(ime.size());
    for (std::size_t r = 0; r < ime.size(); ++r)
        last[ime[r]] = static_cast<Eigen::Index>(r);
    return last;
}

// Y: given end-datum plane coordinates (rows of vhv.ime); Yt: transformed
// plane coordinates (rows of vhi.ime).
Prik prepare(const PointSet& vhi, const PointSet& vhv, const Mat& Y, const Mat& Yt, const Vezne& vezne)
{
    if (Y.rows() != static_cast<Eigen::Index>(vhv.ime.size()) || Y.cols() < 2)
        throw ComputationError("plot record: end-datum coordinates do not match the end-datum names");
    if (Yt.rows() != static_cast<Eigen::Index>(vhi.ime.size()) || Yt.cols() < 2)
        throw ComputationError("plot record: transformed coordinates do not match the start-datum names");

    const auto lastEnd = lastRowOfName(vhv.ime);
    const auto lastStart = lastRowOfName(vhi.ime);

    const auto nc = static_cast<Eigen::Index>(vezne.ime.size());
    Mat P(nc, 2);     // given end-datum position of each common point
    Mat resid(nc, 2); // dx, dy: given minus transformed
    for (Eigen::Index c = 0; c < nc; ++c) {
        const std::string& name = vezne.ime[static_cast<std::size_t>(c)];
        const auto j = lastEnd.find(name);
        const auto k = lastStart.find(name);
        if (j == lastEnd.end() || k == lastStart.end())
            throw ComputationError("plot record: common point " + name + " has no end or no transformed point");
        P.row(c) = Y.row(j->second).head<2>();
        resid.row(c) = Y.row(j->second).head<2>() - Yt.row(k->second).head<2>();
    }

    // Corrections at the transformed positions, both coordinates at once.
    const BiharmonicSpline spline(P, resid);
    const Mat corr = spline(Yt.leftCols<2>());

    Prik prik;
    prik.vx = corr.col(0);
    prik.vy = corr.col(1);
    prik.XI = P.col(1);
    prik.YI = P.col(0);
    prik.dx = resid.col(0);
    prik.dy = resid.col(1);
    prik.Tx = Yt.col(1);
    prik.Ty = Yt.col(0);

    const double e1 = Yt.rows() ? Yt.col(0).maxCoeff() - Yt.col(0).minCoeff() : 0.0;
    const double e2 = Yt.rows() ? Yt.col(1).maxCoeff() - Yt.col(1).minCoeff() : 0.0;
    prik.D = tickSpacing(e1 > e2 ? e1 : e2);

    prik.tocke = vezne.ime;
    prik.vset = vhi.ime;

    Mat A(nc, 2);
    A.col(0) = prik.XI;
    A.col(1) = prik.YI;
    Obod o = obod_izr(A);
    prik.obod = std::move(o.obodne);
    prik.pov = o.pov;
    return prik;
}

} // namespace

double tickSpacing(double dd)
{
    struct Row {
        double below, D;
    };
    static constexpr Row kTable[] = {{100, 10},    {1000, 100},   {2000, 200},   {5000, 500},
                                     {10000, 1000}, {20000, 2000}, {50000, 5000}};
    for (const Row& r : kTable)
        if (dd < r.below)
            return r.D;
    return 10000;
}

Prik prik_izr(const PointSet& vhi, const PointSet& vhv, const Rez& rez, const Vezne& vezne)
{
    return prepare(vhi, vhv, vhv.gk, rez.gk, vezne);
}

Prik prik_izr2(const PointSet& vhi, const PointSet& vhv, const Rez& rez, const Vezne& vezne)
{
    return prepare(vhi, vhv, vhv.koo, rez.koo, vezne);
}

} // namespace kolmo
