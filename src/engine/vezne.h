// Common points: the points that occur under the same name in the start and
// in the end set.
#pragma once

#include "platform/pointset.h"

#include <utility>
#include <vector>

namespace kolmo {

// Pairs (start row, end row) of equal names (exact, case-sensitive), in the
// order of comparing every start point with every end point: start rows
// ascending, and for each the end rows of that name ascending.  A name that
// occurs twice yields two pairs.  Linear in the number of points and pairs.
std::vector<std::pair<Eigen::Index, Eigen::Index>> commonPoints(const Names& start, const Names& end);

} // namespace kolmo
