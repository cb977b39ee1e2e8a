#include "app/command_line.h"

namespace app {

CommandLine parse_command_line(const QStringList& arguments, bool leave_qt_options) {
  CommandLine line;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (leave_qt_options && !argument.startsWith(QLatin1String("--"))) continue;
    if (argument == QLatin1String("--version")) {
      line.show_version = true;
    } else if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
      line.show_help = true;
    } else if (argument == QLatin1String("--demo")) {
      line.demo_scenario = "good";
    } else if (argument.startsWith(QLatin1String("--demo="))) {
      line.demo_scenario = argument.mid(7).toStdString();
    } else if (argument == QLatin1String("--screenshot-tour")) {
      if (i + 1 >= arguments.size()) {
        line.error = QStringLiteral("--screenshot-tour needs a folder");
        return line;
      }
      line.screenshot_dir = arguments[++i];
    } else {
      line.error = QStringLiteral("unknown option: ") + argument;
      return line;
    }
  }
  if (!line.screenshot_dir.isEmpty() && !line.demo_scenario) line.demo_scenario = "good";
  return line;
}

QString usage_text() {
  return QStringLiteral(
      "usage: pellora [--demo[=SCENARIO]] [--screenshot-tour DIR]\n"
      "Checks over a serial line whether a DM500 box still boots.\n"
      "  --demo[=SCENARIO]  run against a simulated box (scenario: good unless named)\n"
      "  --screenshot-tour DIR\n"
      "                     click through a demo run and save pictures of it in DIR\n"
      "  --version          print the version and the loader image carried\n"
      "  --help             print this text\n");
}

}  // namespace app
