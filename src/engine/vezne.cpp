#include "engine/vezne.h"

#include <string_view>
#include <unordered_map>

namespace kolmo {

std::vector<std::pair<Eigen::Index, Eigen::Index>> commonPoints(const Names& start, const Names& end)
{
    // First end row of each name, and for each end row the next row of the
    // same name: the chains list the end rows of a name in ascending order,
    // as a scan of the end set would meet them.
    std::unordered_map<std::string_view, Eigen::Index> first;
    first.reserve(end.size());
    std::vector<Eigen::Index> next(end.size(), -1);
    for (Eigen::Index j = static_cast<Eigen::Index>(end.size()) - 1; j >= 0; --j) {
        auto [it, inserted] = first.try_emplace(end[j], j);
        if (!inserted) {
            next[j] = it->second;
            it->second = j;
        }
    }
    std::vector<std::pair<Eigen::Index, Eigen::Index>> pairs;
    for (Eigen::Index i = 0; i < static_cast<Eigen::Index>(start.size()); ++i) {
        const auto it = first.find(start[i]);
        if (it == first.end())
            continue;
        for (Eigen::Index j = it->second; j >= 0; j = next[j])
            pairs.emplace_back(i, j);
    }
    return pairs;
}

} // namespace kolmo
