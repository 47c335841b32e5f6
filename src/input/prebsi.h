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
// CSV point files (a name ending in ".csv" in any letter case, or
// PointFileOptions::csv) hold the same rows as fields, the way spreadsheets
// and GIS programs write them:
//  - fields are separated by commas, or by semicolons when the first line
//    holds a semicolon outside quotes; with semicolons a decimal comma is
//    read as a decimal point (the spreadsheet form of countries that write
//    decimal commas), with commas only the decimal point is a number's;
//  - blanks and tabs around a field are dropped; a field may be enclosed in
//    double quotes, inside which separators are text and "" stands for one
//    quote (a name such as "T 1, north"); a quote left open ends the reading;
//  - the first line is a header (left out) when none of its fields after the
//    first is a number, as in "name,x,y,H"; a header "name,y,x,..." (what
//    kolmo-cli writes for --order yx) puts the first two numbers in the order
//    x, y;
//  - names are taken as UTF-8 when all of them are valid UTF-8 (and some are
//    not plain ASCII) and every character has a code in Windows-1250, and
//    are then kept in Windows-1250 like those of other files; otherwise as
//    Windows-1250 bytes;
//  - the first field is the name, the next ones up to six the numbers; empty
//    fields at the end of a row are left out (the row is short), an empty
//    field before a number is refused.
// Lines, byte-order mark, the bound on line length and NUL bytes are those of
// the text reader (platform/textread.h) for both forms.
//
// The file name "-" stands for the standard input, read with the same bounds.
//
// The read fails as a whole with kolmo::FileError, whose text names the file,
// the line and the token: a missing file ("File not found. (...)"), a token that
// is not a finite number, a line with a name and no number, a file without any
// data line, or a file that is no text (see platform/textread.h: a NUL byte, a
// line longer than 1 MiB).  Callers show "Napacna oblika podatkov!" with that
// text as the details.  `tip` is left at 0.
//
// Memory: the numbers are gathered in blocks and moved into the matrix column
// by column, so that reading n points takes about the size of the points
// themselves (a name and the numbers kept per point), not a multiple of it.
#pragma once

#include "platform/pointset.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolmo {

namespace platform {
class LineReader;
}

// What the reading noticed besides the points, for messages that name lines.
struct ReadNotes {
    Eigen::Index width = 0;                 // numbers on the widest row (before the 1s of two-number files)
    std::vector<std::size_t> lines;         // the line of the file each point came from (from 1)
    std::vector<unsigned char> counts;      // the numbers each point's row held
    // Lines of the rows with fewer than `n` numbers: rows whose missing
    // places the reading filled with 0.
    std::vector<std::size_t> linesShorterThan(Eigen::Index n) const;
};

struct PointFileOptions {
    // CSV or blank-separated; by default by the file's name.
    std::optional<bool> csv;
    // Numbers kept per point (1 to 6): the matrix holds at most this many
    // columns; ReadNotes still counts every number of a row.  A reader that
    // uses three coordinates keeps three and saves the memory of the rest.
    Eigen::Index keep = 6;
};

// Whether a file of this name is read as CSV: its extension is ".csv" in any
// letter case.
bool isCsvName(const std::filesystem::path& file);

PointSet prebsi(const std::filesystem::path& dat, ReadNotes* notes = nullptr, const PointFileOptions& options = {});

// The same reading from an open reader (the source of its messages), CSV when
// options.csv is true.
PointSet prebsi(platform::LineReader& reader, ReadNotes* notes, const PointFileOptions& options);

// The same reading applied to the text of a file already in memory
// (blank-separated unless options.csv).
PointSet prebsiText(std::string_view text, ReadNotes* notes = nullptr, const PointFileOptions& options = {});

// The same rows one at a time, for computations that stream their points
// (kolmo-cli migrate): a file of any length is read in blocks and never held
// whole.  next() gives the name (every "%" made "_") and the numbers of the
// next row (up to six; `count` of them), false at the end; a row that breaks
// the rules throws the FileError prebsi throws, naming the line.  A file
// without any row is for the caller to refuse.
class PointRows {
public:
    explicit PointRows(const std::filesystem::path& dat, const PointFileOptions& options = {});
    ~PointRows();
    PointRows(const PointRows&) = delete;
    PointRows& operator=(const PointRows&) = delete;

    bool next(std::string& name, std::array<double, 6>& numbers, int& count);
    // The line of the row last given (from 1).
    std::size_t lineNumber() const;
    // Bytes of the file read so far.
    std::uint64_t bytesRead() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The warning of rows completed with 0 ("Opozorilo" through the platform's
// dialogs): stored files may rely on the 0, so it is only a warning, naming
// `source`, the lines, and the `needed` numbers they lack.
void warnShortRows(const std::vector<std::size_t>& lines, Eigen::Index needed, const std::string& source);

} // namespace kolmo
