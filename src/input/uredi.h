// The "Urejanje podatkov" windows as window-free logic: which file column holds
// which coordinate or standard deviation, and in which notation the file
// writes its angles.
//
//   Uredi    spatial point sets: six fields, coordinates then standard
//            deviations ("fi", "la", "h", "s_fi", "s_la", "s_h" for D96/fi_la,
//            "x (n)", "y (e)", "H", "s_n", "s_e", "s_H" for plane types)
//   Uredi2d  plane point sets: "x (n)", "y (e)", "s_n", "s_e"
//   Uredi2   the conversion tool: three coordinates of the tool's input type
//
// urediOpen builds what the window shows when it opens; uveljavi is its
// UVELJAVI button: it arranges the file matrix C into C1 by the selected field
// of every column, completes missing standard deviations and converts the
// angles; the caller writes C1 back into the point set when it succeeds.
#pragma once

#include "platform/errors.h"
#include "platform/pointset.h"

#include <optional>
#include <string>
#include <vector>

namespace kolmo {

enum UrediKind { Uredi, Uredi2d, Uredi2 };

struct UrediWindow {
    std::string title;                // "Kolmo - Urejanje podatkov" / "... 2"
    std::string dat;                  // file name shown in the window
    std::string typeText;             // "Elipsoidne", "Ravninske", "3R-Kartezicne"
    int ns = 0;                       // number of file columns
    std::vector<std::string> fields;  // items of every field selector
    std::vector<int> preset;          // preset item per selector (1-based)
    std::vector<bool> visible;        // selector (and its column label) shown
    bool angleSelector = false;       // "Format zapisa kotov:" shown
    int anglePreset = 1;              // preset notation (2 "ddd.mmssss" when shown)
    std::string firstRow;             // first row of C, e.g. "[46.0512  14.3021  300.5]"
};

// Item texts of the angle notation selector.
const std::vector<std::string>& angleNotations();

// Opens the window for the matrix C (koo of the point set being arranged) with
// the coordinate type index `tip` ("1", "2" or "3").  Throws kolmo::Error when
// the window cannot be built: no points, an unknown type, a plane window for a
// file of more than four columns, or a conversion-tool window for fewer than
// three columns.  Callers show "Napaka pri urejanju podatkov!" titled "Napaka".
UrediWindow urediOpen(UrediKind kind, const std::string& dat, const std::string& tip, const Mat& C);

// UVELJAVI.  S holds the selected item of every selector (1-based, shown or
// not); kot the angle notation (1-3).  C1 keeps what an earlier UVELJAVI wrote
// and is updated in place.  Returns false, with nothing to write back, when
// the arrangement cannot be made (a selection out of range, too few columns
// for the completion, or an angle conversion that fails); rows converted
// before the failure stay converted in C1.
// When `why` is given it receives the reason of a failure, and `failedRow` the
// row (from 0) of an angle that could not be converted (-1 otherwise).
bool uveljavi(UrediKind kind, const std::string& tip, const Mat& C, Mat& C1, const std::vector<int>& S, int kot,
              std::string* why = nullptr, Eigen::Index* failedRow = nullptr);

// The failure of arrange(): what() is the box text "Napaka pri urejanju
// podatkov!"; `reason` says what went wrong and `row` (from 0) names the row
// of an angle that could not be converted (-1 when no row is to blame).
class ArrangeError : public Error {
public:
    ArrangeError(std::string reason_, Eigen::Index row_)
        : Error("Napaka pri urejanju podatkov!"), reason(std::move(reason_)), row(row_)
    {
    }
    std::string reason;
    Eigen::Index row;
};

// Open and UVELJAVI in one step (kolmo-cli): `fields` gives the field number
// of each file column from the first (selectors not named keep their presets;
// all presets when absent), `kot` the angle notation.  Returns the arranged
// matrix; throws ArrangeError (what(): "Napaka pri urejanju podatkov!") on failure.
Mat arrange(UrediKind kind, const std::string& tip, const Mat& koo, const std::optional<std::vector<int>>& fields,
            int kot);

} // namespace kolmo
