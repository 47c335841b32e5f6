// Placing the points' names on a two-dimensional plot, as a cartographer
// does.
//
// Each name first tries the place its builder gave it, then the other sides
// of its point: right, left, above, below and the four diagonals, a
// clearance off the point.  A place is free when the name's box stays inside
// the plot box and covers no marker, no vector and no name or leader placed
// before it.  When no side is free the name moves further out, ring by ring
// and in sixteen directions, with a thin leader line back to its point; a
// leader crosses no marker, vector, name or leader either.  When nothing is
// free, the name takes, in this order: a free box whose leader crosses a
// marker or a vector; a free box whose leader crosses as few names and
// leaders as may be; a box over a marker or a vector.  Only a name that
// would overlap a name placed before it at every place is left out.  On a
// plot of fewer than kAlwaysNamed names the rings go out as far as the plot
// box reaches, so that in practice every name finds a place; on a larger
// one a single ring is tried.
//
// The names are placed in three rounds, each in order: first every name
// whose own place is free, then the rest on a free side of their points,
// then the rest with leaders, so that a name in its own place never makes
// way for a moved one, nor a name next to its point for a leader.
//
// Markers and vectors are painted into a mask of small cells with a table of
// running sums, so whether a box covers any of them costs four look-ups;
// names and leaders go into a grid of cells about a name's height, so a
// place is checked against its neighbours only.  A hundred thousand names
// are placed in linear time.
#pragma once

#include "plots/render/layout.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kolmo::plot {

// Leader lines: thin and grey, so they read as a link and not as data.
inline constexpr Rgb kLeaderColour{0.3, 0.3, 0.3};
inline constexpr double kLeaderWidth = 0.5; // points

// Up to this many names, the search for a place goes out to the edge of the box.
inline constexpr std::size_t kAlwaysNamed = 500;

struct NameRequest {
    Rect preferred;                 // the place the builder gave the name (pixels)
    HAlign align = HAlign::Left;    // the name's alignment there
    std::optional<Pt> point;        // the point it names; none: the name stays or is left out
    double clearance = 0;           // pixels from the point to the name's box
    double leaderInset = 0;         // pixels from the point to where a leader starts
};

struct NamePlacement {
    Rect box;
    std::optional<std::array<Pt, 2>> leader; // from near the point to the name's box
    HAlign align = HAlign::Left;             // the side of the box that faces the point
};

class NamePlacer {
public:
    // `box`: the plot box; `nameHeight`: the height of a name's box, the
    // grid's cell; `cell`: the obstacle mask's cell (pixels).
    NamePlacer(const Rect& box, double nameHeight, double cell);

    // Obstacles, before the first name is placed.
    void addMarker(const Rect& r);
    void addSegment(Pt a, Pt b, double halfWidth);

    // Places every request; entries left empty are names left out.
    std::vector<std::optional<NamePlacement>> place(const std::vector<NameRequest>& names);
    // How many names and leaders the leaders of place() had to cross.
    std::size_t crossings() const { return crossings_; }

private:
    struct Candidate {
        Rect r;
        std::optional<std::array<Pt, 2>> leader;
        HAlign align;
    };

    void buildSums();
    bool coversObstacle(const Rect& r) const;
    bool fullyCovered(const Rect& r) const; // every cell of r (within the box) painted
    bool segmentCoversObstacle(Pt a, Pt b) const;
    bool insideBox(const Rect& r) const;
    bool hitsName(const Rect& r) const;
    bool leaderHitsName(Pt a, Pt b) const;
    // Names and leaders the segment a-b meets, counted up to `enough`.
    std::size_t leaderCrossings(Pt a, Pt b, std::size_t enough) const;
    void take(const Candidate& c);
    void candidates(const NameRequest& q, int rings, std::vector<Candidate>& out) const;

    Rect box_;
    double cell_;                    // mask cell
    long mw_ = 0, mh_ = 0;           // mask size in cells
    std::vector<std::uint8_t> mask_; // painted cells
    std::vector<std::uint32_t> sums_; // (mw_ + 1) x (mh_ + 1) running sums of mask_
    std::vector<std::uint8_t> occupied_; // mask cells wholly inside a placed name
    double gcell_;                   // name grid cell
    long gw_ = 0, gh_ = 0;
    std::vector<std::vector<std::uint32_t>> grid_; // per cell: indices into rects_ / segs_ (segments flagged)
    std::vector<Rect> rects_;
    std::vector<std::array<Pt, 2>> segs_;
    std::size_t crossings_ = 0, crossingsTaken_ = 0;
};

} // namespace kolmo::plot
