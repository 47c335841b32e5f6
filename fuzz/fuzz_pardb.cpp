// The parameter database reading rule.  The first byte picks the model and the
// direction; the rest is the file.  Every set read is written back as a record
// and must read back to the same name and values.
#include "app/pardb.h"
#include "platform/cp1250.h"
#include "platform/numtext.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static constexpr int kCounts[3] = {7, 4, 6};
    const int npar = kCounts[data[0] % 3];
    const std::string par_tip = (data[0] & 4) ? "1" : "2";
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    kolmo::ParSets sets;
    try {
        sets = kolmo::parseParSets(text, npar, par_tip);
    } catch (const kolmo::ParDbError&) {
        return 0;
    }
    if (sets.datap.rows() != static_cast<Eigen::Index>(sets.names.size()) || sets.datap.cols() != npar)
        std::abort();
    for (std::size_t k = 0; k < sets.names.size(); ++k) {
        const kolmo::Vec par = sets.datap.row(static_cast<Eigen::Index>(k)).transpose();
        if (!par.allFinite())
            std::abort();
        const auto& name = sets.names[k];
        if (kolmo::checkParSet(par_tip, name, par))
            continue;  // a name the saving window would refuse
        const std::string cp = kolmo::platform::toCp1250(name);
        const std::string record = "\n" + kolmo::parRecord(par_tip, cp, par);
        const auto back = kolmo::parseParSets(record, npar, par_tip);
        if (back.names.size() != 1)
            std::abort();
        for (Eigen::Index j = 0; j < npar; ++j) {
            // Written with 6 or 12 decimals: equal to within half a unit of the last one.
            const double tol = 0.5e-6 * (1 + 1e-9) + std::abs(par(j)) * 1e-15;
            if (std::abs(back.datap(0, j) - par(j)) > tol)
                std::abort();
        }
    }
    return 0;
}
