#pragma once
// What the benchmarks share: each figure printed beside its goal on a line of its own, which
// `./dev bench` gathers into its closing table, and the statistics the figures are made of.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace bench {

// "figure<TAB>name<TAB>value<TAB>goal<TAB>met|not met|-" (- for a figure without a goal).
inline void print_figure(const std::string& name, const std::string& value,
                         const std::string& goal = "-", std::optional<bool> met = std::nullopt) {
  std::printf("figure\t%s\t%s\t%s\t%s\n", name.c_str(), value.c_str(), goal.c_str(),
              met ? (*met ? "met" : "NOT MET") : "-");
  std::fflush(stdout);
}

template <class... Args>
std::string format(const char* pattern, Args... args) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

// The p-th percentile (0..100) by the nearest-rank rule; 0 for no samples.
inline double percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(samples.size())));
  return samples[std::clamp<std::size_t>(rank, 1, samples.size()) - 1];
}

inline double median(std::vector<double> samples) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const std::size_t n = samples.size();
  return n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
}

}  // namespace bench
