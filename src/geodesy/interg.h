// interg: geoid height N (m) above GRS-80 at D96 latitude fi and longitude la
// (decimal degrees) for the height system `geoid` (1 "SVS2010 (Koper)",
// model VRP2016 from HREF_SVS2010.mat; any other value "SVS2000 (Trst)",
// model AMG2000 from AMG_2000_gd.mat).  The model files are read from the
// program folder `pot_prg`.  Throws DataFileError when a model cannot be loaded.
#pragma once

#include <filesystem>

namespace kolmo {

double interg(double fi, double la, int geoid, const std::filesystem::path& pot_prg);

} // namespace kolmo
