// Program entry: the window, or with --demo the window over a simulated box.

#include <QApplication>
#include <QComboBox>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <string>

#include "app/Unit1.h"
#include "app/command_line.h"
#include "app/screenshot_tour.h"
#include "resources/loader_image.h"

#ifdef PELLORA_HAVE_DEMO
#include "sim/simulated_box.h"
#endif

namespace {

QStringList raw_arguments(int argc, char** argv) {
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  return arguments;
}

int usage_error(const QString& error) {
  std::fprintf(stderr, "pellora: %s\n%s", qPrintable(error), qPrintable(app::usage_text()));
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // --version, --help and mistyped options are answered without a display.
  const app::CommandLine early = app::parse_command_line(raw_arguments(argc, argv), true);
  if (!early.error.isEmpty()) return usage_error(early.error);
  if (early.show_version) {
    std::printf("pellora %s\n%s\n", PELLORA_VERSION, resources::loader_image_description().c_str());
    return 0;
  }
  if (early.show_help) {
    std::printf("%s", qPrintable(app::usage_text()));
    return 0;
  }

  QApplication application(argc, argv);
  QApplication::setApplicationVersion(QStringLiteral(PELLORA_VERSION));
  // Qt has taken its own options (-platform, -style ...) out by now.
  const app::CommandLine line = app::parse_command_line(QCoreApplication::arguments());
  if (!line.error.isEmpty()) return usage_error(line.error);

  WindowSetup setup;
  QString demo_port;
#ifdef PELLORA_HAVE_DEMO
  std::unique_ptr<sim::SimulatedBox> demo_box;
  if (line.demo_scenario) {
    if (!sim::is_scenario(*line.demo_scenario)) {
      QString names;
      for (const sim::ScenarioInfo& scenario : sim::scenarios()) {
        names +=
            QStringLiteral("\n  ") +
            QString::fromUtf8(scenario.name.data(), static_cast<qsizetype>(scenario.name.size()));
      }
      return usage_error(QStringLiteral("unknown demo scenario: ") +
                         QString::fromStdString(*line.demo_scenario) +
                         QStringLiteral("; the scenarios are:") + names);
    }
    sim::Options options;
    options.scenario = *line.demo_scenario;
    demo_box = std::make_unique<sim::SimulatedBox>(options);
    setup.extra_port_names.push_back(demo_box->slave_path());
    demo_port = QString::fromStdString(demo_box->slave_path());
  }
#else
  if (line.demo_scenario) {
    return usage_error(QStringLiteral("this build has no simulated box, so no demo"));
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

  if (!line.screenshot_dir.isEmpty()) {
    auto* tour = new app::ScreenshotTour(window, demo_port, line.screenshot_dir);
    tour->start();
  }
  return QApplication::exec();
}
