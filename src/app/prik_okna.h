// The plot windows: the network ("Mreža točk", prik_mre), its place in the
// country ("Lega mreže točk", prik_obod), the residuals of the common points
// ("Odstopanja veznih točk", prik_odst) and the geoid surfaces of the geoid
// tool.
//
// Each window holds its figure in a Graphic control filling the window; the
// renderer draws it and lets the user zoom, pan or turn it.  The menu
// "Natisni" prints the plot ("prik_mre('natisni')"); "Izvozi" writes it into
// the working folder under its fixed name ("prik_mre('png')" writes
// mreza.png, replacing a file of that name), in the format of the item, and
// a note in the window's corner names the file written.
// Every call opens a new window; older ones stay.
#pragma once

#include "platform/ui.h"
#include "plots/figure.h"

#include <optional>
#include <string>

namespace kolmo {

class PrikOkna {
public:
    explicit PrikOkna(ui::Ui& ui);

    // A new window showing `figure`.
    ui::Handle open(plot::Figure figure);

private:
    void action(const std::optional<std::string>& name);
    // The line that says which file an export wrote.
    void showNote(ui::Handle win, const std::string& text, const std::string& tooltip);

    ui::Ui& ui_;
};

} // namespace kolmo
