#pragma once
// Small statistics shared by the benchmarks.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

inline double Micros(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::micro>(d).count();
}

inline double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// The p-quantile (0..1) of the samples, nearest rank below.
template <typename T> T Percentile(std::vector<T> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

template <typename T> T Median(const std::vector<T> &v) { return Percentile(v, 0.5); }
