#pragma once
// A small round status lamp (the window's ComLed1 and ComLed2). Its colours come from the
// skin: qproperty-litColor and qproperty-offColor.

#include <QColor>
#include <QWidget>

namespace app {

class StatusLamp : public QWidget {
  Q_OBJECT
  Q_PROPERTY(QColor litColor READ lit_color WRITE set_lit_color)
  Q_PROPERTY(QColor offColor READ off_color WRITE set_off_color)
 public:
  explicit StatusLamp(QColor lit_color, QWidget* parent = nullptr);

  bool is_lit() const { return lit_; }
  void set_lit(bool lit);

  QColor lit_color() const { return lit_color_; }
  void set_lit_color(const QColor& color);
  QColor off_color() const { return off_color_; }
  void set_off_color(const QColor& color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool lit_ = false;
  QColor lit_color_;
  QColor off_color_{0x9a, 0xa3, 0xad};
};

}  // namespace app
