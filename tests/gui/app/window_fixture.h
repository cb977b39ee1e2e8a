#pragma once
// A TForm1 built for a test: the port, the candidates and the desktop are the test's, error
// and About boxes are recorded instead of shown and the loader file dialog answers what the
// test says, so nothing blocks. Nothing is remembered unless the test gives settings.

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Unit1.h"
#include "serial/port.h"

struct ShownError {
  QString title;
  QString text;
  bool port_open = false;  // ComPort1 was open while the box showed
};

class WindowUnderTest {
 public:
  // adjust: the test's own changes to the setup, made last.
  explicit WindowUnderTest(std::unique_ptr<serial::Port> port,
                           std::vector<std::string> candidates = {},
                           const std::function<void(WindowSetup&)>& adjust = {}) {
    WindowSetup setup;
    setup.port = std::move(port);
    setup.platform_port_candidates = [candidates] { return candidates; };
    setup.error_box = [this](const QString& title, const QString& text) {
      errors.push_back({title, text, form && form->ComPort1().is_open()});
    };
    setup.open_url = [this](const QUrl& url) {
      opened_urls.push_back(url);
      return true;
    };
    setup.ask_loader_file = [this] {
      ++loader_dialogs;
      return next_loader_file;
    };
    setup.about_box = [this](const QString& title, const QString& text) {
      abouts.push_back({title, text});
    };
    if (adjust) adjust(setup);
    form = std::make_unique<TForm1>(std::move(setup));
  }

  TForm1& operator*() { return *form; }
  TForm1* operator->() { return form.get(); }

  std::unique_ptr<TForm1> form;
  std::vector<ShownError> errors;
  std::vector<QUrl> opened_urls;
  // What "Loader image…" is answered with (empty: the dialog was cancelled), and how often
  // it was asked.
  QString next_loader_file;
  int loader_dialogs = 0;
  std::vector<ShownError> abouts;
};

// The log's lines as the file would hold them, without their CR LF ends.
inline std::vector<std::string> log_lines(const TForm1& form) {
  const QByteArray bytes = form.log_bytes();
  std::vector<std::string> lines;
  qsizetype start = 0;
  for (qsizetype end; (end = bytes.indexOf("\r\n", start)) >= 0; start = end + 2) {
    lines.push_back(bytes.mid(start, end - start).toStdString());
  }
  if (start < bytes.size()) lines.push_back(bytes.mid(start).toStdString());
  return lines;
}
