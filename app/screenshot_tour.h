#pragma once
// Clicks through a demo Flash Mode run and saves pictures of the window on the way, so the
// window can be looked at from a machine without a display of its own (under Xvfb).

#include <QDir>
#include <QObject>
#include <QRect>
#include <QString>

class TForm1;

namespace app {

class ScreenshotTour : public QObject {
  Q_OBJECT
 public:
  // demo_port: the simulated box's port, the entry to pick from the list.
  ScreenshotTour(TForm1& form, QString demo_port, const QString& directory);

  // Starts once the event loop runs; ends the application with 0 when every picture was
  // saved, 1 otherwise.
  void start();

 private:
  void grab(const QString& name, QRect extra_area = {});
  void fail(const QString& why);
  void step_start();
  void step_port_list();
  void step_check();
  void step_success();
  void step_rolled_up();
  void step_waiting_check();
  void finish();

  TForm1& form_;
  QString demo_port_;
  QDir directory_;
  bool upload_grabbed_ = false;
  bool hint_grabbed_ = false;
  bool failed_ = false;
};

}  // namespace app
