// mod_pret: the coordinate conversion tool ("Pretvorba koordinat") without its
// window.  Points of one file are converted between ellipsoidal, Cartesian and
// plane (transverse Mercator, zone of 15 deg E) coordinates on one ellipsoid,
// with optional geoid heights, and written to a text file.  No datum
// transformation is involved.
//
// Choice codes (the tool's pop-up values):
//   tip_vh   1 "Elipsoidne", 2 "3R-Kartezične", 3 "Ravninske"
//   eli      1 "WGS-84", 2 "GRS-80", 3 "Bessel"
//   tip_rez  1 "Elipsoidne", 2 "3R-Kartezične", 3 "Ravninske (x,y)", 4 "Ravninske (y,x)"
//   vis      1 "Nadmorske", 2 "Elipsoidne", 3 "brez"
//   geoid    1 "SVS2010 (Koper)", 2 "SVS2000 (Trst)"
#pragma once

#include "input/prebsi.h"
#include "platform/pointset.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kolmo {

class PointSink;

struct PretvoriSettings {
    int tip_vh = 1;
    int eli = 2;
    int tip_rez = 3;
    int vis = 1;
    int geoid = 1;
};

// VhDat: reads the input file into vhi with its coordinates cut to the first
// three columns.  On failure shows "Napacna oblika podatkov!" titled "Napaka
// pri branju datoteke" (the cause as details), leaves vhi as it was and
// returns false.  Rows with fewer than three numbers, filled with 0, are
// named in a warning.  A file of two numbers per point has no third
// coordinate: the reading adds unit standard deviations as its columns 3 and
// 4, and the first of them would be taken as a height of 1 m; the third
// coordinate is 0 instead, with a warning.  `notes` receives what the reading
// noticed (the line of each point).  The file is read as CSV or not as
// `csv` says, by default by its name; "-" is the standard input.
bool vhDat(std::optional<PointSet>& vhi, const std::filesystem::path& file, ReadNotes* notes = nullptr,
           std::optional<bool> csv = std::nullopt);

// P R E T V O R I: converts vhi and writes the result file `izhod` (Windows-1250,
// bare line feeds, replacing an existing file in one step; "-" is the standard
// output).  The lines are written as the points are converted, so that only
// the input points are held.  Plane input
// coordinates above 5 000 000 lose their zone digit in vhi itself.  Geoid
// heights come from the models in the program folder pot_prg.  Every failure
// shows its error box (titled "Napaka", the cause as details) and returns
// false; nothing is written then.  A result file that is one of `inputs` (the
// input file the points came from) is refused before anything is converted:
// "Izhodna datoteka je enaka vhodni!".
//
// With a `sink` the converted points go to it instead of the result file
// (kolmo-cli convert writing a GIS layer): begin() with the type 1 for
// latitude and longitude (degrees), 2 for plane or Cartesian coordinates,
// then each point as x, y (or latitude, longitude; X, Y) and the height, in
// that order whatever tip_rez says of the columns.  `izhod` then only names
// the output for the check against the inputs; the caller puts the sink's
// output in place.
bool pretvori(std::optional<PointSet>& vhi, const PretvoriSettings& s, const std::string& izhod,
              const std::filesystem::path& pot_prg, const std::vector<std::filesystem::path>& inputs = {},
              PointSink* sink = nullptr);

} // namespace kolmo
