// A plot's figure as the content of a window's Graphic control.
//
// `figure` is what the window shows now: a renderer that lets the user zoom,
// pan or turn the plot changes its limits or view angles in place, so an
// export writes the view on the screen.  `initial` is the figure as it was
// built, to go back to.
#pragma once

#include "platform/ui.h"
#include "plots/figure.h"

namespace kolmo::plot {

class FigureGraphic : public ui::Graphic {
public:
    explicit FigureGraphic(Figure f) : figure(f), initial(std::move(f)) {}
    Figure figure;
    const Figure initial;
};

} // namespace kolmo::plot
