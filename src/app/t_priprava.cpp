#include "app/t_priprava.h"

#include "geodesy/elipgk.h"
#include "geodesy/elipkart.h"
#include "platform/cause.h"
#include "platform/errors.h"

namespace kolmo {
namespace {

constexpr double kZoneOffset = 5000000.0;

// Columns first..last (0-based, inclusive) set to 1; the matrix widens as needed.
void setOnes(Mat& m, Eigen::Index first, Eigen::Index last)
{
    if (m.cols() <= last)
        m.conservativeResizeLike(Mat::Zero(m.rows(), last + 1));
    m.middleCols(first, last - first + 1).setOnes();
}

// Every row converted, or the projection stopped at a point outside the zone
// (it has shown its own box); the computation cannot go on with half a set.
const Mat& allRows(const Mat& converted, Eigen::Index n)
{
    if (converted.rows() != n)
        throw platform::Bilingual<ComputationError>("point outside the projection zone", "točka zunaj projekcijske cone");
    return converted;
}

} // namespace

void stripZoneDigit(Mat& koo)
{
    for (Eigen::Index c = 0; c < std::min<Eigen::Index>(2, koo.cols()); ++c)
        for (Eigen::Index i = 0; i < koo.rows(); ++i)
            if (koo(i, c) > kZoneOffset)
                koo(i, c) -= kZoneOffset;
}

void t_priprava(PointSet& vhi, PointSet& vhv, const Rez& rez, TTr& t_tr)
{
    vhi.eli = vhi.tip < 3 ? 2 : 3;
    vhv.eli = vhv.tip < 3 ? 2 : 3;

    // Plane start coordinates carry no ellipsoidal height: the transformation
    // keeps the heights of the start file (3), and plane output keeps them
    // as given (4).
    if (vhi.tip != 1)
        t_tr.vis = 3;
    if (vhi.tip > 1 && rez.tip > 1)
        t_tr.vis = 4;

    if (vhi.koo.cols() < 6)
        setOnes(vhi.koo, 3, 5);
    if (vhv.koo.cols() < 6)
        setOnes(vhv.koo, 3, 5);

    const Eigen::Index n1 = vhi.koo.rows();
    if (vhi.tip > 1)
        stripZoneDigit(vhi.koo);
    vhi.ek = vhi.koo;
    vhi.kk = vhi.koo;
    if (vhi.tip > 1)
        vhi.ek.leftCols(2) = allRows(gkelip(vhi.koo.leftCols(2), n1, vhi.eli, 1), n1);
    if (t_tr.vis == 1)
        vhi.ek.col(2).setZero();
    vhi.kk.leftCols(3) = allRows(elipkart(vhi.ek.leftCols(3), n1, vhi.eli), n1);

    if (t_tr.izr != 2) {
        const Eigen::Index n2 = vhv.koo.rows();
        if (vhv.tip > 1)
            stripZoneDigit(vhv.koo);
        vhv.ek = vhv.koo;
        vhv.kk = vhv.koo;
        vhv.gk = vhv.koo;
        if (vhv.tip > 1)
            vhv.ek.leftCols(2) = allRows(gkelip(vhv.koo.leftCols(2), n2, vhv.eli, 1), n2);
        else
            vhv.gk.leftCols(2) = allRows(elipgk(vhv.ek.leftCols(2), n2, vhv.eli, 1), n2);
        if (t_tr.vis == 1)
            vhv.ek.col(2).setZero();
        vhv.kk.leftCols(3) = allRows(elipkart(vhv.ek.leftCols(3), n2, vhv.eli), n2);
    }

    // Helmert variant: every coordinate gets unit weight, whatever the files say.
    if (t_tr.helm == 1) {
        for (Mat* m : {&vhi.kk, &vhv.kk, &vhi.koo, &vhv.koo})
            if (m->rows() > 0)
                setOnes(*m, 3, 5);
    }
}

void t_priprava2d(PointSet& vhi, PointSet& vhv, const TTr& t_tr)
{
    stripZoneDigit(vhi.koo);
    if (t_tr.izr != 2)
        stripZoneDigit(vhv.koo);
    if (vhi.koo.cols() < 4 || t_tr.helm == 1)
        setOnes(vhi.koo, 2, 3);
    if (vhv.koo.cols() < 4 || t_tr.helm == 1)
        setOnes(vhv.koo, 2, 3);
}

} // namespace kolmo
