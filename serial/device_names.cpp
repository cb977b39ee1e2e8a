#include "serial/device_names.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace serial {
namespace {

constexpr std::array<std::string_view, 5> families = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA",
                                                      "rfcomm"};

bool is_digit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool is_number(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), is_digit);
}

}  // namespace

bool natural_less(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    if (is_digit(a[i]) && is_digit(b[j])) {
      // Compare the two numbers by value: skip leading zeros, then longer is larger.
      const auto run_end = [](std::string_view s, std::size_t k) {
        while (k < s.size() && is_digit(s[k])) ++k;
        return k;
      };
      const std::size_t a_end = run_end(a, i);
      const std::size_t b_end = run_end(b, j);
      while (i + 1 < a_end && a[i] == '0') ++i;
      while (j + 1 < b_end && b[j] == '0') ++j;
      const std::string_view a_number = a.substr(i, a_end - i);
      const std::string_view b_number = b.substr(j, b_end - j);
      if (a_number.size() != b_number.size()) return a_number.size() < b_number.size();
      if (a_number != b_number) return a_number < b_number;
      i = a_end;
      j = b_end;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
  return a < b;  // equal by value ("ttyS01" and "ttyS1"): any fixed order will do
}

std::vector<std::string> serial_device_candidates(std::vector<std::string> entry_names,
                                                  std::string_view dir) {
  std::sort(entry_names.begin(), entry_names.end(), natural_less);
  entry_names.erase(std::unique(entry_names.begin(), entry_names.end()), entry_names.end());
  std::vector<std::string> candidates;
  for (const std::string_view family : families) {
    for (const std::string& name : entry_names) {
      const std::string_view view = name;
      if (view.starts_with(family) && is_number(view.substr(family.size())))
        candidates.push_back(std::string(dir) + "/" + name);
    }
  }
  return candidates;
}

}  // namespace serial
