// The arrangement windows ("Kolmo - Urejanje podatkov") on the shared state:
// which point set they arrange (pd), the matrix being arranged (C) and the
// arranged one (C1), and the controller that builds the windows and runs
// their buttons.
#pragma once

#include "app/appstate.h"
#include "input/uredi.h"
#include "platform/ui.h"

namespace kolmo {

// The same steps on the shared state, as the windows' actions run them.
// "initialize": stores tip and pd, empties C and C1, takes C from the point set
// named by pd ("1" vhi, "2" vhv; the conversion tool's window always vhi) and
// builds the window model; throws kolmo::Error when that fails.
UrediWindow urediInitialize(AppState& st, UrediKind kind, const std::string& dat, const std::string& tip,
                            const std::string& pd);
// "update" (UVELJAVI): arranges st.C into st.C1 and, when that succeeds, writes
// st.C1 into koo of the point set (names untouched).  The busy pointer shows
// while it runs.
bool urediUpdate(AppState& st, UrediKind kind, const std::vector<int>& S, int kot);

// The windows `uredi`, `uredi2d` and `uredi2`.  Their buttons call the
// handlers "uredi", "uredi2D" and "uredi2" with "update" (UVELJAVI) or
// "prikaz" (POGLED); "Izhod" closes the window.
//
// Only one arrangement window is open at a time: C, C1, tip and pd belong to
// the window opened last, so opening one closes any other, and a window whose
// point set is read anew is closed (its UVELJAVI would write the old file's
// columns over the new points).
class UrediOkna {
public:
    UrediOkna(ui::Ui& ui, AppState& state);
    ~UrediOkna();
    UrediOkna(const UrediOkna&) = delete;
    UrediOkna& operator=(const UrediOkna&) = delete;

    // Opens the window (action "initialize") for the file shown as `dat`,
    // the coordinate type index `tip` ("1".."3") and the point set `pd`
    // ("1" vhi, "2" vhv; the conversion tool's window always vhi).  Throws
    // kolmo::Error when it cannot be built; the caller shows its box.
    // `closed` runs when the window closes, however (the opener's "Uredi"
    // button, greyed while it is open, comes back there).
    ui::Handle open(UrediKind kind, const std::string& dat, const std::string& tip, const std::string& pd,
                    std::function<void()> closed = {});

    // Closes the open arrangement window when it works on point set `pd`.
    void closeFor(const std::string& pd);

    // The open arrangement window, or 0.
    ui::Handle window() const { return window_ != 0 && ui_.isWindow(window_) ? window_ : 0; }

private:
    void action(UrediKind kind, const std::optional<std::string>& name);

    ui::Ui& ui_;
    AppState& s_;
    ui::Handle window_ = 0;
    UrediKind kind_ = Uredi;
};

} // namespace kolmo
