// izhod_tock: the transformed points of a computation as a point file
// (kolmo-cli transform --out): one line per point, the name, the two
// coordinates in the output type and the chosen order, then the height.
//
// Plain form: the name padded to 12 characters, then the numbers separated by
// blanks, as Kolmo reads point files back.  CSV form (chosen for a file named
// *.csv): a header line "name,x,y,H" ("name,y,x,H" in the order y, x;
// "name,fi,la,h" for latitude and longitude; "name,x,y" for the plane models,
// which carry no height), then comma-separated fields; a name holding a
// comma, a semicolon, a quote or outer blanks is quoted, with "" for a quote.
//
// Decimals: `precision` for values in metres (default 3, millimetres) and six
// more for degrees (default 9, about 0.1 mm).  A height the computation could
// not give (a point outside the geoid model) is written "NaN" in the plain
// form and left empty in CSV.  Names come in Windows-1250, as the point
// files hold them: the plain form writes them as they are (Windows-1250, like
// the reports), CSV in UTF-8 (the encoding of every CSV and GIS output of
// Kolmo, whatever the input's); lines end with a bare line feed.  The file goes through platform::FileWriter: in place only at
// commit(), or to the standard output.
#pragma once

#include "app/izracun.h"
#include "platform/files.h"

#include <string>

namespace kolmo {

class IzhodTock : public PointSink {
public:
    // `yx`: plane coordinates in the order y (easting), x (northing).
    IzhodTock(platform::FileWriter file, bool csv, bool yx, int precision = 3);

    void begin(int coordinateType, bool heights) override;
    void point(const std::string& name, double a, double b, double h) override;

    // Whether the computation handed on its points (it may only estimate, or
    // stop before it has all of them).
    bool started() const { return started_; }
    // Puts the file in place (or flushes the standard output).
    void commit();

    // Why a name cannot stand in the plain form (it holds a blank or a tab, so
    // that reading would split it); empty when it can.
    static std::string plainNameProblem(const std::string& name);

private:
    platform::FileWriter file_;
    bool csv_, yx_;
    int precision_;
    bool started_ = false, heights_ = true, degrees_ = false;
    std::string chunk_;
};

} // namespace kolmo
