#include "app/mod_okna.h"

#include "app/prik_okna.h"
#include "app/uredi_okna.h"
#include "platform/dialogs.h"
#include "platform/numtext.h"
#include "plots/prik_geoid.h"
#include "tools/mod_intg.h"
#include "tools/mod_pret.h"

#include <cstdio>
#include <new>

namespace kolmo {
namespace {

using ui::Align;
using ui::Kind;
using ui::Position;
using ui::Rgb;

} // namespace

// ---------------------------------------------------------------- mod_pret

ModPretOkno::ModPretOkno(ui::Ui& ui, AppState& state, UrediOkna& uredi) : ui_(ui), s_(state), uredi_(uredi)
{
    ui_.registerHandler("mod_pret", [this](const std::optional<std::string>& a) { action(a); });
}

ui::Handle ModPretOkno::open()
{
    constexpr Rgb ozadje{0.2, 0.8, 0.8};
    s_.okvir = {0.2, 0.7, 0.8};
    s_.gumb = {0.2, 0.6, 0.8};
    const Rgb okvir = s_.okvir, gumb = s_.gumb;

    const ui::Handle win = ui_.newWindow({.title = "Kolmo - Pretvorba koordinat", .tag = "slk", .color = ozadje,
                                          .width = 640, .height = 420});
    const auto add = [&](ui::Control c) { return ui_.addControl(win, std::move(c)); };
    const auto frame = [&](Position p) { add({.kind = Kind::Frame, .position = p, .background = okvir}); };
    const auto text = [&](Position p, std::string t, Align align, bool bold = false) {
        return add({.kind = Kind::Text, .position = p, .text = std::move(t), .background = okvir, .align = align,
                    .bold = bold});
    };
    const auto button = [&](Position p, std::string t, std::string action, std::string tooltip = {},
                            bool bold = false) {
        return add({.kind = Kind::PushButton, .position = p, .text = std::move(t), .background = gumb,
                    .bold = bold, .tooltip = std::move(tooltip), .action = std::move(action)});
    };
    const auto popup = [&](Position p, std::vector<std::string> items, int value, std::string tooltip) {
        return add({.kind = Kind::Popup, .position = p, .items = std::move(items), .value = value,
                    .background = ui::kWhite, .tooltip = std::move(tooltip)});
    };

    frame({0.05, 0.61, 0.9, 0.23});                                                             // 1
    text({0.37, 0.77, 0.26, 0.05}, "Podatki", Align::Center, true);                             // 2
    button({0.08, 0.72, 0.2, 0.05}, "Vh. datoteka", "mod_pret('VhDat')",
           "odpri datoteko s podatki v začetnem datumu");                                      // 3
    const ui::Handle vhDat = text({0.08, 0.66, 0.15, 0.05}, "", Align::Left);                   // 4
    text({0.34, 0.71, 0.14, 0.05}, "Tip koordinat", Align::Right);                              // 5
    const ui::Handle tip = popup({0.5, 0.72, 0.2, 0.05}, {"Elipsoidne", "3R-Kartezične", "Ravninske"}, 1,
                                 "tip koordinat");                                              // 6
    text({0.34, 0.64, 0.14, 0.05}, "Elipsoid", Align::Right);                                   // 7
    const ui::Handle elip = popup({0.5, 0.65, 0.2, 0.05}, {"WGS-84", "GRS-80", "Bessel"}, 2, "tip koordinat"); // 8
    const ui::Handle ured = button({0.84, 0.68, 0.08, 0.08}, "Uredi", "mod_pret('uredi')",
                                   "uredi podatke po stolpcih in izberi zapis kotov");           // 9
    ui_.control(ured).enabled = false;
    frame({0.05, 0.42, 0.9, 0.14});                                                             // 10
    text({0.37, 0.49, 0.26, 0.05}, "Rezultati", Align::Center, true);                           // 11
    text({0.06, 0.43, 0.12, 0.05}, "Tip koordinat", Align::Right);                              // 12
    const ui::Handle rez = popup({0.19, 0.44, 0.2, 0.05},
                                 {"Elipsoidne", "3R-Kartezične", "Ravninske (x,y)", "Ravninske (y,x)"}, 3,
                                 "tip koordinat");                                              // 13
    text({0.42, 0.43, 0.07, 0.05}, "Višine", Align::Right);                                     // 14
    const ui::Handle vis = popup({0.5, 0.44, 0.16, 0.05}, {"Nadmorske", "Elipsoidne", "brez"}, 1,
                                 "tip koordinat");                                              // 15
    const ui::Handle izDat = button({0.72, 0.46, 0.2, 0.05}, "Izh. datoteka", "mod_pret('IzDat')",
                                    "izberi datoteko za zapis rezultatov");                     // 16
    frame({0.35, 0.23, 0.29, 0.13});                                                            // 17
    text({0.36, 0.29, 0.27, 0.05}, "Višinski sistem", Align::Center, true);                     // 18
    const ui::Handle visSis = popup({0.37, 0.25, 0.25, 0.05}, {"SVS2010 (Koper)", "SVS2000 (Trst)"}, 1,
                                    "visinski sistem");                                         // 19
    button({0.4, 0.05, 0.2, 0.1}, "P R E T V O R I", "mod_pret('pretvori')",
           "izvede vse potrebne izračune in zapiše rezultate", true);                           // 20
    button({0.75, 0.05, 0.2, 0.08}, "Izhod", "close");                                          // 21

    ui_.window(win).hndlList = {vhDat, tip, elip, ured, rez, izDat, vis, visSis};
    ui_.window(win).visible = true;
    return win;
}

void ModPretOkno::action(const std::optional<std::string>& name)
{
    if (!name) {
        open();
        return;
    }
    const ui::Handle win = ui_.current();
    if (win == 0 || ui_.window(win).title != "Kolmo - Pretvorba koordinat")
        return;
    platform::BusyBracket busy;
    const auto h = [&](int k) -> ui::Control& { return ui_.control(ui_.registered(win, k)); };
    try {
        if (*name == "VhDat") {
            const auto f = ui_.openFileDialog({{"*.pod", "Podatki (*.pod)"},
                                               {"*.txt", "Besedilni dokumenti (*.txt)"},
                                               {"*.*", "Vse datoteke (*.*)"}},
                                              "Podatki");
            if (!f)
                return;
            // A file that cannot be read changes nothing, its name included.
            if (!vhDat(s_.vhi, f->path()))
                return;
            std::filesystem::current_path(f->folder);
            h(VhDat).text = f->name;
            // The file the points came from, which the result must not replace.
            h(VhDat).userData = f->path().string();
            uredi_.closeFor("1");
            h(Tip).value = 1;
            h(Tip).visible = true;
            h(Ured).enabled = true;
            startReplaced(win, true);
        } else if (*name == "uredi") {
            try {
                uredi_.open(Uredi2, h(VhDat).text, std::to_string(h(Tip).value), "1");
                startReplaced(win, false);
            } catch (const std::exception& e) {
                platform::errorBoxFor(e, "Napaka pri urejanju podatkov!", "Napaka");
            }
        } else if (*name == "IzDat") {
            const auto f = ui_.saveFileDialog({{"*.str", "Rezultati (*.str)"},
                                               {"*.txt", "Besedilni dokumenti (*.txt)"},
                                               {"*.*", "Vse datoteke (*.*)"}},
                                              "Shrani kot");
            // The result goes where the user pointed, whatever the working folder.
            if (f)
                h(IzDat).userData = f->path().string();
        } else if (*name == "pretvori") {
            PretvoriSettings st;
            st.tip_vh = h(Tip).value;
            st.eli = h(Elip).value;
            st.tip_rez = h(Rez).value;
            st.vis = h(Vis).value;
            st.geoid = h(VisSis).value;
            std::vector<std::filesystem::path> inputs;
            if (!h(VhDat).userData.empty())
                inputs.emplace_back(h(VhDat).userData);
            pretvori(s_.vhi, st, h(IzDat).userData, s_.pot_prg, inputs);
            // The type chosen for the conversion is the type of the points.
            startReplaced(win, false);
        }
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Nepričakovana napaka!", "Napaka");
    }
}

void ModPretOkno::startReplaced(ui::Handle win, bool read)
{
    if (!onStartReplaced)
        return;
    const auto h = [&](int k) -> ui::Control& { return ui_.control(ui_.registered(win, k)); };
    onStartReplaced({h(VhDat).text, h(VhDat).userData, h(Tip).value, h(Elip).value, read});
}

// ---------------------------------------------------------------- mod_intg

ModIntgOkno::ModIntgOkno(ui::Ui& ui, AppState& state, PrikOkna& plots) : ui_(ui), s_(state), plots_(plots)
{
    ui_.registerHandler("mod_intg", [this](const std::optional<std::string>& a) { action(a); });
}

ui::Handle ModIntgOkno::open()
{
    constexpr Rgb ozadje{0.2, 0.8, 0.7};
    constexpr Rgb gumb{0.2, 0.6, 0.7};
    s_.okvir = {0.2, 0.7, 0.7};
    const Rgb okvir = s_.okvir;

    const ui::Handle win = ui_.newWindow({.title = "Kolmo - Interpolacija modela geoida", .tag = "slk",
                                          .color = ozadje, .width = 640, .height = 440});
    const auto add = [&](ui::Control c) { return ui_.addControl(win, std::move(c)); };
    const auto frame = [&](Position p) { add({.kind = Kind::Frame, .position = p, .background = okvir}); };
    const auto text = [&](Position p, std::string t, Align align, std::string tooltip = {}, bool bold = false) {
        return add({.kind = Kind::Text, .position = p, .text = std::move(t), .background = okvir, .align = align,
                    .bold = bold, .tooltip = std::move(tooltip)});
    };
    const auto edit = [&](Position p) {
        return add({.kind = Kind::Edit, .position = p, .background = ui::kWhite, .align = Align::Left});
    };
    const auto button = [&](Position p, std::string t, std::string action) {
        return add({.kind = Kind::PushButton, .position = p, .text = std::move(t), .background = gumb,
                    .action = std::move(action)});
    };

    frame({0.1, 0.7, 0.8, 0.23});                                                  // 1
    text({0.12, 0.8, 0.13, 0.05}, "fi / n", Align::Right);                         // 2
    text({0.12, 0.73, 0.13, 0.05}, "la / e", Align::Right);                        // 3
    const ui::Handle fi = edit({0.26, 0.81, 0.2, 0.05});                           // 4
    const ui::Handle la = edit({0.26, 0.74, 0.2, 0.05});                           // 5
    text({0.6, 0.85, 0.24, 0.05}, "Višina", Align::Center);                        // 6
    text({0.62, 0.8, 0.06, 0.05}, "h", Align::Center, "elipsoidna višina");        // 7
    const ui::Handle vish = edit({0.68, 0.81, 0.12, 0.05});                        // 8
    text({0.62, 0.73, 0.06, 0.05}, "H", Align::Center, "nadmorska višina");        // 9
    const ui::Handle visH = edit({0.68, 0.74, 0.12, 0.05});                        // 10
    frame({0.35, 0.51, 0.3, 0.13});                                                // 11
    text({0.36, 0.57, 0.27, 0.05}, "Višinski sistem", Align::Center, {}, true);    // 12
    const ui::Handle visSis = add({.kind = Kind::Popup, .position = {0.37, 0.53, 0.25, 0.05},
                                   .items = {"SVS2010 (Koper)", "SVS2000 (Trst)"}, .value = 1,
                                   .background = ui::kWhite, .tooltip = "visinski sistem"}); // 13
    frame({0.1, 0.25, 0.8, 0.2});                                                  // 14
    button({0.16, 0.31, 0.2, 0.08}, "Izračunaj", "mod_intg('Izracunaj')");         // 15
    text({0.5, 0.36, 0.24, 0.05}, "N (m):", Align::Left, "geoidna višina");        // 16
    button({0.1, 0.05, 0.2, 0.08}, "Prikaži AMG2000", "mod_intg('PrikaziT')");     // 17
    button({0.36, 0.05, 0.2, 0.08}, "Prikaži VRP2016", "mod_intg('PrikaziK')");    // 18
    button({0.75, 0.05, 0.2, 0.08}, "Izhod", "close");                             // 19

    ui_.window(win).hndlList = {fi, la, vish, visH, visSis};
    ui_.window(win).visible = true;
    return win;
}

void ModIntgOkno::action(const std::optional<std::string>& name)
{
    if (!name) {
        open();
        return;
    }
    const ui::Handle win = ui_.current();
    if (win == 0 || ui_.window(win).title != "Kolmo - Interpolacija modela geoida")
        return;
    try {
        if (*name == "Izracunaj") {
            izracunaj(win);
        } else if (*name == "PrikaziT" || *name == "PrikaziK") {
            platform::BusyBracket busy;
            plots_.open(*name == "PrikaziT" ? prikaziT(s_.pot_prg) : prikaziK(s_.pot_prg));
        }
    } catch (const std::exception& e) {
        platform::errorBoxFor(e, "Nepričakovana napaka!", "Napaka");
    }
}

void ModIntgOkno::izracunaj(ui::Handle win)
{
    const auto text = [&](int k) { return ui_.control(ui_.registered(win, k)).text; };
    tools::IntgInput in;
    in.fi = text(Fi1);
    in.la = text(La1);
    in.vish = text(Vish);
    in.visH = text(VisH);
    in.geoid = ui_.control(ui_.registered(win, VisSis)).value;
    const auto r = tools::mod_intg_izracunaj(in, s_.pot_prg);
    if (!r)
        return;
    // Each result is a new label over the last one, as the tool always did.
    const auto label = [&](Position p, std::string t, bool bold, Rgb bg) {
        ui_.addControl(win, {.kind = Kind::Text, .position = p, .text = std::move(t), .background = bg,
                             .align = Align::Left, .bold = bold});
    };
    // Heights to a tenth of a millimetre, as far as the models go.
    const auto metres = [](double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.4f", v);
        return std::string(buf);
    };
    label({0.56, 0.36, 0.12, 0.05}, metres(r->Ng), true, {0.2, 0.7, 0.7});
    if (r->visina) {
        label({0.5, 0.3, 0.14, 0.05}, r->label, false, s_.okvir);
        label({0.56, 0.3, 0.12, 0.05}, metres(*r->visina), true, s_.okvir);
    } else {
        label({0.5, 0.3, 0.2, 0.05}, std::string(43, ' '), false, s_.okvir);
    }
}

} // namespace kolmo
