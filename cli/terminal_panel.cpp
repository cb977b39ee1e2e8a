#include "cli/terminal_panel.h"

#include <utility>

#include "frontend/diagnosis.h"

namespace cli {
namespace {

constexpr int bar_width = 40;

// False when the stream took the text only in part, or not at all.
bool print(std::FILE* stream, std::string_view text) {
  const bool whole = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
  return std::fflush(stream) == 0 && whole;
}

// ^[ for ESC, ^? for DEL: what a terminal's own echo shows for them.
std::string with_controls_shown(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F) {
      shown += '^';
      shown += static_cast<char>(byte ^ 0x40);
    } else {
      shown += c;
    }
  }
  return shown;
}

}  // namespace

void CheckSoFar::clear_log() {
  const std::lock_guard lock(mutex_);
  log_text_.clear();
}

void CheckSoFar::append_log(std::string_view text) {
  const std::lock_guard lock(mutex_);
  log_text_.append(text);
}

void CheckSoFar::set_report(const boot::Report& report) {
  const std::lock_guard lock(mutex_);
  report_ = report;
}

std::string CheckSoFar::log_text() const {
  const std::lock_guard lock(mutex_);
  return log_text_;
}

boot::Report CheckSoFar::report() const {
  const std::lock_guard lock(mutex_);
  return report_;
}

TerminalPanel::TerminalPanel(TerminalPanelSettings settings) : settings_(std::move(settings)) {}

TerminalPanel::~TerminalPanel() {
  finish_progress_bar();
}

void TerminalPanel::clear_log() {
  log_text_.clear();
  so_far_->clear_log();
}

void TerminalPanel::append_log_line(std::string_view text) {
  finish_progress_bar();
  const std::size_t line_start = log_text_.size();
  log_text_.append(text);
  log_text_.append("\r\n");
  so_far_->append_log(std::string_view(log_text_).substr(line_start));
  std::string line = settings_.show_controls ? with_controls_shown(text) : std::string(text);
  line += '\n';
  print_log(line);  // flushed per line, also into a pipe
}

void TerminalPanel::set_progress(int percent) {
  if (!settings_.progress_bar || percent <= 0) return;
  const int filled = percent * bar_width / 100;
  std::string bar = "\rupload [";
  bar.append(static_cast<std::size_t>(filled), '#');
  bar.append(static_cast<std::size_t>(bar_width - filled), '.');
  bar += "] " + std::to_string(percent) + "%";
  print_message(bar);
  progress_bar_drawn_ = true;
}

void TerminalPanel::process_pending_messages() {
  if (settings_.esc_pressed && settings_.esc_pressed()) abort_flag_ = true;
  if (settings_.interrupted && settings_.interrupted()) {
    // The program is ending: stop the wait now and the dialogue at its next step.
    abort_flag_ = true;
    close_requested_ = true;
  }
}

void TerminalPanel::rebuild_port_list() {
  std::string line = "ports found:";
  const auto ports = settings_.scan_ports ? settings_.scan_ports() : std::vector<std::string>{};
  if (ports.empty()) line += " none";
  for (std::size_t i = 0; i < ports.size(); ++i) line += (i == 0 ? " " : ", ") + ports[i];
  say(line);
}

void TerminalPanel::show_wait_hint(boot::WaitHint hint, const boot::BannerWatchSeen& seen) {
  if (hint != boot::WaitHint::none) say("hint: " + frontend::wait_hint_text(hint, seen));
}

void TerminalPanel::say(std::string_view text) {
  finish_progress_bar();
  print_message(std::string(text) + "\n");
}

void TerminalPanel::finish_progress_bar() {
  if (!progress_bar_drawn_) return;
  print_message("\n");
  progress_bar_drawn_ = false;
}

void TerminalPanel::print_log(std::string_view text) {
  if (!log_out_failed_) log_out_failed_ = !print(settings_.log_out, text);
}

void TerminalPanel::print_message(std::string_view text) {
  if (!messages_failed_) messages_failed_ = !print(settings_.messages, text);
}

}  // namespace cli
