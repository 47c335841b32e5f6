// Scene: a laid-out figure as drawing primitives on a page.
//
// Coordinates are pixels of the page, origin at the top left, y downwards;
// sizes (line widths, font sizes) are pixels too.  `pxPerPt` tells how many
// pixels make one typographic point, so the vector backends can give the page
// its physical size (width / pxPerPt points).  Everything is already clipped
// to where it may be drawn: a backend draws the items in order and needs no
// clipping of its own.
#pragma once

#include "plots/figure.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kolmo::plot {

struct Pt {
    double x = 0, y = 0;
};

struct Pen {
    Rgb color = kBlack;
    double width = 1;          // pixels
};

struct Polyline {
    std::vector<Pt> pts;
    Pen pen;
};

// A closed polygon, filled and/or outlined.
struct Polygon {
    std::vector<Pt> pts;
    std::optional<Rgb> fill;
    std::optional<Pen> edge;
};

struct Ellipse {
    Pt c;
    double rx = 0, ry = 0;
    std::optional<Rgb> fill;
    std::optional<Pen> edge;
};

// One line of text.  `origin` lies on the baseline; `align` says whether it
// is the left end, the middle or the right end of the text (a backend whose
// font differs slightly from the metrics table still centres correctly).
// `angle` turns the text counter-clockwise about the origin, in degrees.
struct Text {
    Pt origin;
    std::string text;          // UTF-8
    double size = 12;          // pixels, the font's em
    bool bold = false;
    Rgb color = kBlack;
    HAlign align = HAlign::Left;
    double angle = 0;
};

using Item = std::variant<Polyline, Polygon, Ellipse, Text>;

struct Scene {
    double width = 0, height = 0; // pixels
    double pxPerPt = 1;
    Rgb background = kWhite;
    std::vector<Item> items;
};

} // namespace kolmo::plot
