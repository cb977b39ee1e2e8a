#include "fake_port.h"

#include "serial/serial_error.h"

void FakePort::set_port(const std::string& name) {
  if (name == name_) return;
  const bool was_open = open_;
  close();
  name_ = name;
  if (was_open) open();
}

void FakePort::open() {
  if (open_) return;
  if (on_open) on_open(name_);
  if (!openable_.contains(name_)) {
    throw serial::SerialError(name_ + ": cannot open: No such file or directory");
  }
  open_ = true;
  opened.push_back(name_);
}
