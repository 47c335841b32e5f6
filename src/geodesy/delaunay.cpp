#include "geodesy/delaunay.h"

#include <libqhullcpp/QhullQh.h>
extern "C" {
#include <libqhull_r/qhull_ra.h>
}

#include <csetjmp>
#include <stdexcept>
#include <string>

namespace kolmo {

// Delaunay triangles of the points through Qhull's reentrant interface.
//
// The qhT is a QhullQh: libqhullcpp's message hook replaces qh_fprintf for
// the whole process whenever that library is loaded, and it aborts the
// process unless the Qhull instance is a QhullQh.  With one, Qhull's errors
// (flat or too few points) are collected as text and reported here.  The run
// follows Qhull::runQhull: errors longjmp back to the setjmp below.
std::vector<std::array<int, 3>> delaunayTriangles(std::vector<double> xy, int n)
{
    orgQhull::QhullQh q;
    qhT* qh = &q;
    char options[] = "qhull d Qbb Qc Qz Q12 Qt";
    qh->NOerrexit = False;
    const int status = setjmp(qh->errexit);
    if (status == 0) {
        qh_initflags(qh, options);
        qh->PROJECTdelaunay = True;
        qh_init_B(qh, xy.data(), n, 2, False);
        qh_qhull(qh);
        qh_check_output(qh);
        qh_prepare_output(qh);
    }
    qh->NOerrexit = True;
    if (status != 0)
        throw std::invalid_argument("no Delaunay triangulation of the points (" + q.qhullMessage().substr(0, 200) + ")");

    std::vector<std::array<int, 3>> tri;
    facetT* facet;
    FORALLfacets {
        if (facet->upperdelaunay || !facet->good)
            continue;
        std::array<int, 3> t{};
        int k = 0;
        vertexT *vertex, **vertexp;
        FOREACHvertex_(facet->vertices) {
            if (k < 3)
                t[static_cast<std::size_t>(k)] = qh_pointid(qh, vertex->point);
            ++k;
        }
        if (k != 3)
            throw std::invalid_argument("the triangulation has a facet that is not a triangle");
        tri.push_back(t);
    }
    return tri;
}

} // namespace kolmo
