#include "app/screenshot_tour.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <cstdio>

#include "app/Unit1.h"
#include "app/log_pane.h"

namespace app {

namespace {

constexpr int settle_ms = 400;
constexpr int watchdog_ms = 90'000;

}  // namespace

ScreenshotTour::ScreenshotTour(TForm1& form, QString demo_port, const QString& directory)
    : QObject(&form), form_(form), demo_port_(std::move(demo_port)), directory_(directory) {}

void ScreenshotTour::start() {
  if (!directory_.mkpath(QStringLiteral("."))) {
    return fail(QStringLiteral("cannot create ") + directory_.absolutePath());
  }
  connect(&form_, &TForm1::progress_shown, this, [this](int percent) {
    if (percent >= 50 && !upload_grabbed_) {
      upload_grabbed_ = true;
      grab(QStringLiteral("3-upload.png"));
    }
  });
  // The tour, not the closing window, says how the program ends.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  // A demo that never ends must not keep the tour (and a build script) waiting.
  QTimer::singleShot(watchdog_ms, this, [this] {
    fail(QStringLiteral("the demo run did not end in time"));
    form_.close();
    QCoreApplication::exit(1);
  });
  QTimer::singleShot(settle_ms, this, &ScreenshotTour::step_start);
}

void ScreenshotTour::grab(const QString& name, QRect extra_area) {
  // The screen shows what a user would see; the offscreen platform has no screen to grab.
  QRect area = form_.frameGeometry().united(extra_area);
  QPixmap picture;
  if (QScreen* screen = form_.screen(); screen && QGuiApplication::platformName() != "offscreen") {
    picture = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
  }
  if (picture.isNull()) picture = form_.grab();
  const QString path = directory_.filePath(name);
  if (!picture.save(path)) return fail(QStringLiteral("cannot write ") + path);
  std::printf("screenshot: %s\n", qPrintable(path));
  std::fflush(stdout);
}

void ScreenshotTour::fail(const QString& why) {
  failed_ = true;
  std::fprintf(stderr, "screenshot tour: %s\n", qPrintable(why));
}

void ScreenshotTour::step_start() {
  grab(QStringLiteral("1-start.png"));
  form_.spSkinButton2->click();
  QTimer::singleShot(settle_ms, this, &ScreenshotTour::step_port_list);
}

void ScreenshotTour::step_port_list() {
  QWidget* popup = form_.spSkinComboBox1->view()->window();
  grab(QStringLiteral("2-port-list.png"), popup->isVisible() ? popup->frameGeometry() : QRect());
  const int demo_entry = form_.spSkinComboBox1->findText(demo_port_);
  form_.spSkinComboBox1->hidePopup();
  if (demo_entry < 0) {
    fail(QStringLiteral("the demo port ") + demo_port_ + QStringLiteral(" is not in the list"));
    return finish();
  }
  form_.spSkinComboBox1->setCurrentIndex(demo_entry);
  form_.flsmode->click();
  QTimer::singleShot(settle_ms, this, &ScreenshotTour::step_check);
}

void ScreenshotTour::step_check() {
  form_.spSkinButton1->click();  // returns when the check has ended
  if (form_.last_outcome() != boot::Outcome::success) {
    fail(QStringLiteral("the demo Flash Mode run did not succeed"));
  }
  QTimer::singleShot(settle_ms, this, &ScreenshotTour::step_success);
}

void ScreenshotTour::step_success() {
  grab(QStringLiteral("4-success.png"));
  form_.toggle_roll_up();
  QTimer::singleShot(settle_ms, this, &ScreenshotTour::step_rolled_up);
}

void ScreenshotTour::step_rolled_up() {
  grab(QStringLiteral("5-rolled-up.png"));
  form_.toggle_roll_up();
  QTimer::singleShot(settle_ms, this, &ScreenshotTour::step_waiting_check);
}

// A second check on the same box, which has moved on and sends no banner: the window's live
// hint while it waits, then Esc and the diagnosis of a wait that saw no banner.
void ScreenshotTour::step_waiting_check() {
  auto* poll = new QTimer(this);
  connect(poll, &QTimer::timeout, this, [this, poll] {
    if (form_.Memo1->notice().isEmpty()) return;
    poll->stop();
    hint_grabbed_ = true;
    grab(QStringLiteral("6-live-hint.png"));
    form_.FormKeyDown(Qt::Key_Escape);
  });
  poll->start(250);
  form_.spSkinButton1->click();  // returns when Esc has ended the wait
  poll->stop();
  QTimer::singleShot(settle_ms, this, [this] {
    grab(QStringLiteral("7-diagnosis.png"));
    finish();
  });
}

void ScreenshotTour::finish() {
  if (!upload_grabbed_) fail(QStringLiteral("no picture of the upload"));
  if (!hint_grabbed_) fail(QStringLiteral("no picture of a live hint"));
  QCoreApplication::exit(failed_ ? 1 : 0);
}

}  // namespace app
