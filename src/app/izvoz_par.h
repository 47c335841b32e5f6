// izvoz_par: the result of an estimation for other programs (kolmo-cli
// --params-json): a JSON document with the model, the direction and the
// coordinate types, the parameters at full precision with their units and
// standard deviations, the rotation convention written out, both m0, the
// iterations, the common points and the coordinates flagged as gross errors,
// and a PROJ pipeline that performs the same transformation.
//
// The PROJ pipeline, in PROJ's axis order (plane coordinates easting then
// northing in metres, geodetic ones longitude then latitude in decimal
// degrees):
//  - 3r7: the start coordinates to geocentric Cartesian on the start
//    ellipsoid (inverse transverse Mercator of the zone for a plane type),
//    the similarity as PROJ's helmert in the coordinate-frame convention with
//    the exact rotation matrix (+convention=coordinate_frame +exact; rx, ry,
//    rz = alfa, beta, gama; that matrix is Kolmo's R element for element),
//    then back to the end ellipsoid and into the output type.  The third
//    coordinate is an ellipsoidal height on both sides.
//  - 2r4, 2r6: one affine step between the two plane types (PROJ's affine
//    with the coefficients rearranged for the easting-first order).
// The ellipsoids and projections carry Kolmo's own constants (GRS-80 1/f =
// 298.2572221, Bessel 1/f = 299.1528128533; central meridian 15 deg E, scale
// 0.9999, false easting 500 000 m, false northing -5 000 000 m).  Plane
// coordinates are meant without the zone digit 5.
#pragma once

#include "engine/records.h"

#include <optional>
#include <string>
#include <string_view>

namespace kolmo {

struct ParExport {
    int tip = 1;                   // 1 3r7, 2 2r4, 3 2r6
    int tip1 = 0, tip2 = 0, tip3 = 0; // start, end and output type codes as the computation's lists hold them
    TTr t_tr;                      // settings as the computation left them (height option included)
    Vec PAR;
    const Par3dResult* est3d = nullptr;
    const Par2dResult* est2d = nullptr;
    // From the converged adjustment (analiza_vez.h), when there is one: the
    // standard deviations of the parameters and what they are, and further
    // members put in before "heights" (each line ending in ",\n").
    const Vec* sd = nullptr;
    std::string sdText;
    std::string statistics;
};

// A number at full precision (null for NaN and infinities), and a JSON string
// of UTF-8 text.
std::string jsonNumber(double v);
std::string jsonString(std::string_view text);

// The JSON document (UTF-8, point names converted from Windows-1250).
std::string parametersJson(const ParExport& e);

// The PROJ pipeline alone.
std::string projPipeline(const ParExport& e);

} // namespace kolmo
