// primerjava_modela: the estimated transformation against the national
// triangle-based model D48/GK <-> D96/TM at the common points.
//
// An estimation between D48 and D96 (3r7, 2r4, 2r6, either way) that puts
// the common points metres away from where the national model puts them was
// fed the wrong datum or coordinate type (D96 taken for D48, northing and
// easting swapped, a file of the other zone): the fit among the points alone
// cannot show it, since both files agree with each other.  The estimated
// transformation takes each common start point into the end plane (3r7:
// through X, Y, Z onto the end ellipsoid and its projection), the model takes
// the same start point, and the largest distance of the two is the figure.
#pragma once

#include "app/appstate.h"

#include <filesystem>
#include <optional>
#include <string>

namespace kolmo {

struct ModelDifference {
    double largest = 0;  // m
    std::string point;   // where (Windows-1250)
    int compared = 0;    // common points inside the model
};

inline constexpr double kModelDifferenceLimit = 1.0; // m

// None when the estimation is not one between D48 and D96, there are no
// parameters, or the model's data file is not there.
std::optional<ModelDifference> primerjajZModelom(const AppState& s);

// "Parametri se od državnega modela razlikujejo za 3.21 m: preveri datum in vrsto koordinat." (UTF-8)
std::string modelDifferenceText(double metres);

} // namespace kolmo
