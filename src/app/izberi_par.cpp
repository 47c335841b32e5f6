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

namespace kolmo {

ui::Handle izberiParWindow(ui::Ui& ui, const IzberiParWindow& w, const std::string& handler,
                           const std::string& izberi)
{
    using ui::Kind;
    const ui::Handle win = ui.newWindow({.title = "Kolmo - Izbira transformacijskih parametrov", .tag = "slk",
                                         .color = kParWindowColour, .width = 640, .height = 440});
    const auto add = [&](ui::Control c) { return ui.addControl(win, std::move(c)); };
    add({.kind = Kind::Frame, .position = {0.25, 0.68, 0.5, 0.22}, .background = kParFrameColour});
    add({.kind = Kind::Text, .position = {0.35, 0.8, 0.3, 0.05}, .text = "Izberi skupino parametrov",
         .background = kParFrameColour});
    const ui::Handle pars = add({.kind = Kind::Popup, .position = {0.3, 0.73, 0.4, 0.05}, .items = w.names,
                                 .value = w.value, .background = ui::kWhite, .action = handler + "('pars')"});
    add({.kind = Kind::Frame, .position = {0.35, 0.25, 0.3, 0.38}, .background = kParFrameColour});
    const ui::Handle izpis = add({.kind = Kind::Text, .position = {0.42, 0.54, 0.16, 0.05},
                                  .text = "Izpis parametrov", .visible = false, .background = kParFrameColour});
    const ui::Handle izPar = add({.kind = Kind::Text, .position = {0.38, 0.28, 0.24, 0.24}, .visible = false,
                                  .background = kParFrameColour, .monospace = true});
    add({.kind = Kind::PushButton, .position = {0.25, 0.12, 0.2, 0.08}, .text = "Izberi",
         .background = kParButtonColour, .action = izberi});
    add({.kind = Kind::PushButton, .position = {0.55, 0.12, 0.2, 0.08}, .text = "Prekliči",
         .background = kParButtonColour, .action = handler + "('preklici')"});
    ui.window(win).hndlList = {pars, izpis, izPar};
    ui.window(win).visible = true;
    return win;
}

IzberiParOkno::IzberiParOkno(ui::Ui& ui, AppState& state) : ui_(ui), s_(state)
{
    ui_.registerHandler("izberi_par", [this](const std::optional<std::string>& a) { action(a); });
}

ui::Handle IzberiParOkno::open(const std::string& par_tip, int npar)
{
    if (const ui::Handle old = window())
        ui_.close(old);
    window_ = 0;
    if (!izberi_par(s_, par_tip, npar, w_))
        return 0;

    const ui::Handle win = izberiParWindow(ui_, w_, "izberi_par", "close");
    window_ = win;
    return win;
}

void IzberiParOkno::action(const std::optional<std::string>& name)
{
    const ui::Handle win = ui_.current();
    if (!name || win == 0 || win != window())
        return;
    const auto& hndl = ui_.window(win).hndlList;
    if (*name == "pars") {
        if (izberi_par_pars(s_, w_, ui_.control(hndl[0]).value)) {
            ui_.control(hndl[1]).visible = true;
            ui_.control(hndl[2]).text = w_.izPar;
            ui_.control(hndl[2]).visible = true;
        }
    } else if (*name == "preklici") {
        izberi_par_preklici(s_, w_);
        ui_.close(win);
    }
}

} // namespace kolmo
