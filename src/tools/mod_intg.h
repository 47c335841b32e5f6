// mod_intg: the geoid height tool's computation ("Izracunaj"), without the
// window.  The inputs are the texts of the four edit fields and the chosen
// height system; the result is the geoid height N and, when one height was
// entered, the other height with the label of its row.
//
// The point is latitude and longitude in decimal degrees, or D96/TM n and e in
// metres when the first value is above 50 or the second above 20.  The model
// limits 45.25..46.99992 N and 13.25..16.75 E (edges included) hold for both
// height systems.  Problems are shown as error boxes titled "Napaka" through
// platform::dialogs() and give no result.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kolmo::tools {

struct IntgInput {
    std::string fi;    // latitude or n
    std::string la;    // longitude or e
    std::string vish;  // ellipsoidal height h
    std::string visH;  // height above sea level H
    int geoid = 1;     // 1 "SVS2010 (Koper)", 2 "SVS2000 (Trst)"
};

struct IntgResult {
    double fi = 0, la = 0;        // the point in decimal degrees
    double Ng = 0;                // geoid height, metres
    std::optional<double> visina; // the derived height, when h or H was given
    std::string label;            // "H (m):" (from h), "h (m):" (from H), or empty
};

// An edit field's number: "," read as the decimal point, blanks around it
// ignored; blank or not a number gives nothing.
std::optional<double> fieldNumber(std::string_view text);

std::optional<IntgResult> mod_intg_izracunaj(const IntgInput& in, const std::filesystem::path& pot_prg);

} // namespace kolmo::tools
