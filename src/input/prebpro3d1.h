// Varnik project files, spatial variant (`*.pod`, `*.in`): both point lists of
// a transformation in one file, each under a three-line coordinate type header,
// and the type of the results after the second list.
//
//   line 1            title, ignored
//   lines 2-4         type header of the end-datum list
//   lines 5 ...       end-datum points, up to a line beginning with "*I"
//   next 3 lines      type header of the start-datum list
//   following lines   start-datum points, up to a line beginning with "*R" or "*T"
//   next 3 lines      type header of the results
//   rest              ignored
//
// Line positions count the lines the text reader delivers: trimmed, with empty
// lines left out, so blank lines anywhere in the file do not shift anything.
// Markers and header letters are compared ignoring case.
//
// Type header (h1, h2, h3; only the first characters count), rows tried in order:
//   "E"   / "E" / "W" or "G"   -> 1 (D96/fi_la)
//   "G M" / "O" / "W" or "G"   -> 2 (D96/TM)
//   "G M" / "O" / "B"          -> 3 (D48/GK)
//
// Point lines: the name, then for type 1 ten numbers (fi deg min sec s_fi,
// la deg min sec s_la, h s_h) stored as (fi, la, h, s_fi, s_la, s_h) in decimal
// degrees; for types 2 and 3 six numbers (y s_y x s_x H s_H) stored as
// (x, y, H, s_x, s_y, s_H).  Numbers take a decimal point only; fields after
// the layout are ignored.  Every "%" in a name becomes "_".  Values no survey
// can hold are refused: minutes or seconds outside 0 to 60, a latitude beyond
// the poles, a negative standard deviation.
//
// All or nothing: any fault throws FileError, whose text names the file and the
// line, and nothing is returned.  A type
// header that matches no row first shows the error box "Napacen tip koordinat!"
// titled "Napaka"; the caller then shows its own "Napaka v zapisu datoteke!".
#pragma once

#include "platform/pointset.h"
#include "platform/textread.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo {

struct Varnik3d {
    PointSet vhi, vhv;  // start-datum and end-datum points, with `tip` set
    int rezTip = 0;     // coordinate type of the results
};

Varnik3d prebpro3d1(const std::filesystem::path& dat);
// The same, for the file's text already in memory.
Varnik3d prebpro3d1Text(std::string_view text);
// The same, for the lines the text reader delivered.
Varnik3d prebpro3d1Lines(const platform::TextLines& lines);

// Name of the results report for a project file: the part of the file name
// before its first "." followed by ".str" ("mreza.pod" -> "mreza.str",
// "a.b.pod" -> "a.str").  A folder part, if given, is dropped.
std::string varnikResultName(const std::string& fileName);

} // namespace kolmo
