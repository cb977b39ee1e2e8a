#pragma once
// Names table-driven cases after their `name` field.

#include <gtest/gtest.h>

#include <string>

namespace boot_test {

struct CaseName {
  template <class Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& param_info) const {
    return std::string(param_info.param.name);
  }
};

}  // namespace boot_test
