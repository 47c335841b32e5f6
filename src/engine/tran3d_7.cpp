#include "engine/tran3d_7.h"

#include "engine/tran3d.h"
#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "geodesy/interg.h"
#include "platform/cause.h"
#include "platform/errors.h"

namespace kolmo {

Rez tran3d_7(const PointSet& vhi, const PointSet& vhv, Rez rez, const Vec& PAR, const TTr& t_tr,
             const std::filesystem::path& pot_prg)
{
    const Eigen::Index n = vhi.koo.rows();
    if (PAR.size() < 7)
        throw ComputationError("tran3d_7: seven parameters needed");
    if (vhi.kk.rows() < n || vhi.kk.cols() < 3)
        throw ComputationError("tran3d_7: Cartesian coordinates missing for some start points");
    const bool geoidHeights = t_tr.vis < 3;
    if (t_tr.vis != 3 && vhi.koo.cols() < 3)
        throw ComputationError("tran3d_7: start points have no height column");
    if (geoidHeights && (vhi.ek.rows() < n || vhi.ek.cols() < 2))
        throw ComputationError("tran3d_7: ellipsoidal coordinates missing for some start points");

    rez.eli = vhv.tip < 3 ? 2 : 3;
    rez.kk = tran3d(vhi.kk.topRows(n), PAR, 7);
    rez.ek = kartelip(rez.kk, n, rez.eli);

    const Mat plane = elipgk(rez.ek.leftCols(2), n, rez.eli, 1);
    if (plane.rows() < n)
        throw platform::Bilingual<ComputationError>("tran3d_7: transformed point outside the projection zone",
                                                    "tran3d_7: transformirana točka zunaj projekcijske cone");
    rez.gk.resize(n, geoidHeights ? 4 : 3);
    rez.gk.leftCols(2) = plane;
    if (geoidHeights) {
        // N is taken at the start point's latitude and longitude, the place
        // of the height it is subtracted from.
        for (Eigen::Index i = 0; i < n; ++i) {
            const double N = interg(vhi.ek(i, 0), vhi.ek(i, 1), t_tr.geoid, pot_prg);
            rez.gk(i, 3) = N;
            rez.gk(i, 2) = vhi.koo(i, 2) - N;
        }
    } else if (t_tr.vis == 3) {
        rez.gk.col(2) = rez.ek.col(2);
    } else {
        rez.gk.col(2) = vhi.koo.col(2);
    }
    rez.koo = rez.tip == 1 ? rez.ek : rez.gk;
    return rez;
}

} // namespace kolmo
