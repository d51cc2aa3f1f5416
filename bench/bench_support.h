#pragma once

// What the benchmark programs share: the samples by name, their medians and the BAR lines.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kbbench {

// Milliseconds per run, by the name of what was timed.
inline std::map<std::string, std::vector<double>> g_samples;

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One bar: the figure against its limit, or reported alone when there is no limit (0).
inline void bar(const char* name, double figure, double limit, const char* note = "") {
    if (limit > 0)
        std::printf("BAR %s %.3f %g %s%s\n", name, figure, limit, figure <= limit ? "pass" : "fail",
                    note);
    else
        std::printf("BAR %s %.3f report pass%s\n", name, figure, note);
    std::fflush(stdout);
}

inline double msSince(const std::chrono::steady_clock::time_point& start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// Each iteration of `state` runs `fn`, timed by the wall clock; the times go to `key`.
template <typename Fn> void timed(benchmark::State& state, const std::string& key, Fn&& fn) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        fn();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        g_samples[key].push_back(took.count() * 1000);
    }
}

} // namespace kbbench
