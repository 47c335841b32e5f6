// tran_trik: the national triangle-based transformation D48/GK <-> D96/TM.
//
// GURS defined it by 899 virtual tie points (version 4.0) over the country
// and its border zone, each with its D48/GK and D96/TM position.  The model is
// the Delaunay triangulation of the points (1776 triangles, the same set in
// both planes) and inside each triangle the affine map that takes its three
// corners in one plane onto their corners in the other: the barycentric
// coordinates of a point in its source triangle applied to the target
// corners.  The map is exact at the tie points, continuous across the edges
// (on a shared edge the barycentric coordinate of the opposite corner is zero
// in both triangles), and the way back is the same construction with the
// planes swapped, so that the two directions are inverses of each other.
//
// A point is found in its triangle through a uniform grid of cells over each
// plane, every cell listing the triangles whose bounding box touches it: a
// look-up tests the one to three triangles of a cell, whatever the number of
// triangles.  A point outside every triangle has no transformation: the call
// returns false and assigns nothing, so that a long batch goes on with the
// next point.
//
// Data file (data/gurs_virtualne_vezne_tocke_v4.0.txt): '#' lines are
// comments; every other line holds the name and four numbers: D48/GK y
// (easting), x (northing), D96/TM e (easting), n (northing), metres.  The file
// is read with the bounded text reader; a damaged file (a missing or extra
// field, a number that is not one, repeated names or positions, too few
// points, a triangle turned over between the planes) raises DataFileError
// naming the file and the line.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kolmo {

inline constexpr const char* kTriangleModelFile = "gurs_virtualne_vezne_tocke_v4.0.txt";
inline constexpr const char* kTriangleModelAttribution =
    "Triangle-based transformation model D48/GK \xe2\x86\x94 D96/TM: virtual tie points v4.0, "
    "\xc2\xa9 Geodetska uprava Republike Slovenije, CC BY 4.0.";

class TriangleModel {
public:
    // Plane coordinates of a tie point: easting and northing in metres
    // (D48/GK without the zone digit; Kolmo's northing without 5 000 000).
    struct Tie {
        std::string name;
        double gkE, gkN, tmE, tmN;
    };

    // Reads and triangulates the points of `file`.
    explicit TriangleModel(const std::filesystem::path& file);

    // The model of the data folder `dataDir` (its kTriangleModelFile), read
    // once and kept for the rest of the run; safe to call from any thread.
    static const TriangleModel& of(const std::filesystem::path& dataDir);

    // D48/GK -> D96/TM: easting and northing in, easting and northing out.
    // False (nothing assigned) for a point outside every triangle.
    bool gkToTm(double e, double n, double& eOut, double& nOut) const { return apply(0, e, n, eOut, nOut); }
    // D96/TM -> D48/GK, the same.
    bool tmToGk(double e, double n, double& eOut, double& nOut) const { return apply(1, e, n, eOut, nOut); }

    // The barycentric map of triangle `t` applied to a point, inside or not
    // (plane 0: D48/GK source, 1: D96/TM source); for tests of the edges.
    void applyIn(int plane, std::size_t t, double e, double n, double& eOut, double& nOut) const;
    // The triangle holding the point in that plane, or -1.
    long find(int plane, double e, double n) const;
    // Whether triangle `t` of the plane holds the point (its edges included,
    // as find() counts them): a walk along a row of pixels keeps its
    // triangle while this holds.
    bool contains(int plane, std::size_t t, double e, double n) const;
    // Triangle `t` of the plane as linear functions of the source easting and
    // northing: the barycentric coordinates of its second and third corner,
    // l2 = b[0] + b[1] e + b[2] n and l3 = b[3] + b[4] e + b[5] n, and the
    // target coordinates, eOut = m[0] + m[1] e + m[2] n and nOut = m[3] +
    // m[4] e + m[5] n; for callers that compose the map with their own
    // affine steps (a raster's pixel grids).
    void coefficients(int plane, std::size_t t, double b[6], double m[6]) const;

    const std::vector<Tie>& points() const { return ties_; }
    // Corner indices into points(), counter-clockwise in both planes.
    const std::vector<std::array<int, 3>>& triangles() const { return tri_; }

private:
    // One triangle as seen from a source plane: the first corner, the matrix
    // that takes (e - e1, n - n1) to the barycentric coordinates l2, l3, and
    // the target corner 1 with the target edges 1->2 and 1->3.
    struct Face {
        double e1, n1;
        double a11, a12, a21, a22;
        double te1, tn1, de2, dn2, de3, dn3;
    };
    struct Grid {
        double e0 = 0, n0 = 0, inv = 0; // lower-left corner, 1 / cell size
        int cols = 0, rows = 0;
        std::vector<std::uint32_t> start; // cell c lists ids[start[c] .. start[c+1])
        std::vector<std::uint32_t> ids;
    };

    bool apply(int plane, double e, double n, double& eOut, double& nOut) const;
    void buildPlane(int plane);

    std::string file_;
    std::vector<Tie> ties_;
    std::vector<std::array<int, 3>> tri_;
    std::vector<Face> faces_[2];
    Grid grid_[2];
};

} // namespace kolmo
