// How much CPU the window takes while it sits idle with an open port that holds unread bytes
// (after a Test Mode run the box goes on printing and nobody reads it): the lamps poll.

#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "app/Unit1.h"
#include "app/status_lamp.h"
#include "bench/figures.h"
#include "serial/serial_port.h"
#include "sim/simulated_box.h"

namespace {

double cpu_seconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  constexpr int idle_ms = 10'000;

  sim::Options options;
  options.pace = false;
  options.console_interval = std::chrono::milliseconds(500);
  sim::SimulatedBox box(options);

  WindowSetup setup;
  setup.port = std::make_unique<serial::SerialPort>();
  setup.platform_port_candidates = [] { return std::vector<std::string>{}; };
  setup.extra_port_names = {box.slave_path()};
  setup.error_box = [](const QString&, const QString& text) {
    std::fprintf(stderr, "error box: %s\n", qPrintable(text));
  };
  TForm1 window(std::move(setup));
  window.show();
  window.spSkinButton2->click();
  window.spSkinComboBox1->hidePopup();
  window.spSkinComboBox1->setCurrentIndex(0);
  window.testmode->click();
  window.spSkinButton1->click();
  if (window.last_outcome() != boot::Outcome::success) {
    std::fprintf(stderr, "the Test Mode run did not succeed\n");
    return 1;
  }

  const double process_before = cpu_seconds(RUSAGE_SELF);
  const double window_before = cpu_seconds(RUSAGE_THREAD);
  QTimer::singleShot(idle_ms, &application, &QCoreApplication::quit);
  QApplication::exec();
  const double process_cpu = cpu_seconds(RUSAGE_SELF) - process_before;
  const double window_cpu = cpu_seconds(RUSAGE_THREAD) - window_before;

  std::printf("window idle with an open port holding unread bytes, %d s\n", idle_ms / 1000);
  std::printf("  port open lamp lit:        %s\n", window.ComLed2->is_lit() ? "yes" : "no");
  std::printf("  bytes waiting lamp lit:    %s (%zu bytes unread)\n",
              window.ComLed1->is_lit() ? "yes" : "no", window.ComPort1().bytes_waiting());
  std::printf("  window thread CPU:         %.3f %% of one core\n",
              100.0 * window_cpu * 1000 / idle_ms);
  std::printf("  whole process CPU:         %.3f %% of one core (the simulated box included)\n",
              100.0 * process_cpu * 1000 / idle_ms);
  bench::print_figure("window idle with unread bytes, window thread CPU",
                      bench::format("%.3f %% of a core", 100.0 * window_cpu * 1000 / idle_ms));
  return 0;
}
