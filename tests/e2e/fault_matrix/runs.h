#pragma once
// One row of the fault matrix, run through one front end; failures are reported through
// GoogleTest's EXPECT and ASSERT.

#include "faults.h"

namespace fault_matrix {

// pellora-cli as a child process, with --log and --report.
void run_in_terminal(const Fault& fault);
// The window in this process, on Qt's offscreen platform, with "Save Log" after a success.
void run_in_window(const Fault& fault);

// The log as "Save Log" writes it: each line followed by CR LF.
std::string log_file_text(const std::vector<std::string>& lines);

// AddressSanitizer keeps freed memory aside for a while, so a program's size says nothing
// about what it holds.
constexpr bool built_with_address_sanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#else
  return false;
#endif
}

}  // namespace fault_matrix
