#include "plots/render/canvas.h"

namespace kolmo::plot {

void drawScene(const Scene& scene, Canvas& canvas)
{
    canvas.polygon(Polygon{{{0, 0}, {scene.width, 0}, {scene.width, scene.height}, {0, scene.height}},
                           scene.background,
                           std::nullopt});
    struct Visit {
        Canvas& c;
        void operator()(const Polyline& p) const { c.polyline(p); }
        void operator()(const Polygon& p) const { c.polygon(p); }
        void operator()(const Ellipse& e) const { c.ellipse(e); }
        void operator()(const Text& t) const { c.text(t); }
    };
    for (const Item& item : scene.items)
        std::visit(Visit{canvas}, item);
}

} // namespace kolmo::plot
