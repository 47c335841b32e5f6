// Where the migration's results can be trusted: inside the national border or
// within a margin of it.  The triangle-based model's outer triangles reach
// some 360 km beyond the border (to tie points placed only to close the
// triangulation), so a point in Vienna or Venice would get coordinates from an
// affine map fitted to Slovene points far away; such a point is refused.
//
// The border is the polygon `meja` of meja_rs.mat (D96/TM easting, northing;
// generalised to a few hundred metres, well within the margin).  The test
// runs for every vertex of a dataset, so a grid of 500 m cells over the
// border's box plus the margin holds the answer for all but the cells the
// margin's edge crosses: the distance from the border (0 inside it) changes
// by no more than the distance moved, so a cell whose centre is within
// margin - r of the border (r its half diagonal) lies wholly in the area,
// one beyond margin + r wholly outside.  A cell the edge crosses lies wholly
// outside the border (its centre is at least margin - r from it, and
// margin > 2 r), so a point there needs only its distance to the few border
// segments within margin + r of the cell's centre, which the cell keeps.
#pragma once

#include "platform/pointset.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace kolmo {

class ValidArea {
public:
    // The margin beyond the national border in which points are still moved.
    static constexpr double kMarginMetres = 10000.0;

    // `border`: one closed ring, a row per vertex (easting, northing in
    // D96/TM metres; the last may repeat the first).  Throws DataFileError
    // when it has fewer than three vertices or a value that is not a number.
    explicit ValidArea(const Mat& border, double margin = kMarginMetres);

    // The area of the program folder's meja_rs.mat, read once per folder.
    static const ValidArea& of(const std::filesystem::path& dataDir);

    // Whether the D96/TM point (easting, northing) lies inside the border or
    // within the margin of it; false for a value that is not a number.
    bool contains(double e, double n) const;

    // The distance of the point from the border polygon, 0 inside it.
    double distanceOutside(double e, double n) const;

    double margin() const { return margin_; }

private:
    enum Cell : std::uint8_t { kOut, kIn, kEdge };
    struct Segment {
        double e, n, de, dn, inverseLength2; // from (e, n) by (de, dn)
    };
    double distance2(const Segment& s, double e, double n) const;
    void buildGrid();

    std::vector<Segment> segments_; // the ring's edges
    double margin_;
    double e0_ = 0, n0_ = 0, cell_ = 500.0;
    long cols_ = 0, rows_ = 0;
    std::vector<std::uint8_t> cells_;
    // The cells the margin's edge crosses: for each, from edgeStart_ on,
    // edgeCount_ indices into segments_ (in edgeSegments_).
    std::vector<std::uint32_t> edgeStart_, edgeSegments_;
    std::vector<std::uint16_t> edgeCount_;
};

} // namespace kolmo
