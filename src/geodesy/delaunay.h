// Delaunay triangulation of plane points (Qhull, reentrant), shared by the
// Clough-Tocher geoid interpolation and the national triangle-based model.
#pragma once

#include <array>
#include <vector>

namespace kolmo {

// The Delaunay triangles of the n points xy = (x0, y0, x1, y1, ...), as
// indices of the points.  Throws std::invalid_argument with Qhull's reason
// when there is none (fewer than three points, all on a line).
std::vector<std::array<int, 3>> delaunayTriangles(std::vector<double> xy, int n);

} // namespace kolmo
