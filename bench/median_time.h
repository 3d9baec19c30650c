#pragma once

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

// The median of `rounds` timings of f, in milliseconds: one slow round on a
// shared machine does not move it.
inline double median_ms(const std::function<void()>& f, int rounds) {
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}
