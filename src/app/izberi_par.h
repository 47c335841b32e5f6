// The parameter selection window ("Kolmo - Izbira transformacijskih parametrov")
// without its widgets: what opening it and its actions do to AppState and to
// the contents of its controls.  The window layer draws `IzberiParWindow` and
// calls these on the user's events.
#pragma once

#include "app/appstate.h"
#include "platform/ui.h"

#include <string>

namespace kolmo {

// Contents of the selection window's controls.
struct IzberiParWindow {
    bool open = false;
    Names names;              // ParsHndl: the listed sets, in file order
    int value = 1;            // ParsHndl: chosen position, from 1
    bool izpisVisible = false;// IzpisHndl "Izpis parametrov" and IzParHndl shown
    std::string izPar;        // IzParHndl: parameter display of the chosen set
};

// Opens the window for the sets of direction `par_tip` in the database of
// `npar` (7, 4, 6) parameters.  npar and datap are set and PAR is emptied at
// once, whatever follows.  Error boxes (title "Napaka"), the window staying
// closed: "Ne najdem datoteke s parametri!" for a missing file, "Napaka v
// datoteki s parametri!" for a file that breaks the reading rule, and
// "V datoteki s parametri ni parametrov izbrane smeri!" when no set of that
// direction is stored (the list would offer nothing to choose).
// Returns whether the window is open.
bool izberi_par(AppState& s, const std::string& par_tip, int npar, IzberiParWindow& w);

// "pars": the user chose position k (from 1) in the list: PAR = row k of datap
// and the display shows it.  A position outside the list changes nothing and
// returns false.
bool izberi_par_pars(AppState& s, IzberiParWindow& w, int k);

// "Izberi": closes the window; PAR stays as the last "pars" set it.
void izberi_par_izberi(IzberiParWindow& w);

// "preklici" ("Prekliči"): PAR emptied, window closed.
void izberi_par_preklici(AppState& s, IzberiParWindow& w);

// Colours of both parameter windows: window, frames, buttons.
inline constexpr ui::Rgb kParWindowColour{1, 0.5, 0.1};
inline constexpr ui::Rgb kParFrameColour{1, 0.5, 0.2};
inline constexpr ui::Rgb kParButtonColour{1, 0.5, 0.3};

// The controls of a selection window offering `w`'s sets: its list runs
// "<handler>('pars')", "Prekliči" "<handler>('preklici')", "Izberi" runs
// `izberi`.  hndlList is {list, heading "Izpis parametrov", parameters}.
ui::Handle izberiParWindow(ui::Ui& ui, const IzberiParWindow& w, const std::string& handler,
                           const std::string& izberi);

// The selection window itself.  Its list runs "izberi_par('pars')", the
// button "Prekliči" "izberi_par('preklici')" and "Izberi" closes it.  One
// selection window is open at a time: opening it again replaces the list (and
// datap) the earlier one offered, so the earlier window is closed.
class IzberiParOkno {
public:
    IzberiParOkno(ui::Ui& ui, AppState& state);
    // izberi_par(par_tip, npar): the window, or 0 when it does not open.
    ui::Handle open(const std::string& par_tip, int npar);
    ui::Handle window() const { return window_ != 0 && ui_.isWindow(window_) ? window_ : 0; }

private:
    void action(const std::optional<std::string>& name);

    ui::Ui& ui_;
    AppState& s_;
    ui::Handle window_ = 0;
    IzberiParWindow w_;
};

} // namespace kolmo
