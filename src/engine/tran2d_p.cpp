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
    for (Eigen::Index i = 0; i < n; ++i) {
        const double x = vhi.koo(i, 0), y = vhi.koo(i, 1);
        if (nPar == 4) {
            rez.koo(i, 0) = PAR(0) * x - PAR(1) * y + PAR(2);
            rez.koo(i, 1) = PAR(1) * x + PAR(0) * y + PAR(3);
        } else {
            rez.koo(i, 0) = PAR(0) * x + PAR(1) * y + PAR(2);
            rez.koo(i, 1) = PAR(3) * x + PAR(4) * y + PAR(5);
        }
    }
    return rez;
}

} // namespace kolmo
