// The outputs of a run checked before anything is computed, so that a run
// that cannot write all of its files fails at once and writes none of them.
//
// programDataFiles: the files of the program folder that computations read
// (geoid models, the border, the parameter database, the national model and
// its height offsets); an output must never
// replace one of them.
//
// checkPlotsFolder: the folder of the exported plots is a folder (or does not
// exist yet and can be made), and every plot file it will get can be replaced
// (platform::checkOutputFile).  Throws FileError naming the path and why.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kolmo {

std::vector<std::filesystem::path> programDataFiles(const std::filesystem::path& pot_prg);

void checkPlotsFolder(const std::filesystem::path& dir, const std::vector<std::string>& fileNames);

} // namespace kolmo
