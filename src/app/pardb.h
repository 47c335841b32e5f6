// The parameter database: named transformation parameter sets kept in three
// text files in the program folder, one per model.
//
//   7 parameters (3R: 7-parametrična)  t7.par   dx dy dz [m], alfa beta gama ["], dm [ppm]
//   4 parameters (2R: 4-parametrična)  t4.par   a b [1], c d [m]
//   6 parameters (2R: 6-parametrična)  t6.par   a1 a2 [1], a3 [m], b1 b2 [1], b3 [m]
//
// One record per line, written as a line feed followed by the fields, so a file
// the program creates starts with an empty line and has no line feed after its
// last record.  Fields, separated by commas: the direction code ("2" into D96
// from D48, "1" into D48 from D96), the set name, then the parameters in the
// order of PAR.  Records are only ever appended; existing ones are never
// rewritten.
//
// Reading: the whole file is split into fields at commas and line ends, blanks
// around a field dropped, empty fields left out; the fields are taken in groups
// of npar + 2 and fields left over after the last whole group are ignored.
// Names are stored in the Windows-1250 code page and handled as UTF-8 in the
// program.
#pragma once

#include "platform/pointset.h"
#include "platform/errors.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo {

inline constexpr std::string_view kParFileMissing = "Ne najdem datoteke s parametri!";
inline constexpr std::string_view kParFileBad = "Napaka v datoteki s parametri!";
inline constexpr std::string_view kParTitle = "Napaka";

// A database file that is missing or breaks the reading rule.  what() is the
// Slovene message of the error box; its title is kParTitle; details() says
// what was found where, for the box's details.
class ParDbError : public FileError {
public:
    explicit ParDbError(const std::string& message, std::string details = {})
        : FileError(message), details_(std::move(details))
    {
    }
    const std::string& details() const { return details_; }

private:
    std::string details_;
};

// "t7.par", "t4.par" or "t6.par"; empty for any other count.
std::string parFileName(int npar);
// The database file of `npar` parameters in the program folder.
std::filesystem::path parFilePath(const std::filesystem::path& pot_prg, int npar);

// The sets of one direction, in file order: names (UTF-8) and one row of
// `datap` per set.
struct ParSets {
    Names names;
    Mat datap;
};

// The reading rule applied to a file's text: the groups whose direction code
// equals `par_tip` exactly.  Throws ParDbError(kParFileBad) for a direction code
// of another length than `par_tip`, in a group of that direction a parameter
// that is no number, or a text that is none (a NUL byte, a line over 1 MiB).
ParSets parseParSets(std::string_view text, int npar, const std::string& par_tip);
// The same rule applied to the fields already split.
ParSets parseParFields(const std::vector<std::string>& fields, int npar, const std::string& par_tip);

// How much of a database a reading checks: `rule` is the reading rule above
// (the selection window's: other directions skipped, left-over fields
// ignored); `whole` is kolmo-cli's, which, like the append, refuses a file it
// cannot read whole: a record cut short, a parameter of any direction that is
// no number.  Either way a damaged file is ParDbError(kParFileBad) whose
// details are "<file>, line <n>: <what>", and a folder in the file's place
// is damaged, not missing.
enum class ParReading { rule, whole };

// Reads the database of `npar` parameters.  Throws ParDbError(kParFileMissing)
// when the file does not exist and ParDbError(kParFileBad) as above.
ParSets readParSets(const std::filesystem::path& pot_prg, int npar, const std::string& par_tip,
                    ParReading reading = ParReading::rule);

// The first set called `name` among those of direction `par_tip`; nullopt when
// there is none.  Throws ParDbError as readParSets.
std::optional<Vec> findParSet(const std::filesystem::path& pot_prg, int npar,
                              const std::string& par_tip, const std::string& name,
                              ParReading reading = ParReading::rule);

// The record line of a set, without the leading line feed: "2,name,v1,...".
// Dimensionless plane coefficients get 12 decimals, everything else 6.
// Expects a checked name (see checkParSet) and 4, 6 or 7 values.
std::string parRecord(const std::string& tip_par, const std::string& nameCp1250, const Vec& PAR);

// Why a set cannot be stored, as the text of the error box; nullopt when it can.
// Refused: a name that is empty or blank, or holds a comma or a line break (it
// would shift every later record out of its group), or that Windows-1250
// cannot hold (it would be stored as '?' and never be found by its name), a direction code other
// than "1" or "2", a count other than 4, 6 or 7, values that are not finite,
// a scale change of -10^6 ppm or less (the network would shrink to a point).
std::optional<std::string> checkParSet(const std::string& tip_par, const std::string& name, const Vec& PAR);

// Appends one record to the database of PAR's size, creating the file when it
// is missing, through platform::appendLocked: the record goes out in one write
// under an exclusive advisory lock, so that concurrent savers leave every
// record whole; a write that does not land whole is taken back.  A file whose
// fields do not end on a whole record is left alone, as a new record would not
// line up.  A name that a set of the same direction already has is refused
// ("Parametri s tem imenom že obstajajo!"): sets are chosen by name, and the
// new one could never be.  On any failure the error box (title "Napaka") says
// why the parameters were not saved, its details what was found, and the
// function returns false.
bool appendParSet(const std::filesystem::path& pot_prg, const std::string& tip_par,
                  const std::string& name, const Vec& PAR);

// The checks of appendParSet made before a computation whose parameters are
// to be saved (kolmo-cli transform --save-params): the name, the records of
// the database (when there is one) and that no set of the direction has the
// name.  Shows the same error box and returns false when the set could not be
// appended; the append itself checks again under its lock.
bool canAppendParSet(const std::filesystem::path& pot_prg, const std::string& tip_par, int npar,
                     const std::string& name);

// Parameter display of both windows: one line per parameter, numbers aligned on
// the decimal point; seven parameters carry the labels "  dx: " ... "  dm: ".
std::string parDisplay(const Vec& PAR);

// Direction code of the main window: "2" when the target is a D96 type, "1"
// when it is D48/GK.  `tTrTip` is the transformation type, `tip3` the position
// in the list "Transf. koordinate".
std::string par_tip(int tTrTip, int tip3);

} // namespace kolmo
