// prebsi: reads a point file into a PointSet.
//
// A point file is plain text, one point per line: the point name, then up to
// six numbers (coordinates, then standard deviations), separated by blanks or
// tabs.  Lines are trimmed and blank lines skipped; there is no comment or
// header syntax.  In the name every "%" becomes "_"; in the numbers a decimal
// comma is read as a decimal point.  Numbers after the sixth are ignored.
// Rows shorter than the widest row are filled with 0 (ReadNotes names them, so
// that the caller can warn); a file whose widest row has exactly two numbers
// gets two more columns of 1 (unit standard deviations of a plane point set).  Names are kept byte for byte (Windows-1250).
//
// The read fails as a whole with kolmo::FileError, whose text names the file,
// the line and the token: a missing file ("File not found. (...)"), a token that
// is not a finite number, a line with a name and no number, a file without any
// data line, or a file that is no text (see platform/textread.h: a NUL byte, a
// line longer than 1 MiB).  Callers show "Napacna oblika podatkov!" with that
// text as the details.  `tip` is left at 0.
#pragma once

#include "platform/pointset.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo {

// What the reading noticed besides the points, for messages that name lines.
struct ReadNotes {
    Eigen::Index width = 0;                 // numbers on the widest row (before the 1s of two-number files)
    std::vector<std::size_t> lines;         // the line of the file each point came from (from 1)
    std::vector<unsigned char> counts;      // the numbers each point's row held
    // Lines of the rows with fewer than `n` numbers: rows whose missing
    // places the reading filled with 0.
    std::vector<std::size_t> linesShorterThan(Eigen::Index n) const;
};

PointSet prebsi(const std::filesystem::path& dat, ReadNotes* notes = nullptr);

// The same reading applied to the text of a file already in memory.
PointSet prebsiText(std::string_view text, ReadNotes* notes = nullptr);

// The warning of rows completed with 0 ("Opozorilo" through the platform's
// dialogs): stored files may rely on the 0, so it is only a warning, naming
// `source`, the lines, and the `needed` numbers they lack.
void warnShortRows(const std::vector<std::size_t>& lines, Eigen::Index needed, const std::string& source);

} // namespace kolmo
