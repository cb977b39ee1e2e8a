// The log pane's text and the bytes "Save Log" writes, as both windows map them: the Qt
// window breaks lines with '\n', the Win32 window's EDIT control with CR LF.

#include "frontend/pane_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct RoundTripCase {
  std::string bytes;
  std::u16string shown_in_edit;  // the Win32 pane's text for them
};

TEST(PaneText, TheBytesComeBackFromEitherPaneAsTheyWentIn) {
  const RoundTripCase cases[] = {
      {"plain", u"plain"},
      {"two\r\nlines", u"two\r\nlines"},
      {"lone\rreturn", u"lone\u240Dreturn"},
      {"lone\nfeed", u"lone\u240Afeed"},
      {"feed then\n\rreturn", u"feed then\u240A\u240Dreturn"},
      {"return\r\r\nthen pair", u"return\u240D\r\nthen pair"},
      {"ends in a return\r", u"ends in a return\u240D"},
      {"\xE0\x0D\x44\xFF", u"\u00E0\u240D\u0044\u00FF"},
      {"", u""},
  };
  for (const RoundTripCase& c : cases) {
    EXPECT_EQ(frontend::pane_text(c.bytes, u"\r\n"), c.shown_in_edit) << c.bytes;
    EXPECT_EQ(frontend::log_bytes(frontend::pane_text(c.bytes, u"\r\n")), c.bytes) << c.bytes;
    EXPECT_EQ(frontend::log_bytes(frontend::pane_text(c.bytes, u"\n")), c.bytes) << c.bytes;
  }
}

TEST(PaneText, EveryByteValueButZeroIsACharacterOfItsOwn) {
  std::string all;
  for (int value = 1; value <= 255; ++value) all += static_cast<char>(value);
  EXPECT_EQ(frontend::log_bytes(frontend::pane_text(all, u"\r\n")), all);
}

struct TypedCase {
  std::u16string typed;
  std::string saved;
};

TEST(LogBytes, EveryLineBreakAPaneMayHoldIsSavedAsCrLfAndACharacterWithNoByteAsAQuestionMark) {
  const TypedCase cases[] = {
      {u"a\nb", "a\r\nb"},                  // the Qt pane's break
      {u"a\u2029b\u2028c", "a\r\nb\r\nc"},  // paragraph and line separators
      {u"a\r\nb", "a\r\nb"},                // the EDIT control's break
      {u"a\rb", "a\rb"},                    // a lone CR pasted into the EDIT control
      {u"\u20AC 5", "? 5"},
      {u"tab\there", "tab\there"},
  };
  for (const TypedCase& c : cases) {
    EXPECT_EQ(frontend::log_bytes(c.typed), c.saved) << c.saved;
  }
}

}  // namespace
