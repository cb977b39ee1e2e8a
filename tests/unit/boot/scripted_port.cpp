#include "scripted_port.h"

#include <algorithm>
#include <stdexcept>

#include "boot/log_text.h"
#include "serial/serial_error.h"

namespace boot_test {

namespace {

// A dialogue that never ends would hang the test run; fail it instead.
constexpr std::size_t read_limit = 100000;

std::string describe(const serial::ReadTimeouts& t) {
  return std::to_string(t.ReadInterval) + "/" + std::to_string(t.ReadTotalConstant) + "/" +
         std::to_string(t.ReadTotalMultiplier);
}

}  // namespace

serial::Bytes bytes_of(std::string_view text) {
  return serial::Bytes(text.begin(), text.end());
}

serial::Bytes ScriptedPort::wire() const {
  serial::Bytes all;
  for (const serial::Bytes& w : writes) all.insert(all.end(), w.begin(), w.end());
  return all;
}

void ScriptedPort::set_port(const std::string& name) {
  trace_.add("port.set_port " + name);
  name_ = name;
}

void ScriptedPort::set_baud_rate(std::uint32_t baud) {
  trace_.add("port.set_baud_rate " + std::to_string(baud));
  baud_ = baud;
}

void ScriptedPort::set_stop_bits(serial::StopBits stop_bits) {
  trace_.add(stop_bits == serial::StopBits::one ? "port.set_stop_bits one"
                                                : "port.set_stop_bits two");
}

void ScriptedPort::set_timeouts(const serial::ReadTimeouts& timeouts) {
  trace_.add("port.set_timeouts " + describe(timeouts));
  timeouts_ = timeouts;
}

void ScriptedPort::open() {
  trace_.add("port.open");
  ++opens;
  if (fail_open) throw serial::SerialError(name_ + ": cannot open (scripted)");
  open_ = true;
}

void ScriptedPort::close() {
  trace_.add("port.close");
  ++closes;
  open_ = false;
  input_.clear();
  if (fail_close) throw serial::SerialError(name_ + ": cannot close (scripted)");
}

void ScriptedPort::set_dtr(bool on) {
  trace_.add(on ? "port.dtr on" : "port.dtr off");
  if (fail_dtr) throw serial::SerialError(name_ + ": cannot set DTR (scripted)");
}

void ScriptedPort::set_rts(bool on) {
  trace_.add(on ? "port.rts on" : "port.rts off");
}

void ScriptedPort::write(serial::ByteView bytes) {
  const std::size_t index = writes.size();
  trace_.add("port.write " + boot::hex_text(bytes));
  if (!open_) throw std::logic_error("write on a closed port");
  if (fail_write_at == index) throw serial::SerialError(name_ + ": write failed (scripted)");
  if (stall_write_at == index) {
    while (stall_checks < max_stall_checks) {
      ++stall_checks;
      if (stall_check_ && !stall_check_()) {
        throw serial::WriteAbandoned(name_ + ": write given up (scripted)");
      }
    }
  }
  writes.emplace_back(bytes.begin(), bytes.end());
  if (after_write) after_write(index);
}

serial::Bytes ScriptedPort::read(std::size_t count) {
  const std::size_t index = reads.size();
  if (index >= read_limit) throw std::logic_error("the dialogue never stopped reading");
  if (!open_) throw std::logic_error("read on a closed port");
  if (fail_read_at == index) throw serial::SerialError(name_ + ": read failed (scripted)");
  if (!arrivals.empty()) {
    input_.insert(input_.end(), arrivals.front().begin(), arrivals.front().end());
    arrivals.pop_front();
  }
  const auto taken = static_cast<std::ptrdiff_t>(std::min(count, input_.size()));
  serial::Bytes returned(input_.begin(), input_.begin() + taken);
  input_.erase(input_.begin(), input_.begin() + taken);
  trace_.add("port.read " + std::to_string(count) + " " + describe(timeouts_));
  reads.push_back({count, timeouts_, returned});
  if (time_passes && returned.size() < count) {
    time_passes(std::chrono::milliseconds(timeouts_.ReadTotalConstant +
                                          count * timeouts_.ReadTotalMultiplier));
  }
  if (after_read) after_read(index);
  return returned;
}

}  // namespace boot_test
