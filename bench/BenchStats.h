#pragma once
// Figures the benchmarks report over repeated runs.
#include <algorithm>
#include <vector>

namespace benchstats {

// The middle run: a pause of the machine in one run does not move it.
inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace benchstats
