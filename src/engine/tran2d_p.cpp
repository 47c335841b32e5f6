#include "engine/tran2d_p.h"

#include "platform/errors.h"

namespace kolmo {

Rez tran2d_p(const PointSet& vhi, const Vec& PAR, int nPar)
{
    if (nPar != 4 && nPar != 6)
        throw ComputationError("tran2d_p: the plane transformation has 4 or 6 parameters");
    if (PAR.size() < nPar)
        throw ComputationError("tran2d_p: too few parameters");
    const Eigen::Index n = vhi.koo.rows();
    if (n > 0 && vhi.koo.cols() < 2)
        throw ComputationError("tran2d_p: start points need two coordinates");

    Rez rez;
    rez.koo.resize(n, 2);
    for (Eigen::Index i = 0; i < n; ++i)
        tran2d_tocka(PAR, nPar, vhi.koo(i, 0), vhi.koo(i, 1), rez.koo(i, 0), rez.koo(i, 1));
    return rez;
}

} // namespace kolmo
