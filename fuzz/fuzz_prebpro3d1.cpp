// Spatial Varnik project files: any input either reads whole or throws FileError.
#include "input/prebpro3d1.h"
#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto r = kolmo::prebpro3d1Text(text);
        // What comes back is consistent.
        if (r.vhi.ime.size() != static_cast<std::size_t>(r.vhi.koo.rows()) ||
            r.vhv.ime.size() != static_cast<std::size_t>(r.vhv.koo.rows()) || r.vhi.koo.cols() != 6 ||
            r.vhv.koo.cols() != 6 || r.vhi.tip < 1 || r.vhi.tip > 3 || r.vhv.tip < 1 || r.vhv.tip > 3 ||
            r.rezTip < 1 || r.rezTip > 3)
            std::abort();
    } catch (const kolmo::FileError&) {
    }
    return 0;
}
