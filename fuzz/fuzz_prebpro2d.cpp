// Plane Varnik project files: any input either reads whole or throws FileError.
#include "input/prebpro2d.h"
#include "platform/errors.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const auto r = kolmo::prebpro2dText(text);
        if (r.vhi.ime.size() != static_cast<std::size_t>(r.vhi.koo.rows()) ||
            r.vhv.ime.size() != static_cast<std::size_t>(r.vhv.koo.rows()) || r.vhi.koo.cols() != 4 ||
            r.vhv.koo.cols() != 4)
            std::abort();
    } catch (const kolmo::FileError&) {
    }
    return 0;
}
