// AppState: the program-wide record shared by the main window, the computation,
// the arrangement windows, the parameter windows and the tool windows.
// Members keep their short names; an empty optional is "no value yet".
#pragma once

#include "engine/records.h"
#include "plots/prik.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>

namespace kolmo {

struct AppState {
    std::optional<PointSet> vhi;  // start-datum points
    std::optional<PointSet> vhv;  // end-datum points
    std::optional<Rez> rez;       // results
    TTr t_tr;                     // settings
    Vec PAR;                      // current parameters; size 0 = none
    std::optional<Prik> prik;     // plot record of the last full computation
    std::filesystem::path pot_prg; // program folder (data files)

    // Parameter windows.
    int npar = 0;
    Mat datap;
    std::string tip_par;

    // Arrangement windows.
    Mat C, C1;
    std::string pd, tip;

    // Colours of the tool windows (RGB 0..1).
    std::array<double, 3> gumb{0.2, 0.6, 0.8};
    std::array<double, 3> okvir{0.2, 0.7, 0.8};
};

} // namespace kolmo
