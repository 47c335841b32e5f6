// libFuzzer target: arbitrary bytes as a point file.  The reader must either
// return a consistent PointSet or throw FileError; nothing else.
#include "input/prebsi.h"
#include "platform/errors.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        const kolmo::PointSet p =
            kolmo::prebsiText(std::string_view(reinterpret_cast<const char*>(data), size));
        const auto cols = p.koo.cols();
        if (p.koo.rows() == 0 || static_cast<std::size_t>(p.koo.rows()) != p.ime.size() || cols < 1 || cols > 6 ||
            cols == 2 || !p.koo.allFinite())
            std::abort();
        for (const auto& name : p.ime)
            if (name.empty() || name.find('%') != std::string::npos)
                std::abort();
    } catch (const kolmo::FileError&) {
    }
    return 0;
}
