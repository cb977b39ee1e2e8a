// Program entry: the window, or with --demo the window over a simulated box.

#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "app/loader_setting.h"
#include "app/screenshot_tour.h"
#include "frontend/command_line.h"
#include "frontend/loader_choice.h"
#include "frontend/program.h"
#include "frontend/standard_streams.h"

#ifdef PELLORA_HAVE_DEMO
#include "sim/simulated_box.h"
#endif

namespace {

std::vector<std::string> demo_scenarios() {
  std::vector<std::string> names;
#ifdef PELLORA_HAVE_DEMO
  for (const sim::ScenarioInfo& scenario : sim::scenarios()) names.emplace_back(scenario.name);
#endif
  return names;
}

int usage_error(const std::string& error) {
  std::fprintf(stderr, "pellora: %s\nTry 'pellora --help' for more information.\n", error.c_str());
  return 2;
}

// The options after the program's name; before Qt has taken out its own (-platform, -style
// ...), only those that start with "--" are ours, with the values they take.
std::vector<std::string> our_arguments(const QStringList& arguments, bool only_double_dash) {
  std::vector<std::string> ours;
  bool value_follows = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    const bool option = argument.startsWith(QLatin1String("--"));
    if (only_double_dash && !option && !value_follows) continue;
    ours.push_back(argument.toStdString());
    value_follows =
        argument == QLatin1String("--screenshot-tour") || argument == QLatin1String("--loader");
  }
  return ours;
}

// --version: the image a window started with these options would send. A --loader file that
// cannot be used is an error; a remembered one that cannot is left for the built-in image,
// as the window does.
int print_version(const frontend::WindowOptions& options) {
  frontend::LoaderChoice choice;
  if (options.loader_file) {
    auto loaded = frontend::load_loader_file(*options.loader_file);
    if (const auto* refusal = std::get_if<frontend::LoaderRefusal>(&loaded)) {
      std::fprintf(stderr, "pellora: %s\n", frontend::refusal_text(*refusal).c_str());
      return 2;
    }
    choice.file = std::get<frontend::LoaderFile>(std::move(loaded));
  } else if (const QString remembered = app::remembered_loader_file(*app::user_settings());
             !remembered.isEmpty()) {
    auto loaded = frontend::load_loader_file(remembered.toStdString());
    if (auto* file = std::get_if<frontend::LoaderFile>(&loaded)) choice.file = std::move(*file);
  }
  std::printf("%s\n", frontend::version_text("pellora", choice.description()).c_str());
  return 0;
}

QStringList raw_arguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  // Qt's warnings and the serial port must not share a descriptor number.
  if (!frontend::fill_closed_standard_streams()) return 1;
  const std::vector<std::string> scenarios = demo_scenarios();
  // --version, --help and mistyped options are answered without a display.
  const auto early =
      frontend::parse_window_options(our_arguments(raw_arguments(argc, argv), true), scenarios);
  if (const auto* error = std::get_if<frontend::UsageError>(&early)) {
    return usage_error(error->message);
  }
  if (std::get<frontend::WindowOptions>(early).show_version) {
    return print_version(std::get<frontend::WindowOptions>(early));
  }
  if (std::get<frontend::WindowOptions>(early).show_help) {
    std::printf("%s", frontend::window_help_text(scenarios).c_str());
    return 0;
  }

  QApplication application(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(PELLORA_VERSION));
  // Qt has taken its own options (-platform, -style ...) out by now.
  const auto parsed = frontend::parse_window_options(
      our_arguments(QCoreApplication::arguments(), false), scenarios);
  if (const auto* error = std::get_if<frontend::UsageError>(&parsed)) {
    return usage_error(error->message);
  }
  const frontend::WindowOptions& line = std::get<frontend::WindowOptions>(parsed);

  WindowSetup setup;
  setup.settings = app::user_settings();
  QString demo_port;
#ifdef PELLORA_HAVE_DEMO
  std::unique_ptr<sim::SimulatedBox> demo_box;
  if (line.demo_scenario) {
    sim::Options options;
    options.scenario = *line.demo_scenario;
    demo_box = std::make_unique<sim::SimulatedBox>(options);
    setup.extra_port_names.push_back(demo_box->slave_path());
    demo_port = QString::fromStdString(demo_box->slave_path());
  }
#endif

  TForm1 window(std::move(setup));
  if (demo_port.isEmpty()) {
    window.set_log_hint(QStringLiteral(
        "Pick the port, choose a mode, press \"Detect DM >>\" and switch the box on."));
  } else {
    window.set_log_hint(
        QStringLiteral("Demo: a simulated DM500 is wired to %1 (scenario %2).\n"
                       "Press \"Detect Port\", pick it, choose \"Flash Mode\", press "
                       "\"Detect DM >>\": the box switches itself on.")
            .arg(demo_port, QString::fromStdString(*line.demo_scenario)));
  }
  window.show();
  // For this run only; the menu's choice is the one remembered.
  if (line.loader_file) window.choose_loader_file(QString::fromStdString(*line.loader_file), false);

  if (!line.screenshot_dir.empty()) {
    auto* tour =
        new app::ScreenshotTour(window, demo_port, QString::fromStdString(line.screenshot_dir));
    tour->start();
  }
  return QApplication::exec();
}
