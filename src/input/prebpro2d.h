// Varnik project files, plane variant: the end-datum and the start-datum
// points of a plane transformation, with standard deviations.
//
//   lines 1-2          ignored
//   lines 3 ...        end-datum points, up to a line beginning with "*I"
//   "*I" and the line after it   skipped
//   following lines    start-datum points, up to a line beginning with "*R" or "*T"
//   rest               ignored
//
// Point line: the name, then X s_X Y s_Y, stored as (X, Y, s_X, s_Y).  `tip`
// is left unset; a negative standard deviation is refused.  Lines, markers,
// names and numbers as in prebpro3d1.h; a fault
// anywhere throws FileError and nothing is returned.
#pragma once

#include "platform/pointset.h"
#include "platform/textread.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo {

struct Varnik2d {
    PointSet vhi, vhv;
};

Varnik2d prebpro2d(const std::filesystem::path& dat);
Varnik2d prebpro2dText(std::string_view text);
Varnik2d prebpro2dLines(const platform::TextLines& lines);

} // namespace kolmo
