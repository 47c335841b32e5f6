// Where Kolmo's programs find their data files: the geoid models, the border
// and the parameter database that together make the program folder `pot_prg`.
//
// Two layouts are recognised, from the folder of the running executable:
//
//   a program folder   <folder>/kolmo, <folder>/kolmo-cli, <folder>/data/
//                      (the build tree, or a folder unpacked anywhere): the
//                      data/ folder is the program folder, as it always was;
//   an installed tree  <prefix>/bin/kolmo, <prefix>/share/kolmo/ (the GNU
//                      layout of `cmake --install` and of the Debian package).
//
// In an installed tree the shared folder belongs to the package manager and
// is read-only for users, while the parameter database is appended to by the
// saving window and `kolmo-cli params add`.  So an installed program works in
// the user's own folder, $XDG_DATA_HOME/kolmo (~/.local/share/kolmo by
// default): the first run copies the shipped t7.par, t4.par and t6.par there
// and links every other data file to its shipped copy, so that one folder still
// holds all of them.  The user's database is never replaced afterwards: records
// saved there stay, and sets added to a later package reach only new users.
// When that folder cannot be made (no home, a read-only home), the shared
// folder is used: everything reads, and a save fails with its error box.
#pragma once

#include <filesystem>

namespace kolmo::platform {

// The data folder shipped beside a program whose executable lies in
// `exeFolder`: <exeFolder>/data when it is a folder, else <exeFolder>/../share/kolmo
// when that is one; empty when neither is.
std::filesystem::path findShippedData(const std::filesystem::path& exeFolder);

// Whether `shipped` is the share/kolmo folder of an installed tree (rather
// than a program folder's data/).
bool isInstalledData(const std::filesystem::path& shipped);

// $XDG_DATA_HOME/kolmo when XDG_DATA_HOME holds an absolute path, else
// $HOME/.local/share/kolmo; empty without either.
std::filesystem::path userDataFolder();

// Makes `user` a program folder over `shipped`: creates it, copies each
// shipped *.par file that it lacks, and links each other shipped file that it
// lacks (or whose link no longer leads anywhere).  Returns `user`, or
// `shipped` when the folder cannot be made or filled.  Safe against another
// Kolmo starting at the same moment: a file is put in place in one step and
// never over one that is there.
std::filesystem::path prepareUserFolder(const std::filesystem::path& shipped, const std::filesystem::path& user);

// The program folder of the running program, by the rules above.  Where no
// data are found it is <executable folder>/data (or ./data), so that the
// messages about a missing file name the place where it belongs.
std::filesystem::path programDataDir();

} // namespace kolmo::platform
