#pragma once
// Names table-driven cases after their `name` field.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace boot_test {

// A case prints as its name in failure messages, not as a dump of its bytes.
template <class Case>
requires requires(const Case& c) {
  std::string_view(c.name);
}
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

struct CaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& param_info) const {
    return std::string(param_info.param.name);
  }
};

}  // namespace boot_test
