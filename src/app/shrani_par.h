// The parameter saving window ("Kolmo - Shranjevanje transformacijskih
// parametrov") without its widgets.
#pragma once

#include "app/appstate.h"

#include <string>

namespace kolmo {

// Contents of the saving window's controls.
struct ShraniParWindow {
    bool open = false;
    std::string datoteka;  // "t7.par", "t4.par" or "t6.par"
    std::string napis;     // "Parametri bodo dodani v datoteko: " + datoteka
    std::string tipText;   // "Tip parametrov: D96 -> D48" / "Tip parametrov: D48 -> D96"
    std::string ime;       // ImeHndl: the name the user types, empty at first
    std::string parText;   // parameter display of PAR
};

// Opens the window for the current PAR with direction code `par_tip`
// (tip_par := par_tip).  PAR of a size other than 7, 4 or 6 opens nothing and
// shows "Parametri se niso določeni/izbrani!" titled "Napaka".
bool shrani_par(AppState& s, const std::string& par_tip, ShraniParWindow& w);

// "shrani": appends PAR under the name in `w.ime` to the database and closes
// the window.  When the name is refused (among others a name that a set of the
// same direction already has) or the file cannot be written the error box
// says why, nothing is stored and the window stays open (returns false).
bool shrani_par_shrani(AppState& s, ShraniParWindow& w);

} // namespace kolmo
