#pragma once
// The program's options. The window itself takes its settings from nowhere; these only start
// the demo or tell about the program.

#include <QStringList>
#include <optional>
#include <string>

namespace app {

struct CommandLine {
  bool show_version = false;
  bool show_help = false;
  std::optional<std::string> demo_scenario;  // --demo[=SCENARIO]
  QString screenshot_dir;                    // --screenshot-tour DIR (implies --demo)
  QString error;                             // what was wrong with the options, if anything
};

// arguments with the program's name first. Before Qt has taken out its own options
// (-platform, -style ...), leave_qt_options skips whatever does not start with "--".
CommandLine parse_command_line(const QStringList& arguments, bool leave_qt_options = false);

QString usage_text();

}  // namespace app
