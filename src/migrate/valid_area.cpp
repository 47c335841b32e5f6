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
    std::vector<double> e, n;
    for (Eigen::Index k = 0; k < border.rows(); ++k) {
        const double pe = border(k, 0), pn = border(k, 1);
        if (!std::isfinite(pe) || !std::isfinite(pn))
            throw DataFileError("the national border has a vertex that is not a number (row " +
                                std::to_string(k + 1) + ")");
        if (!e.empty() && pe == e.back() && pn == n.back())
            continue;
        e.push_back(pe);
        n.push_back(pn);
    }
    if (e.size() > 1 && e.front() == e.back() && n.front() == n.back()) {
        e.pop_back();
        n.pop_back();
    }
    if (e.size() < 3)
        throw DataFileError("the national border needs at least three vertices");
    for (std::size_t i = 0, j = e.size() - 1; i < e.size(); j = i++) {
        const double de = e[j] - e[i], dn = n[j] - n[i];
        segments_.push_back({e[i], n[i], de, dn, 1.0 / (de * de + dn * dn)});
    }

    const auto [eMin, eMax] = std::minmax_element(e.begin(), e.end());
    const auto [nMin, nMax] = std::minmax_element(n.begin(), n.end());
    // Beyond the box widened by the margin every point is farther than the
    // margin from the border: the grid covers the box and a cell more.
    e0_ = *eMin - margin_ - cell_;
    n0_ = *nMin - margin_ - cell_;
    cols_ = static_cast<long>(std::ceil((*eMax + margin_ + cell_ - e0_) / cell_));
    rows_ = static_cast<long>(std::ceil((*nMax + margin_ + cell_ - n0_) / cell_));
    buildGrid();
}

void ValidArea::buildGrid()
{
    cells_.assign(static_cast<std::size_t>(cols_ * rows_), kOut);
    // Blocks of 8 x 8 cells first: most lie wholly inside or outside, and
    // only the blocks along the margin's edge are looked at cell by cell.
    // Those lie wholly outside the border (margin > 2 R), so a cell's
    // distance is its nearest segment's, among the segments within
    // dC + 2 R + r of the block's centre (dC the centre's distance, greater
    // than margin - R): they hold the nearest segment of every cell and
    // every segment within margin + r of a cell's centre.
    constexpr long kBlock = 8;
    const double cellHalf = cell_ * std::sqrt(0.5), blockHalf = kBlock * cellHalf;
    const bool blocksOutside = margin_ > 2 * blockHalf, cellsOutside = margin_ > 2 * cellHalf;
    std::vector<std::uint32_t> near, own;
    for (long br = 0; br < rows_; br += kBlock)
        for (long bc = 0; bc < cols_; bc += kBlock) {
            const double ce = e0_ + (static_cast<double>(bc) + kBlock / 2.0) * cell_,
                         cn = n0_ + (static_cast<double>(br) + kBlock / 2.0) * cell_;
            const double dC = distanceOutside(ce, cn);
            Cell whole = kEdge;
            if (dC + blockHalf <= margin_)
                whole = kIn;
            else if (dC - blockHalf > margin_)
                whole = kOut;
            near.clear();
            if (whole == kEdge && blocksOutside) {
                const double reach = dC + 2 * blockHalf + cellHalf;
                for (std::size_t s = 0; s < segments_.size(); ++s)
                    if (distance2(segments_[s], ce, cn) <= reach * reach)
                        near.push_back(static_cast<std::uint32_t>(s));
            }
            for (long r = br; r < std::min(br + kBlock, rows_); ++r)
                for (long c = bc; c < std::min(bc + kBlock, cols_); ++c) {
                    const std::size_t index = static_cast<std::size_t>(r * cols_ + c);
                    if (whole != kEdge) {
                        cells_[index] = whole;
                        continue;
                    }
                    const double pe = e0_ + (static_cast<double>(c) + 0.5) * cell_,
                                 pn = n0_ + (static_cast<double>(r) + 0.5) * cell_;
                    double d = std::numeric_limits<double>::infinity();
                    if (blocksOutside) {
                        for (const std::uint32_t s : near)
                            d = std::min(d, distance2(segments_[s], pe, pn));
                        d = std::sqrt(d);
                    } else {
                        d = distanceOutside(pe, pn);
                    }
                    if (d + cellHalf <= margin_) {
                        cells_[index] = kIn;
                    } else if (d - cellHalf > margin_) {
                        cells_[index] = kOut;
                    } else {
                        cells_[index] = kEdge;
                        // The segments within margin + r of the centre decide
                        // for any point of the cell.
                        own.clear();
                        const double reach = margin_ + cellHalf;
                        if (blocksOutside) {
                            for (const std::uint32_t s : near)
                                if (distance2(segments_[s], pe, pn) <= reach * reach)
                                    own.push_back(s);
                        } else {
                            for (std::size_t s = 0; s < segments_.size(); ++s)
                                if (distance2(segments_[s], pe, pn) <= reach * reach)
                                    own.push_back(static_cast<std::uint32_t>(s));
                        }
                        if (!cellsOutside || own.size() > 0xffff)
                            continue; // left to the exact computation
                        if (edgeStart_.empty()) {
                            edgeStart_.assign(cells_.size(), 0);
                            edgeCount_.assign(cells_.size(), 0);
                        }
                        edgeStart_[index] = static_cast<std::uint32_t>(edgeSegments_.size());
                        edgeCount_[index] = static_cast<std::uint16_t>(own.size());
                        edgeSegments_.insert(edgeSegments_.end(), own.begin(), own.end());
                    }
                }
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

// The squared distance of (e, n) from the segment.
double ValidArea::distance2(const Segment& s, double e, double n) const
{
    const double t = std::clamp(((e - s.e) * s.de + (n - s.n) * s.dn) * s.inverseLength2, 0.0, 1.0);
    const double pe = s.e + t * s.de - e, pn = s.n + t * s.dn - n;
    return pe * pe + pn * pn;
}

double ValidArea::distanceOutside(double e, double n) const
{
    // Inside by the crossings of a ray towards +e (even-odd rule), and the
    // nearest point of every edge.
    bool inside = false;
    double best = std::numeric_limits<double>::infinity();
    for (const Segment& s : segments_) {
        const double n2 = s.n + s.dn;
        if ((s.n > n) != (n2 > n) && e < s.e + (n - s.n) * s.de / s.dn)
            inside = !inside;
        best = std::min(best, distance2(s, e, n));
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
    const auto index = static_cast<std::size_t>(static_cast<long>(r) * cols_ + static_cast<long>(c));
    const auto cell = cells_[index];
    if (cell != kEdge)
        return cell == kIn;
    if (edgeStart_.empty() || edgeCount_[index] == 0)
        return distanceOutside(e, n) <= margin_;
    // Outside the border: near enough when a segment of the cell is.
    const double limit = margin_ * margin_;
    const std::uint32_t* s = edgeSegments_.data() + edgeStart_[index];
    for (std::uint32_t k = 0; k < edgeCount_[index]; ++k)
        if (distance2(segments_[s[k]], e, n) <= limit)
            return true;
    return false;
}

} // namespace kolmo
