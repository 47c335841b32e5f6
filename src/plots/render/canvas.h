// Canvas: what a backend must do to draw a Scene.
//
// Four primitives, all in page pixels (origin top left, y down), already
// clipped by the layout:
//   polyline  an open line through the points, solid, round joins;
//   polygon   a closed polygon, filled and/or outlined;
//   ellipse   an axis-parallel ellipse, filled and/or outlined;
//   text      one line of text on its baseline, aligned at its left end,
//             middle or right end, turned counter-clockwise by `angle`
//             degrees about the origin; font Helvetica or one of its measure
//             (Arial, Nimbus Sans, Liberation Sans), bold when asked.
// The page's background comes first as a filled polygon over the whole page.
//
// A backend for the screen maps these one to one onto its painter (QPainter:
// drawPolyline, drawPolygon, drawEllipse, drawText after translate/rotate)
// and calls drawScene() on a scene laid out for the widget's size.
#pragma once

#include "plots/render/scene.h"

namespace kolmo::plot {

class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void polyline(const Polyline& p) = 0;
    virtual void polygon(const Polygon& p) = 0;
    virtual void ellipse(const Ellipse& e) = 0;
    virtual void text(const Text& t) = 0;
};

// Draws the background and then every item of `scene` in order.
void drawScene(const Scene& scene, Canvas& canvas);

} // namespace kolmo::plot
