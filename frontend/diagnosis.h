#pragma once
// What a boot check's ending means to its owner: one short paragraph from the report, with
// what happened, the likely causes in order and what to try. The front ends show it beside
// the log, never in it, so "Save Log" writes exactly the log.

#include <string>

#include "boot/report.h"

namespace frontend {

std::string diagnosis(const boot::Report& report);

// One line for the end of a check (pellora-cli's summary).
std::string outcome_summary(const boot::Report& report);

// The live hint while the banner watch waits; empty for WaitHint::none.
std::string wait_hint_text(boot::WaitHint hint, const boot::BannerWatchSeen& seen);

// Said once when a Flash Mode check starts with the stand-in image.
std::string stand_in_notice();

// Bytes as "E0 0D 44 ..." for a person to read (at most max_bytes, then "...").
std::string spaced_hex(serial::ByteView bytes, std::size_t max_bytes = 16);

}  // namespace frontend
