// The log pane holds bytes: what the dialogue adds and what the user types come back out,
// byte for byte, as the saved log.

#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <string>

#include "fake_port.h"
#include "window_fixture.h"

namespace {

using namespace std::string_literals;

class LogPane : public testing::Test {
 protected:
  WindowUnderTest window{std::make_unique<FakePort>()};
};

TEST_F(LogPane, EveryByteValueComesBackAsItWentIn) {
  std::string all;
  for (int value = 1; value <= 255; ++value) all += static_cast<char>(value);
  window->add_log_line(all);
  EXPECT_EQ(window->log_bytes().toStdString(), all + "\r\n");
}

struct LineBreakCase {
  std::string text;
  int shown_lines;  // lines on screen before the final line end
};

TEST_F(LogPane, OnlyCrLfPairsBreakTheLine) {
  const LineBreakCase cases[] = {
      {"one line", 1},
      {"two\r\nlines", 2},
      {"lone\rreturn", 1},
      {"lone\nfeed", 1},
      {"feed then\n\rreturn", 1},
      {"return\r\r\nthen pair", 2},
      {"\r\n\r\nDM500 login: ", 3},
      {"<b>not markup</b> &amp;", 1},
  };
  for (const LineBreakCase& c : cases) {
    window->clear_log();
    window->add_log_line(c.text);
    // The line's own CR LF leaves an empty block behind it.
    EXPECT_EQ(window->Memo1->document()->blockCount(), c.shown_lines + 1) << c.text;
    EXPECT_EQ(window->log_bytes().toStdString(), c.text + "\r\n") << c.text;
  }
  EXPECT_EQ(window->Memo1->document()->firstBlock().text(), "<b>not markup</b> &amp;");
}

TEST_F(LogPane, AZeroByteEndsTheTextAndTheNextLineStillStartsOnItsOwn) {
  window->add_log_line("before\0after"s);
  window->add_log_line("next");
  EXPECT_EQ(window->log_bytes().toStdString(), "before\r\nnext\r\n");
}

TEST_F(LogPane, WhatTheUserTypesBecomesPartOfTheLog) {
  window->add_log_line("Power ON DB Device [ESC to Abort]");
  window->Memo1->moveCursor(QTextCursor::End);
  QTest::keyClicks(window->Memo1, "box 2");
  QTest::keyClick(window->Memo1, Qt::Key_Tab);  // the pane takes Tab as text
  QTest::keyClicks(window->Memo1, "ok");
  QTest::keyClick(window->Memo1, Qt::Key_Return);
  QKeyEvent euro(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("\u20ac"));
  QApplication::sendEvent(window->Memo1, &euro);  // a character with no byte of its own
  window->add_log_line("next");
  EXPECT_EQ(window->log_bytes().toStdString(),
            "Power ON DB Device [ESC to Abort]\r\nbox 2\tok\r\n?next\r\n");
}

TEST_F(LogPane, ClearingEmptiesIt) {
  window->add_log_line("a line");
  window->clear_log();
  EXPECT_TRUE(window->log_bytes().isEmpty());
}

}  // namespace
