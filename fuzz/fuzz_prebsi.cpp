// libFuzzer target: arbitrary bytes as a point file.  The reader must either
// return a consistent PointSet or throw FileError; nothing else.  What it
// notes besides (the line of every point, the numbers on its row) agrees with
// the points.
#include "input/prebsi.h"
#include "platform/errors.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        kolmo::ReadNotes notes;
        const kolmo::PointSet p =
            kolmo::prebsiText(std::string_view(reinterpret_cast<const char*>(data), size), &notes);
        const auto cols = p.koo.cols();
        if (p.koo.rows() == 0 || static_cast<std::size_t>(p.koo.rows()) != p.ime.size() || cols < 1 || cols > 6 ||
            cols == 2 || !p.koo.allFinite())
            std::abort();
        for (const auto& name : p.ime)
            if (name.empty() || name.find('%') != std::string::npos)
                std::abort();
        if (notes.lines.size() != p.ime.size() || notes.counts.size() != p.ime.size() || notes.width < 1 ||
            notes.width > 6 || (notes.width == 2 ? cols != 4 : cols != notes.width))
            std::abort();
        for (std::size_t k = 0; k < notes.lines.size(); ++k) {
            if (notes.counts[k] < 1 || notes.counts[k] > notes.width || (k > 0 && notes.lines[k] <= notes.lines[k - 1]))
                std::abort();
            // The places a short row did not fill hold 0.
            for (Eigen::Index c = notes.counts[k]; c < notes.width; ++c)
                if (p.koo(static_cast<Eigen::Index>(k), c) != 0)
                    std::abort();
        }
    } catch (const kolmo::FileError&) {
    }
    return 0;
}
