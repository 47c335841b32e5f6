#include "migrate/valid_area.h"

#include "platform/errors.h"
#include "plots/prik_obod.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>

namespace kolmo {

ValidArea::ValidArea(const Mat& border, double margin) : margin_(margin)
{
    if (border.cols() != 2)
        throw DataFileError("the national border must have two columns (easting, northing)");
    for (Eigen::Index k = 0; k < border.rows(); ++k) {
        const double e = border(k, 0), n = border(k, 1);
        if (!std::isfinite(e) || !std::isfinite(n))
            throw DataFileError("the national border has a vertex that is not a number (row " +
                                std::to_string(k + 1) + ")");
        if (!e_.empty() && e == e_.back() && n == n_.back())
            continue;
        e_.push_back(e);
        n_.push_back(n);
    }
    if (e_.size() > 1 && e_.front() == e_.back() && n_.front() == n_.back()) {
        e_.pop_back();
        n_.pop_back();
    }
    if (e_.size() < 3)
        throw DataFileError("the national border needs at least three vertices");

    const auto [eMin, eMax] = std::minmax_element(e_.begin(), e_.end());
    const auto [nMin, nMax] = std::minmax_element(n_.begin(), n_.end());
    // Beyond the box widened by the margin every point is farther than the
    // margin from the border: the grid covers the box and a cell more.
    e0_ = *eMin - margin_ - cell_;
    n0_ = *nMin - margin_ - cell_;
    cols_ = static_cast<long>(std::ceil((*eMax + margin_ + cell_ - e0_) / cell_));
    rows_ = static_cast<long>(std::ceil((*nMax + margin_ + cell_ - n0_) / cell_));
    cells_.assign(static_cast<std::size_t>(cols_ * rows_), kEdge);

    // Blocks of 8 x 8 cells first: most lie wholly inside or outside, and
    // only the blocks along the margin's edge are looked at cell by cell.
    constexpr long kBlock = 8;
    const double cellHalf = cell_ * std::sqrt(0.5), blockHalf = kBlock * cellHalf;
    for (long br = 0; br < rows_; br += kBlock)
        for (long bc = 0; bc < cols_; bc += kBlock) {
            const Cell whole = classify(e0_ + (static_cast<double>(bc) + kBlock / 2.0) * cell_,
                                        n0_ + (static_cast<double>(br) + kBlock / 2.0) * cell_, blockHalf);
            for (long r = br; r < std::min(br + kBlock, rows_); ++r)
                for (long c = bc; c < std::min(bc + kBlock, cols_); ++c)
                    cells_[static_cast<std::size_t>(r * cols_ + c)] =
                        whole != kEdge ? whole
                                       : classify(e0_ + (static_cast<double>(c) + 0.5) * cell_,
                                                  n0_ + (static_cast<double>(r) + 0.5) * cell_, cellHalf);
        }
}

const ValidArea& ValidArea::of(const std::filesystem::path& dataDir)
{
    static std::mutex mutex;
    static std::map<std::filesystem::path, std::unique_ptr<ValidArea>> areas;
    const std::lock_guard lock(mutex);
    auto& slot = areas[dataDir];
    if (!slot) {
        const Mat border = loadMeja(dataDir);
        try {
            slot = std::make_unique<ValidArea>(border);
        } catch (const DataFileError& e) {
            throw DataFileError((dataDir / "meja_rs.mat").string() + ": " + e.what());
        }
    }
    return *slot;
}

// A square of the given half diagonal around (e, n): wholly within the area,
// wholly outside it, or across its edge.
ValidArea::Cell ValidArea::classify(double e, double n, double halfDiagonal) const
{
    const double d = distanceOutside(e, n);
    if (d + halfDiagonal <= margin_)
        return kIn;
    if (d - halfDiagonal > margin_)
        return kOut;
    return kEdge;
}

double ValidArea::distanceOutside(double e, double n) const
{
    // Inside by the crossings of a ray towards +e (even-odd rule), and the
    // nearest point of every edge.
    bool inside = false;
    double best = std::numeric_limits<double>::infinity();
    const std::size_t count = e_.size();
    for (std::size_t i = 0, j = count - 1; i < count; j = i++) {
        const double ei = e_[i], ni = n_[i], ej = e_[j], nj = n_[j];
        if ((ni > n) != (nj > n) && e < ei + (n - ni) * (ej - ei) / (nj - ni))
            inside = !inside;
        const double de = ej - ei, dn = nj - ni, length2 = de * de + dn * dn;
        double t = length2 > 0 ? ((e - ei) * de + (n - ni) * dn) / length2 : 0.0;
        t = std::clamp(t, 0.0, 1.0);
        const double pe = ei + t * de - e, pn = ni + t * dn - n;
        best = std::min(best, pe * pe + pn * pn);
    }
    return inside ? 0.0 : std::sqrt(best);
}

bool ValidArea::contains(double e, double n) const
{
    if (!std::isfinite(e) || !std::isfinite(n))
        return false;
    const double c = std::floor((e - e0_) / cell_), r = std::floor((n - n0_) / cell_);
    if (c < 0 || r < 0 || c >= static_cast<double>(cols_) || r >= static_cast<double>(rows_))
        return false;
    const auto cell = cells_[static_cast<std::size_t>(static_cast<long>(r) * cols_ + static_cast<long>(c))];
    if (cell != kEdge)
        return cell == kIn;
    return distanceOutside(e, n) <= margin_;
}

} // namespace kolmo
