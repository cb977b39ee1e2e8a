#pragma once
// A label that behaves like a link: hand cursor, and a click on it says so.

#include <QLabel>

namespace app {

class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace app
