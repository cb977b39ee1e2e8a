// A row through the window: the program's TForm1 in this process on Qt's offscreen platform,
// with the real serial port, driven by clicks and keys; error boxes are recorded, each with
// whether the port was still open when it showed.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/Unit1.h"
#include "far_end.h"
#include "output_place.h"
#include "runs.h"
#include "serial/serial_port.h"

namespace fault_matrix {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

struct ShownError {
  QString text;
  bool port_open = false;
};

std::vector<std::string> log_lines(const TForm1& form) {
  const QByteArray bytes = form.log_bytes();
  std::vector<std::string> lines;
  qsizetype start = 0;
  for (qsizetype end; (end = bytes.indexOf("\r\n", start)) >= 0; start = end + 2) {
    lines.push_back(bytes.mid(start, end - start).toStdString());
  }
  return lines;
}

// Hundreds of Esc presses and clicks on "Detect Port" and "Detect DM >>", handled while the
// scan runs, as a platform whose scan lets the window process its messages would have it.
void storm(TForm1& form) {
  for (int i = 0; i < 300; ++i) {
    QCoreApplication::postEvent(form.Memo1,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCoreApplication::postEvent(form.Memo1,
                                new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
  }
  for (int i = 0; i < 20; ++i) {
    QMetaObject::invokeMethod(form.spSkinButton2, &QPushButton::click, Qt::QueuedConnection);
    QMetaObject::invokeMethod(form.spSkinButton1, &QPushButton::click, Qt::QueuedConnection);
  }
  QCoreApplication::processEvents();
}

// Does the row's act once its moment has come; asked whenever the window processes messages.
class Actor {
 public:
  Actor(const Fault& fault, TForm1& form, const FarEnd& far_end)
      : fault_(fault), form_(form), far_end_(far_end) {}

  void look() {
    if (acted_ || (fault_.act != Act::esc && fault_.act != Act::ctrl_c)) return;
    const auto lines = log_lines(form_);
    if (std::find(lines.begin(), lines.end(), fault_.act_after_line) == lines.end()) return;
    if (far_end_.box_sent() < fault_.act_after_box_sent || !far_end_.stalled()) return;
    // A blocked write has been blocked a while.
    if (!moment_) moment_ = Clock::now();
    if (fault_.port == PortTrouble::stalls_after_start && Clock::now() - *moment_ < 500ms) return;
    acted_ = true;
    if (fault_.act == Act::esc) {
      QTest::keyClick(form_.Memo1, Qt::Key_Escape);
    } else {
      form_.close();  // the window's Ctrl-C: the check ends at its next step
    }
  }
  bool acted() const { return acted_; }

 private:
  const Fault& fault_;
  TForm1& form_;
  const FarEnd& far_end_;
  std::optional<Clock::time_point> moment_;
  bool acted_ = false;
};

void save_log_and_check(const Fault& fault, TForm1& form, const OutputPlace& place,
                        std::vector<ShownError>& errors) {
  const Expected& expected = fault.expected;
  ASSERT_FALSE(form.spSkinButton3->isHidden()) << "\"Save Log\" is offered after a success";
  errors.clear();
  const QString old_folder = QDir::currentPath();
  const QString folder = QString::fromStdString(place.window_folder().string());
  ASSERT_TRUE(QDir::setCurrent(folder));
  {
    const ActingAsNobody as_nobody(place.needs_unprivileged_writer());
    QTest::mouseClick(form.spSkinButton3, Qt::LeftButton);
  }
  QDir::setCurrent(old_folder);

  const std::string path = (place.window_folder() / "Log.log").string();
  if (expected.write_error.empty()) {
    EXPECT_TRUE(errors.empty()) << errors.front().text.toStdString();
    const auto written = place.written(path);
    if (written) {
      EXPECT_EQ(*written, form.log_bytes().toStdString());
    }
    if (fault.output == OutputTarget::plain || fault.output == OutputTarget::symlink_to_file) {
      EXPECT_TRUE(written) << "no log file";
    }
  } else {
    ASSERT_EQ(errors.size(), 1u);
    const std::string text = errors[0].text.toStdString();
    EXPECT_EQ(text.rfind("Cannot create file \"" + path + "\". ", 0), 0u) << text;
    EXPECT_NE(text.find(expected.write_error), std::string::npos) << text;
  }
  place.expect_left_intact();
}

}  // namespace

void run_in_window(const Fault& fault) {
  FarEnd far_end(fault);
  OutputPlace place(fault.output);
  const Expected& expected = fault.expected;

  std::vector<ShownError> errors;
  TForm1* shown_form = nullptr;
  bool stormed = false;
  WindowSetup setup;
  setup.port = std::make_unique<serial::SerialPort>();
  setup.platform_port_candidates = [&] {
    if (fault.act == Act::storm_during_scan && !std::exchange(stormed, true)) storm(*shown_form);
    return std::vector<std::string>{far_end.port()};
  };
  setup.error_box = [&](const QString&, const QString& text) {
    errors.push_back({text, shown_form->ComPort1().is_open()});
  };
  setup.open_url = [](const QUrl&) { return true; };
  auto form = std::make_unique<TForm1>(std::move(setup));
  shown_form = form.get();
  form->show();

  // The user's way: a mode, "Detect Port", the port from the list.
  QTest::mouseClick(fault.mode == boot::Mode::flash ? form->flsmode : form->testmode,
                    Qt::LeftButton);
  QTest::mouseClick(form->spSkinButton2, Qt::LeftButton);
  form->spSkinComboBox1->hidePopup();
  const int index = form->spSkinComboBox1->findText(QString::fromStdString(far_end.port()));
  ASSERT_GE(index, 0) << "the port is not listed";
  if (fault.act == Act::storm_during_scan) {
    EXPECT_EQ(form->spSkinComboBox1->count(), 1) << "a scan ran inside the scan";
    EXPECT_FALSE(form->last_report()) << "a check started during the scan";
    EXPECT_TRUE(log_lines(*form).empty());
  }
  form->spSkinComboBox1->setCurrentIndex(index);
  far_end.make_trouble();

  Actor actor(fault, *form, far_end);
  QTimer watcher;
  watcher.setInterval(100);
  QObject::connect(&watcher, &QTimer::timeout, [&] { actor.look(); });
  watcher.start();
  {
    const ActingAsNobody as_nobody(far_end.check_runs_unprivileged());
    QTest::mouseClick(form->spSkinButton1, Qt::LeftButton);
  }
  watcher.stop();

  ASSERT_TRUE(form->last_report());
  const boot::Report& report = *form->last_report();
  EXPECT_EQ(report.outcome, expected.outcome) << report.error;
  const std::vector<std::string> lines = log_lines(*form);
  if (!expected.last_log_line.empty()) {
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), expected.last_log_line);
  }
  // A closed window says nothing more; an open one says what happened beside the log.
  if (fault.act != Act::ctrl_c) {
    const QString notice = form->Memo1->notice();
    EXPECT_TRUE(notice.contains(QString::fromStdString(expected.diagnosis)))
        << notice.toStdString();
  }

  // The port is given back by every check but a good one, before any error box shows.
  EXPECT_EQ(form->ComPort1().is_open(), expected.outcome == boot::Outcome::success);
  if (expected.outcome == boot::Outcome::device_error) {
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_FALSE(errors[0].port_open) << "the error box showed while the port was still held";
  } else {
    EXPECT_TRUE(errors.empty()) << errors.front().text.toStdString();
  }
  if (fault.act == Act::ctrl_c) {
    EXPECT_FALSE(form->isVisible()) << "closed once the check ended";
  }
  if (fault.act_after_box_sent > 0) {
    // A megabyte went through the watch; the window kept only what it shows.
    EXPECT_GE(report.banner_watch.bytes_received, std::size_t{1} << 20);
    EXPECT_LE(report.banner_watch.first_bytes.size(), boot::first_bytes_kept);
    EXPECT_LT(form->Memo1->document()->characterCount(), 1000);
  }

  if (expected.outcome == boot::Outcome::success && fault.mode == boot::Mode::flash) {
    save_log_and_check(fault, *form, place, errors);
  }
}

}  // namespace fault_matrix
