// The fault matrix: each row of faults.cpp through each front end it can happen in.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "faults.h"
#include "runs.h"

#ifdef PELLORA_MATRIX_HAS_WINDOW
#include <QApplication>
#endif

namespace fault_matrix {
namespace {

struct Case {
  FrontEnd front_end;
  Fault fault;
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << front_end_name(c.front_end) << "_" << c.fault.name;
}

std::vector<Case> cases() {
  std::vector<Case> all;
  for (const Fault& fault : faults()) {
    if (fault.terminal) all.push_back({FrontEnd::terminal, fault});
#ifdef PELLORA_MATRIX_HAS_WINDOW
    if (fault.window) all.push_back({FrontEnd::window, fault});
#endif
  }
  return all;
}

class FaultMatrix : public testing::TestWithParam<Case> {};

TEST_P(FaultMatrix, TheUserSeesWhatHappenedAndNothingIsLost) {
  const Case& c = GetParam();
  if (c.front_end == FrontEnd::terminal) {
    run_in_terminal(c.fault);
  } else {
#ifdef PELLORA_MATRIX_HAS_WINDOW
    run_in_window(c.fault);
#endif
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, testing::ValuesIn(cases()),
                         [](const testing::TestParamInfo<Case>& row) {
                           std::string name = std::string(front_end_name(row.param.front_end)) +
                                              "_" + row.param.fault.name;
                           for (char& c : name) {
                             if (c == '-') c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace fault_matrix

int main(int argc, char** argv) {
#ifdef PELLORA_MATRIX_HAS_WINDOW
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  // A row closes its window; the test program goes on.
  QApplication::setQuitOnLastWindowClosed(false);
#endif
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
