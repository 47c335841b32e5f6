// libFuzzer target: arbitrary bytes as a CSV point file.  The first byte picks
// how many numbers are kept per point (1 to 6); the rest is the file.  The
// reader must either return a consistent PointSet or throw FileError, nothing
// else; what it notes (the line of every point, the numbers of its row)
// agrees with the points; the places a short row did not fill hold 0, and
// those beyond two numbers per row the unit standard deviation 1.
#include "input/prebsi.h"
#include "platform/errors.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    kolmo::PointFileOptions options;
    options.csv = true;
    options.keep = 1 + data[0] % 6;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    try {
        kolmo::ReadNotes notes;
        const kolmo::PointSet p = kolmo::prebsiText(text, &notes, options);
        const auto rows = p.koo.rows(), cols = p.koo.cols();
        if (rows == 0 || static_cast<std::size_t>(rows) != p.ime.size() || !p.koo.allFinite())
            std::abort();
        // Columns: the widest row, cut to the kept numbers; two numbers per
        // row get unit standard deviations up to four (or the kept) columns.
        const Eigen::Index expected = notes.width == 2 ? std::min<Eigen::Index>(4, options.keep)
                                                       : std::min<Eigen::Index>(notes.width, options.keep);
        if (notes.width < 1 || notes.width > 6 || cols != expected)
            std::abort();
        for (const auto& name : p.ime)
            if (name.empty() || name.find('%') != std::string::npos)
                std::abort();
        if (notes.lines.size() != p.ime.size() || notes.counts.size() != p.ime.size())
            std::abort();
        for (std::size_t k = 0; k < notes.lines.size(); ++k) {
            if (notes.counts[k] < 1 || notes.counts[k] > notes.width || (k > 0 && notes.lines[k] <= notes.lines[k - 1]))
                std::abort();
            const auto r = static_cast<Eigen::Index>(k);
            for (Eigen::Index c = notes.counts[k]; c < std::min<Eigen::Index>(notes.width, cols); ++c)
                if (p.koo(r, c) != 0)
                    std::abort();
            if (notes.width == 2)
                for (Eigen::Index c = 2; c < cols; ++c)
                    if (p.koo(r, c) != 1)
                        std::abort();
        }
    } catch (const kolmo::FileError&) {
    }
    return 0;
}
