#include "frontend/report_json.h"

#include <ctime>
#include <nlohmann/json.hpp>

#include "boot/log_text.h"
#include "frontend/diagnosis.h"

namespace frontend {
namespace {

using json = nlohmann::ordered_json;

// Bytes as Latin-1 characters, so the JSON text (UTF-8) shows them as the window does.
std::string latin1_to_utf8(std::string_view bytes) {
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      text += c;
    } else {
      text += static_cast<char>(0xC0 | (byte >> 6));
      text += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return text;
}

// The log as lines: what "Save Log" writes, split at its CR LF line ends.
json log_lines(std::string_view text) {
  json lines = json::array();
  while (!text.empty()) {
    const auto end = text.find("\r\n");
    lines.push_back(latin1_to_utf8(text.substr(0, end)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return lines;
}

std::string iso8601_utc(std::chrono::system_clock::time_point when) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &seconds);
#else
  gmtime_r(&seconds, &utc);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

}  // namespace

std::string report_json(const boot::Report& r, const ReportContext& context) {
  json report;
  report["tool"] = context.tool;
  report["version"] = context.version;
  report["port"] = r.port;
  report["mode"] = boot::mode_name(r.mode);
  report["outcome"] = boot::outcome_name(r.outcome);
  report["exit_status"] = context.exit_status;
  report["stage"] = boot::stage_name(r.stage);
  report["error"] = r.error.empty() ? json(nullptr) : json(r.error);
  report["after_verdict_note"] =
      r.after_verdict_note.empty() ? json(nullptr) : json(r.after_verdict_note);
  report["banner_watch"] = {
      {"seconds", static_cast<double>(r.banner_watch.waited.count()) / 1000.0},
      {"bytes_received", r.banner_watch.bytes_received},
      {"first_bytes_hex", boot::hex_text(r.banner_watch.first_bytes)},
  };
  report["failed_read"] = r.failed_read
                              ? json{{"expected", r.failed_read->expected},
                                     {"received_hex", boot::hex_text(r.failed_read->received)}}
                              : json(nullptr);
  report["loader"] = r.loader ? json{{"source", boot::loader_source_name(r.loader->source)},
                                     {"size", r.loader->size},
                                     {"header_ok", r.loader->header_ok},
                                     {"crc_ok", r.loader->crc_ok}}
                              : json(nullptr);
  report["diagnosis"] = diagnosis(r);
  report["log"] = log_lines(context.log_text);
  report["started_at"] = iso8601_utc(context.started_at);
  report["duration_s"] = context.duration.count();
  return report.dump(2) + "\n";
}

}  // namespace frontend
