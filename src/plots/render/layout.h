// The layout engine: a Figure on a page of a given size, as a Scene of
// drawing primitives.
//
// Two-dimensional axes are laid out as the plot windows always showed them:
// the plot box as large as the page allows after room for the tick labels,
// the axis labels and the title, with the sides in the ratio of the plot-box
// aspect and centred in the room left; ticks drawn inwards from all four
// sides of the box; x tick labels centred under their ticks, y tick labels
// right-aligned left of them; the y label turned to read upwards; the title
// centred above the box.  Everything drawn from data is clipped to the box:
// lines and vectors cut at its edges, markers and texts whose point lies
// outside left out.  The points' names are placed around their points clear
// of the markers, the vectors and each other, with a leader line where
// they must stand off (labels.h); only a name that would overlap a name
// placed before it wherever it went is left out, so crowded names do not
// pile up into a black patch, and a layout at zoomed-in limits shows it.  Where tick labels
// would run into each other only every second (third, ...) tick is
// labelled; every tick keeps its mark.  The legend is a framed box with a
// sample of each entry, in a corner of the box, inset; "best" takes the
// corner, in the order north-east, north-west, south-west, south-east, that
// covers the fewest data points (markers, line vertices, vector ends) and
// names.  A scale bar takes the free corner that covers the fewest,
// preferring south-west.
//
// Three-dimensional axes are an orthographic view from the azimuth and
// elevation of the axes (azimuth from the negative y axis, counter-clockwise
// seen from above, as the plot windows have always measured it), the plot
// box scaled to fill the page.  Behind the data the three back planes of the
// box carry the grid; tick labels stand outside the front edges of the floor
// and at the left vertical edge.  Surfaces are drawn cell by cell from the
// farthest to the nearest (painter's algorithm) as white cells with edges
// coloured by their height, so nearer cells hide the lines behind them; the
// lines in space are drawn over them.  The axis labels stand beyond the
// tick labels: x and y under their front edges of the floor, z turned to
// read upwards left of its ticks.  A colour scale, where the axes ask for
// one, is a bar of the edge colours from the lowest to the highest height
// right of the box, with the z ticks and the z label beside it.
//
// Sizes of the figure (points) become pixels by `pxPerPt`.  Texts are
// measured with the built-in metrics (fontmetrics.h), so every backend gets
// the same layout.
#pragma once

#include "plots/figure.h"
#include "plots/render/scene.h"

namespace kolmo::plot {

struct Rect {
    double x = 0, y = 0, w = 0, h = 0; // pixels, top left corner and size
};

// Where things went, for tests and for a screen backend that maps mouse
// positions back to data.
struct LayoutInfo {
    Rect box;                                   // the plot box (2D); the projected box's bounds (3D)
    std::optional<LegendLocation> legendCorner; // the corner the legend took
    Rect legend;
    std::optional<LegendLocation> scaleBarCorner;
    // 2D: every how many ticks a label is drawn (1: all), so that labels
    // do not run into each other.
    std::size_t xLabelEvery = 1, yLabelEvery = 1;
    // 2D: texts left out because they would overlap names placed before them
    // wherever they went, and names joined to their points by a leader.
    std::size_t hiddenTexts = 0;
    std::size_t leaders = 0;
    std::size_t leaderCrossings = 0; // names and leaders crossed by leaders that found no clear way
    // 3D: the colour scale's bar, when the axes have one.
    std::optional<Rect> colourBar;
    // 3D: the screen direction (pixels, y down) of one unit of each axis of
    // the normalised plot box.
    Pt xDir, yDir, zDir;
};

// The default scale of an exported page: the page is a figure 450 points
// (15.9 cm) wide, whatever its pixel size, so fonts grow with the page.
double defaultPxPerPt(double width, double height);

Scene layout(const Figure& fig, double width, double height, double pxPerPt, LayoutInfo* info = nullptr);

// The corner for a legend of size w x h (pixels) inset by `inset` in `box`
// that covers the fewest of `points` and of the rectangles `texts` it would
// overlap; ties go to the earlier corner of north-east, north-west,
// south-west, south-east, starting at `first`.  With `exclude` set, that
// corner is not taken.
LegendLocation bestCorner(const std::vector<Pt>& points, const Rect& box, double w, double h, double inset,
                          std::optional<LegendLocation> exclude = std::nullopt,
                          LegendLocation first = LegendLocation::NorthEast, const std::vector<Rect>& texts = {});

// Colour of the surface edges at `t` in [0, 1] (blue - cyan - yellow - red).
Rgb heightColour(double t);

} // namespace kolmo::plot
