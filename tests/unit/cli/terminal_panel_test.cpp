#include "cli/terminal_panel.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <cerrno>
#include <string>

#include "captured_stream.h"
#include "frontend/diagnosis.h"

namespace cli {
namespace {

class TerminalPanelTest : public testing::Test {
 protected:
  TerminalPanelSettings settings(bool progress_bar = false) {
    TerminalPanelSettings s;
    s.scan_ports = [this] { return ports_; };
    s.esc_pressed = [this] { return std::exchange(esc_, false); };
    s.interrupted = [this] { return interrupted_; };
    s.log_out = out_.get();
    s.messages = err_.get();
    s.progress_bar = progress_bar;
    return s;
  }

  CapturedStream out_, err_;
  std::vector<std::string> ports_;
  bool esc_ = false;
  bool interrupted_ = false;
};

TEST_F(TerminalPanelTest, LogLinesGoToStdoutAloneAndAreKeptWithCrLfForTheLogFile) {
  TerminalPanel panel(settings());
  panel.append_log_line("stale line");
  panel.clear_log();
  panel.append_log_line("Power ON DB Device [ESC to Abort]");
  panel.append_log_line("");
  panel.append_log_line("dm500 login: \r\nagain");

  EXPECT_EQ(panel.log_text(),
            "Power ON DB Device [ESC to Abort]\r\n\r\ndm500 login: \r\nagain\r\n");
  EXPECT_EQ(out_.text(),
            "stale line\nPower ON DB Device [ESC to Abort]\n\ndm500 login: \r\nagain\n");
  EXPECT_EQ(err_.text(), "");
}

TEST_F(TerminalPanelTest, OnATerminalControlBytesAreShownNotObeyedButTheLogKeepsThem) {
  auto s = settings();
  s.show_controls = true;
  TerminalPanel panel(std::move(s));
  const std::string console = "\x1b]0;pwned\x07\tok\r\nnext\x7f\x01";
  panel.append_log_line(console);
  EXPECT_EQ(out_.text(), "^[]0;pwned^G\tok\r\nnext^?^A\n");
  EXPECT_EQ(panel.log_text(), console + "\r\n");
}

TEST_F(TerminalPanelTest, EscSetsOnlyTheAbortFlagAndAnInterruptAlsoAsksToClose) {
  TerminalPanel panel(settings());
  panel.process_pending_messages();
  EXPECT_FALSE(panel.abort_flag());

  esc_ = true;
  panel.process_pending_messages();
  EXPECT_TRUE(panel.abort_flag());
  EXPECT_FALSE(panel.close_requested());

  // The dialogue clears the flag when it acts on it; an interrupt sets it again for good.
  panel.set_abort_flag(false);
  interrupted_ = true;
  panel.process_pending_messages();
  EXPECT_TRUE(panel.abort_flag());
  EXPECT_TRUE(panel.close_requested());
}

// After the banner the dialogue asks between its steps, long before it next lets messages
// be processed; a Ctrl-C must stop it there all the same.
TEST_F(TerminalPanelTest, AnInterruptIsACloseRequestBeforeMessagesAreProcessed) {
  TerminalPanel panel(settings());
  EXPECT_FALSE(panel.close_requested());
  interrupted_ = true;
  EXPECT_TRUE(panel.close_requested());
}

TEST_F(TerminalPanelTest, RebuildingThePortListPrintsTheScanOnStderr) {
  TerminalPanel panel(settings());
  panel.rebuild_port_list();
  ports_ = {"/dev/ttyS0", "/dev/ttyUSB0"};
  panel.rebuild_port_list();
  EXPECT_EQ(err_.text(), "ports found: none\nports found: /dev/ttyS0, /dev/ttyUSB0\n");
  EXPECT_EQ(out_.text(), "");
}

TEST_F(TerminalPanelTest, HintsGoToStderrOnceAndNotIntoTheLog) {
  TerminalPanel panel(settings());
  boot::BannerWatchSeen seen;
  seen.waited = std::chrono::seconds(6);
  panel.show_wait_hint(boot::WaitHint::silent_line, seen);
  panel.show_wait_hint(boot::WaitHint::none, seen);
  EXPECT_EQ(err_.text(),
            "hint: " + frontend::wait_hint_text(boot::WaitHint::silent_line, seen) + "\n");
  EXPECT_EQ(panel.log_text(), "");
  EXPECT_EQ(out_.text(), "");
}

TEST_F(TerminalPanelTest, TheProgressBarIsDrawnOnlyWhenAskedForAndEndsBeforeTheNextLine) {
  {
    TerminalPanel quiet(settings(false));
    quiet.set_progress(50);
    EXPECT_EQ(err_.text(), "");
  }
  TerminalPanel panel(settings(true));
  panel.set_progress(0);  // the reset when the port opens draws nothing
  EXPECT_EQ(err_.text(), "");
  panel.set_progress(50);
  panel.set_progress(100);
  panel.append_log_line("Settings Baudrate Ok!!");
  const std::string bar_half = "\rupload [" + std::string(20, '#') + std::string(20, '.') + "] 50%";
  const std::string bar_full = "\rupload [" + std::string(40, '#') + "] 100%";
  EXPECT_EQ(err_.text(), bar_half + bar_full + "\n");
  EXPECT_EQ(out_.text(), "Settings Baudrate Ok!!\n");
}

// A stream whose reader has gone (stdout into `| head -1`): every write fails with EPIPE,
// and each attempt is counted.
class GoneReader {
 public:
  GoneReader() {
    cookie_io_functions_t io{};
    io.write = [](void* self, const char*, size_t) -> ssize_t {
      ++static_cast<GoneReader*>(self)->attempts;
      errno = EPIPE;
      return -1;
    };
    file_ = fopencookie(this, "w", io);
  }
  ~GoneReader() { std::fclose(file_); }
  GoneReader(const GoneReader&) = delete;
  GoneReader& operator=(const GoneReader&) = delete;

  std::FILE* get() const { return file_; }
  int attempts = 0;

 private:
  std::FILE* file_;
};

TEST_F(TerminalPanelTest, AfterAFailedWriteNoMoreLinesGoThereButTheLogGoesOn) {
  GoneReader gone;
  auto s = settings();
  s.log_out = gone.get();
  TerminalPanel panel(std::move(s));
  panel.append_log_line("Power ON DB Device [ESC to Abort]");
  const int attempts = gone.attempts;
  EXPECT_GE(attempts, 1);
  panel.append_log_line("HW ID: []");
  panel.append_log_line("User Abort!");
  EXPECT_EQ(gone.attempts, attempts) << "written again after the reader had gone";
  EXPECT_EQ(panel.log_text(), "Power ON DB Device [ESC to Abort]\r\nHW ID: []\r\nUser Abort!\r\n");
  panel.say("result: aborted");  // the messages have a stream of their own
  EXPECT_EQ(err_.text(), "result: aborted\n");
}

TEST_F(TerminalPanelTest, WhatTheCheckHasSoFarIsKeptForAnotherThreadAndOutlivesThePanel) {
  std::shared_ptr<const CheckSoFar> so_far;
  {
    TerminalPanel panel(settings());
    so_far = panel.check_so_far();
    panel.append_log_line("stale line");
    panel.clear_log();
    panel.append_log_line("Power ON DB Device [ESC to Abort]");
    boot::Report report;
    report.port = "/dev/ttyUSB0";
    report.stage = boot::Stage::greeting;
    panel.report_so_far(report);
    panel.append_log_line("HW ID: []");
    EXPECT_EQ(so_far->log_text(), panel.log_text());
  }
  EXPECT_EQ(so_far->log_text(), "Power ON DB Device [ESC to Abort]\r\nHW ID: []\r\n");
  EXPECT_EQ(so_far->report().port, "/dev/ttyUSB0");
  EXPECT_EQ(so_far->report().stage, boot::Stage::greeting);
}

}  // namespace
}  // namespace cli
