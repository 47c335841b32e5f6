#include "app/izberi_par.h"

#include "app/pardb.h"
#include "platform/dialogs.h"

namespace kolmo {

bool izberi_par(AppState& s, const std::string& par_tip, int npar, IzberiParWindow& w)
{
    w = IzberiParWindow{};
    s.npar = npar;
    s.PAR.resize(0);
    s.datap.resize(0, 0);
    ParSets sets;
    try {
        sets = readParSets(s.pot_prg, npar, par_tip);
    } catch (const ParDbError& e) {
        platform::dialogs().errorBox(e.what(), kParTitle, e.details());
        return false;
    }
    if (sets.names.empty()) {
        platform::dialogs().errorBox("V datoteki s parametri ni parametrov izbrane smeri!", kParTitle,
                                     parFilePath(s.pot_prg, npar).string() + " holds no set of direction " + par_tip);
        return false;
    }
    s.datap = std::move(sets.datap);
    w.names = std::move(sets.names);
    w.value = 1;
    w.open = true;
    return true;
}

bool izberi_par_pars(AppState& s, IzberiParWindow& w, int k)
{
    if (!w.open || k < 1 || k > s.datap.rows())
        return false;
    w.value = k;
    w.izpisVisible = true;
    s.PAR = s.datap.row(k - 1).transpose();
    w.izPar = parDisplay(s.PAR);
    return true;
}

void izberi_par_izberi(IzberiParWindow& w)
{
    w.open = false;
}

void izberi_par_preklici(AppState& s, IzberiParWindow& w)
{
    s.PAR.resize(0);
    w.open = false;
}

} // namespace kolmo
