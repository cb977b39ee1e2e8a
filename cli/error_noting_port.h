#pragma once
// Remembers why the port last failed. The boot dialogue turns a failed open into
// "Failed Open Com Port!" alone; the terminal also tells the user the system's reason.

#include <string>

#include "cli/port_decorator.h"

namespace cli {

class ErrorNotingPort final : public PortDecorator {
 public:
  using PortDecorator::PortDecorator;

  void set_port(const std::string& name) override;
  void set_baud_rate(std::uint32_t baud) override;
  void set_stop_bits(serial::StopBits stop_bits) override;
  void set_timeouts(const serial::ReadTimeouts& timeouts) override;
  void open() override;
  void set_dtr(bool on) override;
  void set_rts(bool on) override;

  // The message of the last serial error passed on; empty if there was none.
  const std::string& last_error() const { return last_error_; }

 private:
  template <typename Call>
  void noting(Call call);

  std::string last_error_;
};

}  // namespace cli
