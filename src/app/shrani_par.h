// The parameter saving window ("Kolmo - Shranjevanje transformacijskih
// parametrov") without its widgets.
#pragma once

#include "app/appstate.h"
#include "platform/ui.h"

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

// The saving window itself.  "Shrani" runs "shrani_par('shrani')" with the
// name typed in ImeHndl; "Prekliči" closes it.  One saving window is open at
// a time (tip_par is shared): opening it again closes the earlier one.
class ShraniParOkno {
public:
    ShraniParOkno(ui::Ui& ui, AppState& state);
    // shrani_par(1, par_tip): the window, or 0 when it does not open.
    ui::Handle open(const std::string& par_tip);
    ui::Handle window() const { return window_ != 0 && ui_.isWindow(window_) ? window_ : 0; }

private:
    void action(const std::optional<std::string>& name);

    ui::Ui& ui_;
    AppState& s_;
    ui::Handle window_ = 0;
    ShraniParWindow w_;
};

} // namespace kolmo
