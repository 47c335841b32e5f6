// Figure: what a plot window shows, as plain data.
//
// A Figure is the description of one plot window of Kolmo (the network, its
// place in the country, the residuals of the common points, the geoid
// surfaces): the window's name and menus, and one set of axes with its
// limits, ticks, tick labels, axis labels, plot-box aspect ratio, title,
// legend, and the things drawn in it.  The builders (prik_mre.h) fill it
// from the computation's results; the layout engine (render/layout.h) turns
// it into drawing primitives for a page of a given size, and every backend
// (the image and vector files of render/export.h, a window on screen) draws
// those primitives.  Nothing here knows how it will be drawn.
//
// Units: positions in data units (plane metres, degrees); sizes of markers,
// lines and fonts in typographic points (1/72 inch), which the layout turns
// into pixels for the page.  Texts are UTF-8 and are shown literally (no TeX:
// an underscore is an underscore).
#pragma once

#include "platform/pointset.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace kolmo::plot {

// Colour, components 0..1.
struct Rgb {
    double r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kWhite{1, 1, 1};
inline constexpr Rgb kRed{1, 0, 0};
inline constexpr Rgb kGreen{0, 1, 0};
inline constexpr Rgb kBlue{0, 0, 1};
// The first colour of the default line colours: lines drawn without a style.
inline constexpr Rgb kDefaultLine{0, 0.447, 0.741};

enum class MarkerShape { Circle, TriangleUp, Square };

struct MarkerStyle {
    MarkerShape shape = MarkerShape::Circle;
    double size = 6;           // points, the marker's nominal diameter
    std::optional<Rgb> face;   // fill; none: hollow
    Rgb edge = kBlack;
};

struct LineStyle {
    Rgb color = kDefaultLine;
    double width = 0.5;        // points
};

// Markers at (x(i), y(i)).
struct MarkerSeries {
    Vec x, y;
    MarkerStyle style;
};

// A polyline through (x(i), y(i)); a NaN coordinate breaks it into pieces.
struct LineSeries {
    Vec x, y;
    LineStyle style;
};

// Arrows from (x(i), y(i)) to (x(i) + u(i), y(i) + v(i)), all in data units.
struct VectorSeries {
    Vec x, y, u, v;
    LineStyle style;
    double headSize = 5;       // points, length of the arrow head
};

enum class HAlign { Left, Center, Right };
enum class VAlign { Top, Middle, Baseline, Bottom };

// The point a name belongs to, for a name the layout may move: when the
// name's own place is taken (by a marker, a vector or a name placed before
// it) it goes to another side of the point, `clearance` points off it, or
// further out with a leader line back to the point.
struct NamedPoint {
    double x = 0, y = 0;       // data units
    double clearance = 5;      // points from the point to the name's box
};

struct TextLabel {
    double x = 0, y = 0;       // anchor, data units
    std::string text;          // UTF-8, shown as it is
    HAlign halign = HAlign::Left;
    VAlign valign = VAlign::Middle;
    Rgb color = kBlack;
    double size = 8;           // points
    double dx = 0, dy = 0;     // shift of the anchor in points (dy upwards)
    std::optional<NamedPoint> point; // a point's name, placed around it
};

// One axis: limits, ticks and their labels (one label per tick; the labels
// of the ticks that fall outside the limits are not drawn), and its label.
//
// `zoomTickUnit` > 0: the limits may be zoomed and panned; where they leave
// fewer than three of the builder's ticks, the layout puts ticks at a round
// step of its own, labelled in this unit (1: metres, 1000: kilometres).
struct Axis {
    std::array<double, 2> lim{0, 1};
    std::vector<double> ticks;
    std::vector<std::string> tickLabels;
    std::string label;
    double zoomTickUnit = 0;
};

// EastOutside: right of the box, at its top, so the legend hides no data
// (a scale bar then goes under it).
enum class LegendLocation { Best, NorthEast, NorthWest, SouthWest, SouthEast, EastOutside };

// A legend entry shows a sample of a marker or of a line (or both).
struct LegendEntry {
    std::string text;
    std::optional<MarkerStyle> marker;
    std::optional<LineStyle> line;
};

struct Legend {
    std::vector<LegendEntry> entries;
    // Best: the corner whose box covers the fewest data points, decided when
    // the page size (and so the legend's size) is known.
    LegendLocation location = LegendLocation::Best;
};

// A bar of `length` data units drawn horizontally with the text under it:
// under a legend outside the axes, otherwise inside the axes in the free
// corner nearest the lower left.
struct ScaleBar {
    double length = 0;
    std::string text;
    LineStyle style{kBlack, 1.5};
};

// A surface z(i, j) at (x(j), y(i)) drawn as a wire frame: white cells with
// edges coloured by height (hidden lines removed by drawing the cells from
// back to front).  NaN heights leave their cells out.
struct Surface {
    Vec x, y;
    Mat z;
    double edgeWidth = 0.25;   // points
};

// A line in space, drawn over the surfaces.
struct Line3 {
    Vec x, y, z;
    LineStyle style{kBlack, 1};
};

struct Axes {
    Axis x, y, z;              // z only for three-dimensional axes
    // Relative lengths of the x, y (and z) sides of the plot box.
    std::array<double, 3> plotBoxAspect{1, 1, 1};
    std::string title;
    bool box = true;           // frame all four sides (two-dimensional axes)

    // Two-dimensional content, drawn in this order: lines, vectors, markers, texts.
    std::vector<LineSeries> lines;
    std::vector<VectorSeries> vectors;
    std::vector<MarkerSeries> markers;
    std::vector<TextLabel> texts;
    std::optional<Legend> legend;
    std::optional<ScaleBar> scaleBar;

    // Three-dimensional content: surfaces, then lines over them.
    bool threeD = false;
    double azimuth = -37.5;    // degrees, view from the south-west as usual
    double elevation = 30;     // degrees above the x-y plane
    std::vector<Surface> surfaces;
    std::vector<Line3> lines3;
    // A colour scale beside the plot: the surface colours from the lower to
    // the upper z limit, with the z ticks and the z label.
    bool colourBar = false;
};

struct MenuItem {
    std::string label;
    std::string action;        // the action text, e.g. "prik_mre('png')"
    bool separator = false;    // a separator above the item
};

struct Menu {
    std::string label;
    std::string action;        // a menu without items runs this when chosen
    std::vector<MenuItem> items;
};

struct Figure {
    std::string name;          // window name
    std::string tag = "slk";
    Rgb color = kWhite;
    std::string paperType = "A4";
    std::vector<Menu> menus;
    bool zoom = false;         // interactive zoom switched on
    // Base of the fixed export file names ("mreza" -> mreza.png ...); empty
    // when the window has no export menu.
    std::string exportName;
    Axes axes;
};

// The interactive view of a two-dimensional plot.  Zooming scales both axes
// alike about the data point (x, y), so a metre stays as long across as up:
// one wheel notch narrows the limits by a fifth (notches < 0 widen them).
// Panning moves the limits by (dx, dy) data units.
void zoomAbout(Axes& ax, double x, double y, double notches);
void pan(Axes& ax, double dx, double dy);

} // namespace kolmo::plot
