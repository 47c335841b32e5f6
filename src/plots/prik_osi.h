// What the plot builders share: the plot window with its menus, the network
// axes (limits, ticks and their labels from the tick spacing D), the text of
// a tick value, and the check of the plot record.
#pragma once

#include "plots/figure.h"
#include "plots/prik.h"

#include <string>
#include <string_view>

namespace kolmo::plot {

// A plot window named `name` with the menus "Natisni" and "Izvozi"; the export
// items call "<owner>('png')" ... and save under `exportName`.*.  Besides PNG,
// TIFF, JPEG, EPS and EMF the export menu offers SVG and PDF below a separator.
Figure plotWindow(std::string name, std::string_view owner, std::string exportName);

// The export formats of the "Izvozi" menu, in menu order: the action word
// and the item's label.
struct ExportItem {
    const char* action;
    const char* label;
};
inline constexpr ExportItem kExportItems[] = {{"png", "PNG"}, {"tiff", "TIFF"}, {"jpeg", "JPEG"}, {"eps", "EPS"},
                                              {"emf", "EMF"}, {"svg", "SVG"},   {"pdf", "PDF"}};

// Axes of a network whose points span [xmin, xmax] horizontally (the second
// coordinate, easting) and [ymin, ymax] vertically (the first, northing), with
// the tick spacing D:
//   limits  [xmin - D, xmax + D], [ymin - D, ymax + D];
//   ticks   ceil((xmin - D)/D) D, + D, ..., floor((xmax + D)/D) D (and so for y);
//   aspect  [1, (ymax - ymin + 2D) / (xmax - xmin + 2D), 1], one metre equally long on both axes;
//   labels  both axes in one unit: metres, "y(E) (m)" and "x(N) (m)", or when
//           xmax - xmin > 100 000 kilometres, "y(E) (km)" and "x(N) (km)";
//   zoom    ticks of the layout's own in the same unit where a zoom leaves
//           fewer than three (Axis::zoomTickUnit).
void networkAxes(Axes& ax, double xmin, double xmax, double ymin, double ymax, double D);

// A tick value as a plain number: integers without decimals, others with as
// few decimals as they need (up to 10 significant digits).
std::string tickText(double v);

// Throws kolmo::Error when the record cannot be drawn: no transformed points,
// fields of different lengths, no tick spacing.
void checkPrik(const Prik& prik);

} // namespace kolmo::plot
