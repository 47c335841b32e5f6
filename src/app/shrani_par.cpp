#include "app/shrani_par.h"

#include "app/izberi_par.h"
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

namespace kolmo {

ShraniParOkno::ShraniParOkno(ui::Ui& ui, AppState& state) : ui_(ui), s_(state)
{
    ui_.registerHandler("shrani_par", [this](const std::optional<std::string>& a) { action(a); });
}

ui::Handle ShraniParOkno::open(const std::string& par_tip)
{
    if (const ui::Handle old = window())
        ui_.close(old);
    window_ = 0;
    if (!shrani_par(s_, par_tip, w_))
        return 0;

    using ui::Kind;
    using ui::Align;
    const ui::Handle win = ui_.newWindow({.title = "Kolmo - Shranjevanje transformacijskih parametrov",
                                          .tag = "slk", .color = kParWindowColour, .width = 640, .height = 440});
    const auto add = [&](ui::Control c) { return ui_.addControl(win, std::move(c)); };
    add({.kind = Kind::Frame, .position = {0.25, 0.65, 0.5, 0.24}, .background = kParFrameColour});
    add({.kind = Kind::Text, .position = {0.3, 0.82, 0.4, 0.05}, .text = w_.napis, .background = kParFrameColour});
    add({.kind = Kind::Text, .position = {0.3, 0.75, 0.4, 0.05}, .text = w_.tipText, .background = kParFrameColour,
         .align = Align::Left});
    add({.kind = Kind::Text, .position = {0.3, 0.68, 0.22, 0.05}, .text = "Ime parametrov:",
         .background = kParFrameColour, .align = Align::Left});
    const ui::Handle ime = add({.kind = Kind::Edit, .position = {0.47, 0.69, 0.21, 0.05},
                                .background = ui::kWhite, .align = Align::Left});
    add({.kind = Kind::Frame, .position = {0.35, 0.25, 0.3, 0.38}, .background = kParFrameColour});
    add({.kind = Kind::Text, .position = {0.42, 0.54, 0.16, 0.05}, .text = "PARAMETRI",
         .background = kParFrameColour});
    add({.kind = Kind::Text, .position = {0.38, 0.28, 0.24, 0.24}, .text = w_.parText,
         .background = kParFrameColour, .monospace = true});
    add({.kind = Kind::PushButton, .position = {0.25, 0.12, 0.2, 0.08}, .text = "Shrani",
         .background = kParButtonColour, .action = "shrani_par('shrani')"});
    add({.kind = Kind::PushButton, .position = {0.55, 0.12, 0.2, 0.08}, .text = "Prekliči",
         .background = kParButtonColour, .action = "close"});
    ui_.window(win).hndlList = {ime};
    ui_.window(win).visible = true;
    window_ = win;
    return win;
}

void ShraniParOkno::action(const std::optional<std::string>& name)
{
    const ui::Handle win = ui_.current();
    if (!name || *name != "shrani" || win == 0 || win != window())
        return;
    w_.ime = ui_.control(ui_.registered(win, 1)).text;
    if (shrani_par_shrani(s_, w_))
        ui_.close(win);
}

} // namespace kolmo
