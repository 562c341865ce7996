#pragma once

#include <algorithm>
#include <utility>
#include <vector>

namespace kx {

// Puts every row of added into the ordered rows where before(row, added) stops holding, in
// one pass; the rows already there keep their order.
template <class Before>
void insertOrdered(std::vector<int>& ordered, const std::vector<int>& added, Before before) {
    std::vector<std::pair<size_t, int>> places; // where in ordered, which row
    places.reserve(added.size());
    for (const int r : added)
        places.emplace_back(size_t(std::partition_point(ordered.begin(), ordered.end(),
                                                        [&](int k) { return before(k, r); }) -
                                   ordered.begin()),
                            r);
    std::stable_sort(places.begin(), places.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> merged;
    merged.reserve(ordered.size() + added.size());
    size_t next = 0;
    for (size_t i = 0; i <= ordered.size(); ++i) {
        while (next < places.size() && places[next].first == i)
            merged.push_back(places[next++].second);
        if (i < ordered.size())
            merged.push_back(ordered[i]);
    }
    ordered.swap(merged);
}

} // namespace kx
