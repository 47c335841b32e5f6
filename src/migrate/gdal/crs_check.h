// The CRS of a GIS layer judged by its definition, not by the authority code
// it carries: a .prj or WKT can name EPSG:3912 over the parameters of another
// grid (a D96/TM definition copied under the D48/GK code, say), and moving
// such a layer by either would put every vertex some 500 m off.  D48/GK is
// the transverse Mercator on the central meridian 15 deg, latitude of origin
// 0, scale 0.9999, false easting 500 000 m and false northing -5 000 000 m on
// the Bessel 1841 ellipsoid and an MGI datum (MGI 1901 for EPSG:3912, the
// older MGI of the deprecated EPSG:3787 with the same grid), or its Balkans
// zone 5 form (EPSG:31275: false easting 5 500 000 m, false northing 0);
// D96/TM is the same projection on GRS 1980 (EPSG:3794).
#pragma once

#include <string>

#include <ogr_spatialref.h>

namespace kolmo {

enum class SloveneGrid { Gk, GkZone5, Tm, Other };

// The grid of a CRS by its definition: GDAL's comparison with the EPSG
// definitions (axis order and names aside), then the projection itself
// (ellipsoid, datum, projection parameters, unit), so that a Shapefile's
// ESRI-style .prj of the same grid is recognised.  A vertical part is left
// out.
SloveneGrid gridByDefinition(const OGRSpatialReference& srs);

struct CrsVerdict {
    SloveneGrid grid = SloveneGrid::Other; // by the definition
    // Not empty when the CRS's EPSG code stands for another grid than its
    // definition: the two named, for the refusal.
    std::string contradiction;
    // Not empty when the layer is a variant of D48/GK Kolmo takes (EPSG:3787,
    // the Balkans zone 5 form): what it is and how it is taken, for a warning.
    std::string variant;
};

CrsVerdict judgeCrs(const OGRSpatialReference& srs);

// The definition in words: projection, its parameters, ellipsoid and datum.
std::string definitionText(const OGRSpatialReference& srs);

// The CRS of an EPSG code, in the traditional GIS axis order (easting
// first); `ok` false when the code is unknown.
OGRSpatialReference fromEpsg(int code, bool& ok);
OGRSpatialReference fromEpsg(int code);

// The EPSG code a CRS carries (of its projected part for a compound one);
// 0 for none.
int epsgCodeOf(const OGRSpatialReference& srs);

} // namespace kolmo
