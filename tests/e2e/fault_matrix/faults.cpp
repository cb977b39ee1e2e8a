#include "faults.h"

namespace fault_matrix {

namespace lines {

const std::string power_on = "Power ON DB Device [ESC to Abort]";
const std::string hw_id_a = "HW ID: [E00D447265616D626F782044004D3530300D]";
const std::string hw_id_none = "HW ID: []";
const std::string detected = "Dreambox Detected...Ok!";
const std::string data1 = "Data1: [6C6F6164696E6720696E7374722E2066696C65]";
const std::string sending = "Sending Flash Loader...";
const std::string baudrate_ok = "Settings Baudrate Ok!!";
// LF, then "client: ok, i'm now attached to a server. waiting for further commands." CR LF
const std::string data2 =
    "Data2: [0A636C69656E743A206F6B2C2069276D206E6F7720617474616368656420746F2061207365727665722E"
    "2077616974696E6720666F72206675727468657220636F6D6D616E64732E0D0A]";
const std::string wrong = "Wrong Boot Response!";
const std::string user_abort = "User Abort!";
const std::string failed_open = "Failed Open Com Port!";
const std::string no_jtag = "-No Need For JTAG !";

std::vector<std::string> flash_success() {
  return {power_on,
          hw_id_a,
          detected,
          data1,
          sending,
          baudrate_ok,
          data2,
          "Boot Success!",
          "-Flash Chip Status Good !",
          "-Boot Success & Alive !",
          no_jtag};
}

}  // namespace lines

std::string_view front_end_name(FrontEnd front_end) {
  return front_end == FrontEnd::terminal ? "terminal" : "window";
}

namespace {

using boot::Outcome;
using namespace lines;

Expected boots(std::string diagnosis = "The box boots") {
  return {Outcome::success, 0, no_jtag, std::move(diagnosis), {}, {}};
}

Expected answers_wrongly(std::string last_line, std::string diagnosis) {
  return {Outcome::wrong_answer, 1, std::move(last_line), std::move(diagnosis), {}, {}};
}

Expected device_fails(std::string last_line, std::string where) {
  return {
      Outcome::device_error, 4, std::move(last_line), "The serial device failed " + where, {}, {}};
}

Expected aborted(std::string diagnosis) {
  return {Outcome::aborted, 130, user_abort, std::move(diagnosis), {}, {}};
}

Expected cannot_open(std::string reason) {
  return {Outcome::open_failed, 3, failed_open, std::move(reason), {}, {}};
}

// A good check whose log cannot be written: the terminal ends with status 5, the window says
// so in an error box.
Expected log_not_written(std::string reason) {
  Expected expected = boots();
  expected.exit_status = 5;
  expected.write_error = std::move(reason);
  return expected;
}

Expected boots_and_logs_all() {
  Expected expected = boots();
  expected.log = flash_success();
  return expected;
}

Fault box(std::string scenario, Expected expected) {
  Fault fault;
  fault.name = "box_" + scenario;
  fault.scenario = std::move(scenario);
  fault.expected = std::move(expected);
  return fault;
}

Fault terminal_only(Fault fault) {
  fault.window = false;
  return fault;
}

Fault window_only(Fault fault) {
  fault.terminal = false;
  return fault;
}

std::vector<Fault> table() {
  std::vector<Fault> rows;

  // Every scenario of the simulated box, unpaced.
  rows.push_back(box("good", boots()));
  rows.push_back(box("form-b", boots()));
  rows.push_back(box("noise-before-banner", boots()));
  rows.push_back(box("split-banner", boots()));
  rows.push_back(box("start-reply-lineend", boots()));
  rows.push_back(box("bad-speed-reply", boots()));
  rows.push_back(box("reply-crlf", answers_wrongly(wrong, "did not answer \"dream\" with \"ok\"")));
  rows.push_back(box("reply-extra", answers_wrongly(wrong, "not the start command as expected")));
  rows.push_back(
      box("no-start-reply", answers_wrongly(wrong, "not the start command as expected")));
  // The speed reply's LF is all the status frame brings.
  rows.push_back(box("no-status",
                     answers_wrongly("Data2: [0A]", "answered the status frame with 1 byte (0A)")));
  rows.push_back(box("flood", answers_wrongly(wrong, "did not answer \"dream\" with \"ok\"")));
  rows.push_back(box("slow-ok", answers_wrongly(wrong, "did not answer \"dream\" with \"ok\"")));
  {
    Fault silent = box("silent", aborted("Nothing at all arrived"));
    silent.act = Act::esc;
    silent.act_after_line = power_on;
    rows.push_back(silent);
  }
  // A megabyte of noise in the banner watch: memory stays bounded, Esc and Ctrl-C still work.
  for (const Act act : {Act::esc, Act::ctrl_c}) {
    Fault noise = box("noise", aborted("but never the boot ROM's banner"));
    noise.name += act == Act::esc ? "_then_esc" : "_then_ctrl_c";
    noise.act = act;
    noise.act_after_line = power_on;
    // A megabyte read, and what the line may still hold on its way to the check.
    noise.act_after_box_sent = (std::size_t{1} << 20) + (std::size_t{128} << 10);
    // The window has no Ctrl-C; closing it is the close_during_stalled_upload row.
    rows.push_back(act == Act::esc ? noise : terminal_only(noise));
  }

  // The device vanishing at each stage.
  rows.push_back(
      box("unplug-before-banner", device_fails(power_on, "while waiting for the banner")));
  rows.push_back(box("unplug-after-banner", device_fails(hw_id_a, "during the greeting")));
  rows.push_back(box("unplug-after-greeting", device_fails(detected, "during the start command")));
  rows.push_back(box("unplug-after-start-reply", device_fails(sending, "during the upload")));
  {
    // The line holds the whole unpaced image before the box has read half of it, so the
    // loss may show at the write of a piece or at the read that follows the upload.
    Fault mid_upload = box("unplug-during-upload", device_fails(sending, ""));
    mid_upload.expected.diagnosis = "The serial device failed";
    rows.push_back(mid_upload);
  }
  rows.push_back(box("unplug-after-upload", device_fails(sending, "while talking to the loader")));
  // The speed reply's LF is in hand as the line goes: a wrong answer, with the loss told.
  rows.push_back(box("unplug-after-speed-reply",
                     answers_wrongly("Data2: [0A]", "The line was lost just after that answer")));
  // The box had answered: the verdict stands, the loss is a note after it.
  rows.push_back(box("unplug-after-status-reply", boots("After that the line was lost")));
  {
    Fault test_mode = box("good", {Outcome::success, 0, {}, "its console answered", {}, {}});
    test_mode.name = "test_mode_box_good";
    test_mode.mode = boot::Mode::test;
    rows.push_back(test_mode);
    Fault test_unplug =
        box("unplug-after-banner", device_fails(power_on, "while reading the console"));
    test_unplug.name = "test_mode_box_unplug_after_banner";
    test_unplug.mode = boot::Mode::test;
    rows.push_back(test_unplug);
  }

  // The port itself.
  {
    Fault missing = box("good", cannot_open("cannot open the port: no such device"));
    missing.name = "port_missing";
    missing.port = PortTrouble::missing;
    rows.push_back(missing);
    Fault held = box("good", cannot_open("cannot open the port: it is in use by another program"));
    held.name = "port_held_by_another_program";
    held.port = PortTrouble::held;
    rows.push_back(held);
    Fault denied = box("good", cannot_open("cannot open the port: permission denied"));
    denied.name = "port_not_permitted";
    denied.port = PortTrouble::not_permitted;
    rows.push_back(denied);
  }

  // Where the log goes.
  const struct {
    const char* name;
    OutputTarget target;
    Expected expected;
  } outputs[] = {
      {"log_into_read_only_folder", OutputTarget::read_only_folder,
       log_not_written("Permission denied")},
      {"log_under_a_file", OutputTarget::under_a_file, log_not_written("Not a directory")},
      {"log_onto_dev_full", OutputTarget::dev_full, log_not_written("No space left on device")},
      {"log_onto_dev_null", OutputTarget::dev_null, boots()},
      {"log_through_symlink", OutputTarget::symlink_to_file, boots()},
  };
  for (const auto& output : outputs) {
    Fault fault = box("good", output.expected);
    fault.name = output.name;
    fault.output = output.target;
    // "Save Log" writes Log.log in the current folder, which is no file's child.
    rows.push_back(output.target == OutputTarget::under_a_file ? terminal_only(fault) : fault);
  }

  // The terminal's own streams and signals.
  {
    Fault closed = terminal_only(box("good", boots_and_logs_all()));
    closed.name = "stdout_closed";
    closed.stdout_closed = true;
    rows.push_back(closed);
    Fault cut = terminal_only(box("good", boots_and_logs_all()));
    cut.name = "stdout_reader_quits";
    cut.act = Act::reader_quits;
    cut.act_after_line = power_on;
    rows.push_back(cut);
    Fault quit = terminal_only(box("silent", aborted("Nothing at all arrived")));
    quit.name = "ctrl_backslash_during_banner_wait";
    quit.act = Act::ctrl_backslash;
    quit.act_after_line = power_on;
    quit.expected.log = {power_on, hw_id_none, user_abort};
    rows.push_back(quit);
    // The box keeps silent after the greeting; the check sits in its 1.5 s read for the reply.
    Fault twice = terminal_only(box("slow-ok", aborted("Stopped by you during the greeting")));
    twice.name = "ctrl_c_twice_during_a_read";
    twice.act = Act::ctrl_c_twice;
    twice.act_after_line = hw_id_a;
    twice.act_delay = std::chrono::milliseconds(300);  // well inside the read
    // Ended at once: the dialogue never got to its next line.
    twice.expected.last_log_line = hw_id_a;
    twice.expected.log = {power_on, hw_id_a};
    twice.expected.diagnosis = "result: aborted";
    rows.push_back(twice);
  }

  // A box that stops taking bytes mid-upload: one Ctrl-C (closing the window) ends the
  // blocked write at once.
  {
    Fault stalled = box("good", aborted("Stopped by you during the upload"));
    stalled.name = "upload_stalls_then_ctrl_c";
    stalled.port = PortTrouble::stalls_after_start;
    stalled.act = Act::ctrl_c;
    stalled.act_after_line = sending;
    rows.push_back(stalled);
  }

  // The window's own: a storm of Esc presses and clicks while a port scan runs.
  {
    Fault storm = window_only(box("good", boots()));
    storm.name = "esc_and_clicks_storm_during_scan";
    storm.act = Act::storm_during_scan;
    rows.push_back(storm);
  }
  return rows;
}

}  // namespace

const std::vector<Fault>& faults() {
  static const std::vector<Fault> rows = table();
  return rows;
}

}  // namespace fault_matrix
