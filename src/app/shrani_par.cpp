#include "app/shrani_par.h"

#include "app/pardb.h"
#include "platform/dialogs.h"

namespace kolmo {

bool shrani_par(AppState& s, const std::string& par_tip, ShraniParWindow& w)
{
    w = ShraniParWindow{};
    s.tip_par = par_tip;
    const auto name = parFileName(static_cast<int>(s.PAR.size()));
    if (name.empty()) {
        platform::dialogs().errorBox("Parametri se niso določeni/izbrani!", kParTitle);
        return false;
    }
    w.datoteka = name;
    w.napis = "Parametri bodo dodani v datoteko: " + name;
    w.tipText = s.tip_par == "1" ? "Tip parametrov: D96 -> D48" : "Tip parametrov: D48 -> D96";
    w.parText = parDisplay(s.PAR);
    w.open = true;
    return true;
}

bool shrani_par_shrani(AppState& s, ShraniParWindow& w)
{
    if (!w.open)
        return false;
    if (!appendParSet(s.pot_prg, s.tip_par, w.ime, s.PAR))
        return false;
    w.open = false;
    return true;
}

} // namespace kolmo
