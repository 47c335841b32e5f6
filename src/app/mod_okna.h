// The tool windows: "Kolmo - Pretvorba koordinat" (mod_pret) and "Kolmo -
// Interpolacija modela geoida" (mod_intg), opened from the main window's menu
// "Orodja".  They call the same conversion and geoid code as kolmo-cli's
// `convert` and `geoid`.
//
// mod_pret reads and replaces the shared start-datum points `vhi`, so points
// loaded in the main window can be converted here and the other way round.
// Opening it sets the shared frame and button colours (AppState okvir, gumb);
// opening mod_intg sets the shared frame colour.
#pragma once

#include "app/appstate.h"
#include "platform/ui.h"

#include <functional>
#include <string>

namespace kolmo {

class UrediOkna;
class PrikOkna;

class ModPretOkno {
public:
    ModPretOkno(ui::Ui& ui, AppState& state, UrediOkna& uredi);
    ui::Handle open();

    // The start points the tool holds (and shares with the main window): the
    // file they came from, their type in the tool's choice codes
    // (PretvoriSettings::tip_vh and eli), and whether they were read just now
    // (otherwise the tool arranged or converted the shared points, which may
    // have been replaced by the main window since).
    struct Held {
        std::string name, path;
        int tip = 1, eli = 2;
        bool read = false;
    };
    // Called whenever the tool has read, arranged or converted the shared
    // start points, so that the main window can show what it now holds.
    std::function<void(const Held&)> onStartReplaced;

    // Registry slots (from 1) of the window's hndlList.
    enum Slot { VhDat = 1, Tip, Elip, Ured, Rez, IzDat, Vis, VisSis };

private:
    void action(const std::optional<std::string>& name);
    void startReplaced(ui::Handle win, bool read);

    ui::Ui& ui_;
    AppState& s_;
    UrediOkna& uredi_;
};

class ModIntgOkno {
public:
    ModIntgOkno(ui::Ui& ui, AppState& state, PrikOkna& plots);
    ui::Handle open();

    // Registry slots (from 1) of the window's hndlList.
    enum Slot { Fi1 = 1, La1, Vish, VisH, VisSis };

private:
    void action(const std::optional<std::string>& name);
    void izracunaj(ui::Handle win);

    ui::Ui& ui_;
    AppState& s_;
    PrikOkna& plots_;
};

} // namespace kolmo
