#include "migrate/tran_trik.h"

#include "geodesy/delaunay.h"

#include "platform/errors.h"
#include "platform/numtext.h"
#include "platform/textread.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

namespace kolmo {
namespace {

// A point on a shared edge or on a tie point belongs to the triangle despite
// rounding: barycentric coordinates down to -1e-12 (a few nanometres over
// the kilometres of an edge) count as inside.
constexpr double kInsideEps = 1e-12;
// More points than any national network holds: a file beyond it is no model.
constexpr std::size_t kMaxPoints = 100000;

// The blank-separated fields of a line.
std::vector<std::string_view> fields(std::string_view line)
{
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t b = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > b)
            out.push_back(line.substr(b, i - b));
    }
    return out;
}

double cross(double ax, double ay, double bx, double by) { return ax * by - ay * bx; }

} // namespace

TriangleModel::TriangleModel(const std::filesystem::path& file) : file_(file.string())
{
    if (!std::filesystem::exists(file))
        throw DataFileError("File not found. (" + file_ + ": the tie points of the triangle-based model)");
    try {
        platform::LineReader reader(file);
        std::string line;
        std::set<std::string> names;
        std::set<std::pair<double, double>> gkSeen, tmSeen;
        while (reader.next(line)) {
            if (line[0] == '#')
                continue;
            const std::string where = reader.where(reader.lineNumber());
            const auto f = fields(line);
            if (f.size() != 5)
                throw DataFileError(where + ": " + std::to_string(f.size()) +
                                    " fields where a tie point has 5 (name, D48/GK y x, D96/TM e n)");
            Tie t;
            t.name = std::string(f[0]);
            double v[4];
            for (int k = 0; k < 4; ++k) {
                const auto x = platform::parseNumber(f[static_cast<std::size_t>(k) + 1]);
                if (!x || !std::isfinite(*x) || std::fabs(*x) > 1e7)
                    throw DataFileError(where + ": '" + std::string(f[static_cast<std::size_t>(k) + 1]) +
                                        "' is no plane coordinate");
                v[k] = *x;
            }
            t.gkE = v[0];
            t.gkN = v[1];
            t.tmE = v[2];
            t.tmN = v[3];
            if (!names.insert(t.name).second)
                throw DataFileError(where + ": the tie point " + t.name + " is listed twice");
            if (!gkSeen.insert({t.gkE, t.gkN}).second || !tmSeen.insert({t.tmE, t.tmN}).second)
                throw DataFileError(where + ": the tie point " + t.name + " repeats the position of another");
            ties_.push_back(std::move(t));
            if (ties_.size() > kMaxPoints)
                throw DataFileError(where + ": more than " + std::to_string(kMaxPoints) + " tie points");
        }
    } catch (const DataFileError&) {
        throw;
    } catch (const FileError& e) {
        throw DataFileError(e.what());
    }
    if (ties_.size() < 3)
        throw DataFileError(file_ + ": " + std::to_string(ties_.size()) + " tie points; a model needs at least 3");

    // The network is regular in D96/TM (whole metres of a triangular
    // lattice); its Delaunay triangles are the model's in both planes.
    std::vector<double> xy;
    xy.reserve(2 * ties_.size());
    for (const Tie& t : ties_) {
        xy.push_back(t.tmE);
        xy.push_back(t.tmN);
    }
    try {
        tri_ = delaunayTriangles(std::move(xy), static_cast<int>(ties_.size()));
    } catch (const std::invalid_argument& e) {
        throw DataFileError(file_ + ": the tie points cannot be triangulated: " + e.what());
    }
    for (auto& t : tri_) {
        const Tie &a = ties_[static_cast<std::size_t>(t[0])], &b = ties_[static_cast<std::size_t>(t[1])],
                  &c = ties_[static_cast<std::size_t>(t[2])];
        const double tm = cross(b.tmE - a.tmE, b.tmN - a.tmN, c.tmE - a.tmE, c.tmN - a.tmN);
        if (tm < 0)
            std::swap(t[1], t[2]);
        const Tie &b2 = ties_[static_cast<std::size_t>(t[1])], &c2 = ties_[static_cast<std::size_t>(t[2])];
        const double gk = cross(b2.gkE - a.gkE, b2.gkN - a.gkN, c2.gkE - a.gkE, c2.gkN - a.gkN);
        if (!(gk > 0) || tm == 0)
            throw DataFileError(file_ + ": the triangle " + a.name + ", " + b2.name + ", " + c2.name +
                                " is turned over or flat between D48/GK and D96/TM");
    }
    buildPlane(0);
    buildPlane(1);
}

void TriangleModel::buildPlane(int plane)
{
    auto src = [&](int i) {
        const Tie& t = ties_[static_cast<std::size_t>(i)];
        return plane == 0 ? std::pair{t.gkE, t.gkN} : std::pair{t.tmE, t.tmN};
    };
    auto dst = [&](int i) {
        const Tie& t = ties_[static_cast<std::size_t>(i)];
        return plane == 0 ? std::pair{t.tmE, t.tmN} : std::pair{t.gkE, t.gkN};
    };
    auto& faces = faces_[plane];
    faces.reserve(tri_.size());
    double eMin = std::numeric_limits<double>::infinity(), nMin = eMin, eMax = -eMin, nMax = -eMin;
    for (const auto& t : tri_) {
        const auto [e1, n1] = src(t[0]);
        const auto [e2, n2] = src(t[1]);
        const auto [e3, n3] = src(t[2]);
        const auto [te1, tn1] = dst(t[0]);
        const auto [te2, tn2] = dst(t[1]);
        const auto [te3, tn3] = dst(t[2]);
        const double det = cross(e2 - e1, n2 - n1, e3 - e1, n3 - n1);
        faces.push_back({e1, n1, (n3 - n1) / det, -(e3 - e1) / det, -(n2 - n1) / det, (e2 - e1) / det, te1, tn1,
                         te2 - te1, tn2 - tn1, te3 - te1, tn3 - tn1});
        eMin = std::min({eMin, e1, e2, e3});
        eMax = std::max({eMax, e1, e2, e3});
        nMin = std::min({nMin, n1, n2, n3});
        nMax = std::max({nMax, n1, n2, n3});
    }

    // Cells of about a third of the side of the median triangle: a cell of
    // the regular network meets one or two triangles, so that a look-up
    // mostly tests one; the big triangles of the outer rings span many cells.
    std::vector<double> areas;
    areas.reserve(faces.size());
    for (const Face& f : faces)
        areas.push_back(std::fabs(1.0 / (f.a11 * f.a22 - f.a12 * f.a21)) / 2);
    std::nth_element(areas.begin(), areas.begin() + static_cast<std::ptrdiff_t>(areas.size() / 2), areas.end());
    Grid& g = grid_[plane];
    const double span = std::max(eMax - eMin, nMax - nMin);
    // At most about a million cells, whatever the file holds.
    const double side = std::max(0.35 * std::sqrt(areas[areas.size() / 2]), span / 1000.0);
    g.inv = 1.0 / side;
    g.e0 = eMin;
    g.n0 = nMin;
    g.cols = static_cast<int>((eMax - eMin) * g.inv) + 1;
    g.rows = static_cast<int>((nMax - nMin) * g.inv) + 1;
    const std::size_t cells = static_cast<std::size_t>(g.cols) * static_cast<std::size_t>(g.rows);
    // (cell, triangle) pairs, then sorted into the cells' lists by counting.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
    for (std::size_t k = 0; k < tri_.size(); ++k) {
        const auto& t = tri_[k];
        double lo[2] = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
        double hi[2] = {-lo[0], -lo[1]};
        for (int c : t) {
            const auto [e, n] = src(c);
            lo[0] = std::min(lo[0], e);
            lo[1] = std::min(lo[1], n);
            hi[0] = std::max(hi[0], e);
            hi[1] = std::max(hi[1], n);
        }
        // A margin of a millimetre keeps a point on an edge that lies on a
        // cell border in the lists of the cells on both sides.
        const int c0 = std::max(0, static_cast<int>((lo[0] - 1e-3 - g.e0) * g.inv));
        const int c1 = std::min(g.cols - 1, static_cast<int>((hi[0] + 1e-3 - g.e0) * g.inv));
        const int r0 = std::max(0, static_cast<int>((lo[1] - 1e-3 - g.n0) * g.inv));
        const int r1 = std::min(g.rows - 1, static_cast<int>((hi[1] + 1e-3 - g.n0) * g.inv));
        // Of the cells under the bounding box, those the triangle touches:
        // a cell lies apart when all its corners are outside one edge (the
        // separating axes of a triangle and a box in the plane).
        const std::pair<double, double> p[3] = {src(t[0]), src(t[1]), src(t[2])};
        double len[3];
        for (int i = 0; i < 3; ++i)
            len[i] = std::hypot(p[(i + 1) % 3].first - p[i].first, p[(i + 1) % 3].second - p[i].second);
        const auto apart = [&](double ce0, double cn0, double ce1, double cn1) {
            for (int i = 0; i < 3; ++i) {
                const double ae = p[i].first, an = p[i].second;
                const double be = p[(i + 1) % 3].first, bn = p[(i + 1) % 3].second;
                // Counter-clockwise corners: the inside is on the left of a->b.
                const auto left = [&](double e, double n) {
                    return cross(be - ae, bn - an, e - ae, n - an) / len[i];
                };
                if (left(ce0, cn0) < -1e-3 && left(ce1, cn0) < -1e-3 && left(ce0, cn1) < -1e-3 &&
                    left(ce1, cn1) < -1e-3)
                    return true;
            }
            return false;
        };
        for (int r = r0; r <= r1; ++r)
            for (int c = c0; c <= c1; ++c) {
                const double ce0 = g.e0 + c / g.inv, cn0 = g.n0 + r / g.inv;
                if (apart(ce0, cn0, ce0 + 1 / g.inv, cn0 + 1 / g.inv))
                    continue;
                pairs.emplace_back(static_cast<std::uint32_t>(r * g.cols + c), static_cast<std::uint32_t>(k));
            }
    }
    g.start.assign(cells + 1, 0);
    for (const auto& [cell, k] : pairs)
        ++g.start[cell + 1];
    for (std::size_t c = 0; c < cells; ++c)
        g.start[c + 1] += g.start[c];
    // Triangles keep their order within a cell.
    g.ids.resize(pairs.size());
    std::vector<std::uint32_t> next(g.start.begin(), g.start.end() - 1);
    for (const auto& [cell, k] : pairs)
        g.ids[next[cell]++] = k;
}

long TriangleModel::find(int plane, double e, double n) const
{
    const Grid& g = grid_[plane];
    const double ce = (e - g.e0) * g.inv, cn = (n - g.n0) * g.inv;
    // The negated test also refuses NaN.
    if (!(ce >= 0 && cn >= 0 && ce < g.cols && cn < g.rows))
        return -1;
    const std::size_t cell = static_cast<std::size_t>(cn) * static_cast<std::size_t>(g.cols) + static_cast<std::size_t>(ce);
    const auto& faces = faces_[plane];
    for (std::uint32_t k = g.start[cell]; k < g.start[cell + 1]; ++k) {
        const Face& f = faces[g.ids[k]];
        const double de = e - f.e1, dn = n - f.n1;
        const double l2 = f.a11 * de + f.a12 * dn, l3 = f.a21 * de + f.a22 * dn;
        if (l2 >= -kInsideEps && l3 >= -kInsideEps && 1.0 - l2 - l3 >= -kInsideEps)
            return static_cast<long>(g.ids[k]);
    }
    return -1;
}

bool TriangleModel::contains(int plane, std::size_t t, double e, double n) const
{
    const Face& f = faces_[plane][t];
    const double de = e - f.e1, dn = n - f.n1;
    const double l2 = f.a11 * de + f.a12 * dn, l3 = f.a21 * de + f.a22 * dn;
    return l2 >= -kInsideEps && l3 >= -kInsideEps && 1.0 - l2 - l3 >= -kInsideEps;
}

void TriangleModel::coefficients(int plane, std::size_t t, double b[6], double m[6]) const
{
    const Face& f = faces_[plane][t];
    b[0] = -(f.a11 * f.e1 + f.a12 * f.n1);
    b[1] = f.a11;
    b[2] = f.a12;
    b[3] = -(f.a21 * f.e1 + f.a22 * f.n1);
    b[4] = f.a21;
    b[5] = f.a22;
    m[0] = f.te1 + f.de2 * b[0] + f.de3 * b[3];
    m[1] = f.de2 * b[1] + f.de3 * b[4];
    m[2] = f.de2 * b[2] + f.de3 * b[5];
    m[3] = f.tn1 + f.dn2 * b[0] + f.dn3 * b[3];
    m[4] = f.dn2 * b[1] + f.dn3 * b[4];
    m[5] = f.dn2 * b[2] + f.dn3 * b[5];
}

void TriangleModel::applyIn(int plane, std::size_t t, double e, double n, double& eOut, double& nOut) const
{
    const Face& f = faces_[plane][t];
    const double de = e - f.e1, dn = n - f.n1;
    const double l2 = f.a11 * de + f.a12 * dn, l3 = f.a21 * de + f.a22 * dn;
    eOut = f.te1 + (l2 * f.de2 + l3 * f.de3);
    nOut = f.tn1 + (l2 * f.dn2 + l3 * f.dn3);
}

bool TriangleModel::apply(int plane, double e, double n, double& eOut, double& nOut) const
{
    const long t = find(plane, e, n);
    if (t < 0)
        return false;
    applyIn(plane, static_cast<std::size_t>(t), e, n, eOut, nOut);
    return true;
}

const TriangleModel& TriangleModel::of(const std::filesystem::path& dataDir)
{
    static std::mutex mutex;
    static std::map<std::filesystem::path, std::unique_ptr<TriangleModel>> models;
    const std::lock_guard lock(mutex);
    auto& slot = models[dataDir];
    if (!slot)
        slot = std::make_unique<TriangleModel>(dataDir / kTriangleModelFile);
    return *slot;
}

} // namespace kolmo
