#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/console.h"

namespace cli {
namespace {

struct KeysCase {
  std::string name;
  std::vector<std::uint8_t> keys;
  bool esc;
};

class EscapeKey : public testing::TestWithParam<KeysCase> {};

TEST_P(EscapeKey, IsToldFromEscapeSequences) {
  EXPECT_EQ(holds_escape_key(GetParam().keys), GetParam().esc);
}

INSTANTIATE_TEST_SUITE_P(Keys, EscapeKey,
                         testing::Values(KeysCase{"nothing", {}, false},
                                         KeysCase{"letters", {'a', 'q', '\n'}, false},
                                         KeysCase{"esc_alone", {0x1B}, true},
                                         KeysCase{"esc_after_letters", {'x', 0x1B}, true},
                                         KeysCase{"arrow_up", {0x1B, '[', 'A'}, false},
                                         KeysCase{"f1", {0x1B, 'O', 'P'}, false},
                                         KeysCase{"arrow_then_esc", {0x1B, '[', 'B', 0x1B}, true},
                                         KeysCase{"esc_twice", {0x1B, 0x1B}, true}),
                         [](const testing::TestParamInfo<KeysCase>& c) { return c.param.name; });

}  // namespace
}  // namespace cli
