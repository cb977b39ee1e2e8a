#include "boot/report.h"

namespace boot {

std::string_view mode_name(Mode mode) {
  return mode == Mode::flash ? "flash" : "test";
}

std::string_view outcome_name(Outcome outcome) {
  switch (outcome) {
    case Outcome::success:
      return "success";
    case Outcome::wrong_answer:
      return "wrong_answer";
    case Outcome::open_failed:
      return "open_failed";
    case Outcome::device_error:
      return "device_error";
    case Outcome::aborted:
      return "aborted";
  }
  return "unknown";
}

std::string_view stage_name(Stage stage) {
  switch (stage) {
    case Stage::open:
      return "open";
    case Stage::banner:
      return "banner";
    case Stage::greeting:
      return "greeting";
    case Stage::start:
      return "start";
    case Stage::upload:
      return "upload";
    case Stage::loader:
      return "loader";
    case Stage::console:
      return "console";
    case Stage::done:
      return "done";
  }
  return "unknown";
}

std::string_view loader_source_name(LoaderSource source) {
  return source == LoaderSource::stand_in ? "stand-in" : "file";
}

}  // namespace boot
