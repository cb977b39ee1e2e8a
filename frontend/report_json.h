#pragma once
// The report of one check as a JSON object, for scripts and repair benches (--report).

#include <chrono>
#include <string>
#include <string_view>

#include "boot/report.h"

namespace frontend {

struct ReportContext {
  std::string_view tool;     // "pellora-cli"
  std::string_view version;  // PELLORA_VERSION
  int exit_status = 0;
  std::string_view log_text;  // the log as "Save Log" writes it (lines ending CR LF)
  std::chrono::system_clock::time_point started_at;
  std::chrono::duration<double> duration{0};
};

std::string report_json(const boot::Report& report, const ReportContext& context);

}  // namespace frontend
